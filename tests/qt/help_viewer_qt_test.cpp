// The reference viewer on the real pages: searching, the contents filter,
// links between pages and the anchors of APIs and statements.
#include "qt/help_viewer.hpp"

#include <QLineEdit>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTextDocument>
#include <QTextFragment>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>
#include <gtest/gtest.h>

namespace vx::test {
namespace {

class HelpViewerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(viewer.Load(QStringLiteral(VEXMORA_DOCS_DIR)));
    viewer.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&viewer));
  }

  // The text of the block the cursor is in: where the viewer went.
  std::string Shown() const { return viewer.Browser()->textCursor().block().text().toStdString(); }

  // The block is at the top of the view, not merely somewhere in it.
  bool AtTop() const {
    QTextBrowser* b = viewer.Browser();
    const QRect cursor = b->cursorRect();
    return b->verticalScrollBar()->value() > 0 && cursor.top() >= 0 && cursor.top() < 40;
  }

  // The href of the first link whose text is `text`.
  QString LinkHref(const QString& text) const {
    for (QTextBlock block = viewer.Browser()->document()->begin(); block.isValid(); block = block.next()) {
      for (auto it = block.begin(); !it.atEnd(); ++it) {
        const QTextFragment f = it.fragment();
        if (f.charFormat().isAnchor() && f.text() == text) return f.charFormat().anchorHref();
      }
    }
    return {};
  }

  qt::HelpViewer viewer;
};

TEST_F(HelpViewerTest, EnterInTheSearchBoxGoesToTheApi) {
  QTest::keyClicks(viewer.SearchBox(), QStringLiteral("StrReplace"));
  QTest::keyClick(viewer.SearchBox(), Qt::Key_Return);
  EXPECT_EQ(Shown().rfind("StrReplace T, T find", 0), 0u) << Shown();
  EXPECT_TRUE(AtTop());
  // Case does not matter, and a heading's words are found as well.
  ASSERT_TRUE(viewer.Search(QStringLiteral("strcmpwild")));
  EXPECT_EQ(Shown().rfind("StrcmpWild", 0), 0u) << Shown();
  ASSERT_TRUE(viewer.Search(QStringLiteral("Long work")));
  EXPECT_EQ(Shown(), "Long work: keep the window responsive");
  EXPECT_FALSE(viewer.Search(QStringLiteral("no such thing at all, qqxz")));
}

TEST_F(HelpViewerTest, TheFilterLeavesTheMatchingEntriesAndTheirPages) {
  viewer.Filter(QStringLiteral("strreplace"));
  QStringList shown;
  for (QTreeWidgetItemIterator it(viewer.Contents()); *it != nullptr; ++it) {
    if (!(*it)->isHidden() && (*it)->childCount() == 0) shown << (*it)->text(0);
  }
  ASSERT_EQ(shown.size(), 2) << shown.join(u'|').toStdString();
  EXPECT_TRUE(shown[0].startsWith(QStringLiteral("StrReplace T")));
  EXPECT_TRUE(shown[1].startsWith(QStringLiteral("StrReplaceSj")));
  viewer.Filter(QString());
  int hidden = 0;
  for (QTreeWidgetItemIterator it(viewer.Contents()); *it != nullptr; ++it) hidden += (*it)->isHidden();
  EXPECT_EQ(hidden, 0);
}

TEST_F(HelpViewerTest, LinksBetweenPagesAndAnchorsAreFollowed) {
  const QString href = LinkHref(QStringLiteral("long work without freezing the window"));
  EXPECT_EQ(href.toStdString(), "#language/events.md:long-work");
  Q_EMIT viewer.Browser()->anchorClicked(QUrl(href));
  EXPECT_EQ(Shown(), "Long work: keep the window responsive");
  Q_EMIT viewer.Browser()->anchorClicked(QUrl(QStringLiteral("#strreplace")));
  EXPECT_EQ(Shown().rfind("StrReplace T", 0), 0u) << Shown();
  EXPECT_TRUE(AtTop());
}

TEST_F(HelpViewerTest, EveryStatementAndApiHasAnAnchor) {
  ASSERT_TRUE(viewer.GoTo(QStringLiteral("callsub")));
  EXPECT_EQ(Shown(), "CALLSUB");
  ASSERT_TRUE(viewer.GoTo(QStringLiteral("writeto")));
  EXPECT_EQ(Shown(), "TypeTo, WriteTo, MoveTo");
  ASSERT_TRUE(viewer.GoTo(QStringLiteral("endif")));
  EXPECT_EQ(Shown().rfind("If", 0), 0u);
  // The same name on two pages: each is reached through its page.
  ASSERT_TRUE(viewer.GoTo(QStringLiteral("language/events.md:controls")));
  EXPECT_EQ(Shown(), "Control events");
  ASSERT_TRUE(viewer.GoTo(QStringLiteral("api/strings.md")));
  EXPECT_EQ(Shown(), "String and field APIs");
  EXPECT_FALSE(viewer.GoTo(QStringLiteral("nosuchanchor")));
}

TEST(HelpViewer, AFolderWithoutPagesSaysWhereItLooked) {
  QTemporaryDir empty;
  qt::HelpViewer viewer;
  EXPECT_FALSE(viewer.Load(empty.path()));
  EXPECT_TRUE(viewer.Browser()->toPlainText().contains(empty.path()));
  EXPECT_EQ(viewer.Contents()->topLevelItemCount(), 0);
}

}  // namespace
}  // namespace vx::test
