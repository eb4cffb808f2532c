// An error message with a window: the box keeps the system's text and
// caption exactly, and the explanation is its details ("Show Details...").
#include <QApplication>
#include <QMessageBox>
#include <QTimer>
#include <gtest/gtest.h>

#include <string>

#include "qt/window_system.hpp"
#include "text/encoding.hpp"

namespace vx::test {
namespace {

struct SeenBox {
  QString caption;
  QString text;
  QString details;
  bool seen = false;
};

// Reads the modal message box as soon as it is up, then closes it.
void ReadAndCloseTheBox(SeenBox* seen) {
  auto* poll = new QTimer;
  QObject::connect(poll, &QTimer::timeout, [poll, seen] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (box == nullptr) return;
    seen->caption = box->windowTitle();
    seen->text = box->text();
    seen->details = box->detailedText();
    seen->seen = true;
    box->accept();
    poll->stop();
    poll->deleteLater();
  });
  poll->start(10);
}

TEST(MessageDetails, TheBoxKeepsTheMessageAndShowsTheExplanationAsDetails) {
  qt::QtWindowSystem window(false);
  SeenBox seen;
  ReadAndCloseTheBox(&seen);
  window.ShowExplainedMessage("Error", text::Utf8ToCp932("Line (3) : 計算式エラー [( A/B)]"),
                              text::Utf8ToCp932("a.vx:3: a division by zero; 表示"));
  ASSERT_TRUE(seen.seen);
  EXPECT_EQ(seen.caption.toStdString(), "Error");
  EXPECT_EQ(seen.text.toStdString(), "Line (3) : 計算式エラー [( A/B)]");
  EXPECT_EQ(seen.details.toStdString(), "a.vx:3: a division by zero; 表示");
}

TEST(MessageDetails, APlainMessageHasNoDetails) {
  qt::QtWindowSystem window(false);
  SeenBox seen;
  ReadAndCloseTheBox(&seen);
  window.ShowMessage("Message", "done");
  ASSERT_TRUE(seen.seen);
  EXPECT_EQ(seen.text.toStdString(), "done");
  EXPECT_TRUE(seen.details.isEmpty());
}

}  // namespace
}  // namespace vx::test
