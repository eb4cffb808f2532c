#include "qt/help_viewer.hpp"

#include <QAbstractTextDocumentLayout>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QRegularExpression>
#include <QScrollBar>
#include <QSplitter>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextDocumentFragment>
#include <QTextFragment>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>
#include <QUrl>
#include <QVBoxLayout>
#include <functional>
#include <vector>

namespace vx::qt {
namespace {

constexpr int kAnchorRole = Qt::UserRole;
constexpr int kDefaultWidth = 1000;
constexpr int kDefaultHeight = 700;
constexpr int kContentsWidth = 260;

// A page's text with the `<a id="..."></a>` lines taken out: Qt's Markdown
// reader drops empty anchors, so their names go with the heading after them.
struct PreparedPage {
  QString markdown;
  std::vector<QStringList> heading_ids;  // one entry a heading, in order
};

PreparedPage Prepare(const QString& text) {
  static const QRegularExpression kAnchorLine(QStringLiteral(R"re(^\s*<a\s+id="([^"]+)"\s*>\s*</a>\s*$)re"));
  static const QRegularExpression kHeading(QStringLiteral(R"(^#{1,6}\s)"));
  PreparedPage page;
  QStringList pending;
  bool in_code = false;
  QStringList kept;
  bool in_comment = false;
  for (const QString& line : text.split(u'\n')) {
    // HTML comments are notes for the pages' writers: Qt would show them.
    if (!in_code && (in_comment || line.trimmed().startsWith(QStringLiteral("<!--")))) {
      in_comment = !line.contains(QStringLiteral("-->"));
      continue;
    }
    if (line.startsWith(QStringLiteral("```")) || line.startsWith(QStringLiteral("~~~"))) in_code = !in_code;
    if (!in_code) {
      const QRegularExpressionMatch anchor = kAnchorLine.match(line);
      if (anchor.hasMatch()) {
        pending << anchor.captured(1);
        continue;
      }
      if (kHeading.match(line).hasMatch()) {
        page.heading_ids.push_back(pending);
        pending.clear();
      }
    }
    kept << line;
  }
  page.markdown = kept.join(u'\n');
  return page;
}

// The pages in reading order: the overview, the language, the APIs.
QStringList PagesIn(const QString& folder) {
  const QDir dir(folder);
  QStringList pages;
  if (dir.exists(QStringLiteral("language.md"))) pages << QStringLiteral("language.md");
  for (const QString& sub : {QStringLiteral("language"), QStringLiteral("api")}) {
    const QStringList names = QDir(dir.filePath(sub)).entryList({QStringLiteral("*.md")}, QDir::Files, QDir::Name);
    for (const QString& name : names) pages << sub + u'/' + name;
  }
  return pages;
}

QStringList Words(const QString& title) {
  static const QRegularExpression kWord(QStringLiteral(R"([A-Za-z_][A-Za-z0-9_]*)"));
  QStringList words;
  for (const QRegularExpressionMatch& m : kWord.globalMatch(title)) words << m.captured(0).toLower();
  return words;
}

}  // namespace

QString HeadingSlug(const QString& title) {
  QString slug;
  for (const QChar c : title.trimmed().toLower()) {
    if (c.isLetterOrNumber() || c == u'-' || c == u'_') {
      slug += c;
    } else if (c.isSpace()) {
      slug += u'-';
    }
  }
  return slug;
}

HelpViewer::HelpViewer(QWidget* parent)
    : QWidget(parent), search_(new QLineEdit), contents_(new QTreeWidget), browser_(new QTextBrowser) {
  setWindowTitle(QStringLiteral("Vexmora reference"));
  search_->setPlaceholderText(QStringLiteral("Search (Enter goes to the API or statement)"));
  search_->setClearButtonEnabled(true);
  contents_->setHeaderHidden(true);
  browser_->setOpenLinks(false);

  auto* left = new QWidget;
  auto* left_layout = new QVBoxLayout(left);
  left_layout->setContentsMargins(0, 0, 0, 0);
  left_layout->addWidget(search_);
  left_layout->addWidget(contents_);
  auto* splitter = new QSplitter;
  splitter->addWidget(left);
  splitter->addWidget(browser_);
  splitter->setStretchFactor(1, 1);
  splitter->setSizes({kContentsWidth, kDefaultWidth - kContentsWidth});
  auto* layout = new QHBoxLayout(this);
  layout->addWidget(splitter);
  resize(kDefaultWidth, kDefaultHeight);

  QObject::connect(search_, &QLineEdit::textChanged, this, [this](const QString& text) { Filter(text); });
  QObject::connect(search_, &QLineEdit::returnPressed, this, [this] { Search(search_->text()); });
  QObject::connect(contents_, &QTreeWidget::itemActivated, this,
                   [this](QTreeWidgetItem* item, int) { GoTo(item->data(0, kAnchorRole).toString()); });
  QObject::connect(contents_, &QTreeWidget::itemClicked, this,
                   [this](QTreeWidgetItem* item, int) { GoTo(item->data(0, kAnchorRole).toString()); });
  QObject::connect(browser_, &QTextBrowser::anchorClicked, this, [this](const QUrl& url) { Follow(url); });
}

bool HelpViewer::Load(const QString& folder) {
  anchors_.clear();
  contents_->clear();
  browser_->clear();
  const QStringList pages = PagesIn(folder);
  if (pages.isEmpty()) {
    browser_->setPlainText(QStringLiteral("The reference pages were not found in ") +
                           QDir::toNativeSeparators(folder) + QStringLiteral("."));
    return false;
  }
  for (const QString& page : pages) AddPage(folder, page);
  browser_->moveCursor(QTextCursor::Start);
  return true;
}

void HelpViewer::AddPage(const QString& folder, const QString& page) {
  QFile file(QDir(folder).filePath(page));
  if (!file.open(QIODevice::ReadOnly)) return;
  const PreparedPage prepared = Prepare(QString::fromUtf8(file.readAll()));
  // Each page is read on its own, so that its headings are known whatever
  // joining it to the pages before does to its first block's format.
  QTextDocument page_document;
  page_document.setMarkdown(prepared.markdown, QTextDocument::MarkdownDialectGitHub);
  struct Heading {
    int level;
    QString text;
  };
  std::vector<Heading> headings;
  for (QTextBlock block = page_document.begin(); block.isValid(); block = block.next()) {
    if (block.blockFormat().headingLevel() > 0) headings.push_back({block.blockFormat().headingLevel(), block.text()});
  }

  QTextDocument* document = browser_->document();
  QTextCursor cursor(document);
  cursor.movePosition(QTextCursor::End);
  if (!document->isEmpty()) cursor.insertBlock(QTextBlockFormat(), QTextCharFormat());
  const int first_position = cursor.position();
  const int first_block = cursor.blockNumber();
  anchors_.insert(page, first_position);
  cursor.insertFragment(QTextDocumentFragment(&page_document));
  cursor.setPosition(first_position);
  cursor.setBlockFormat(page_document.begin().blockFormat());

  QTreeWidgetItem* page_item = nullptr;
  QTreeWidgetItem* section_item = nullptr;
  std::size_t heading = 0;
  for (QTextBlock block = document->findBlockByNumber(first_block);
       block.isValid() && heading < headings.size(); block = block.next()) {
    if (block.text() != headings[heading].text) continue;
    const QStringList ids = heading < prepared.heading_ids.size() ? prepared.heading_ids[heading] : QStringList();
    NameHeading(page, block.blockNumber(), headings[heading].level, block.text(), ids, &page_item, &section_item);
    ++heading;
  }
  if (page_item == nullptr) {
    page_item = new QTreeWidgetItem(contents_, {page});
    page_item->setData(0, kAnchorRole, page);
  }
  RewriteLinks(page, first_position);
}

// A heading is found by its page and its slug or given id, and, where no
// earlier page took the name, by the slug alone; an API by its name and a
// statement by each of its words ("TypeTo, WriteTo, MoveTo").
void HelpViewer::NameHeading(const QString& page, int block_number, int level, const QString& title,
                             const QStringList& explicit_ids, QTreeWidgetItem** page_item,
                             QTreeWidgetItem** section_item) {
  const int position = browser_->document()->findBlockByNumber(block_number).position();
  QStringList names{HeadingSlug(title)};
  names << explicit_ids;
  QStringList global = names;
  const QStringList words = Words(title);
  if (page.startsWith(QStringLiteral("api/")) && level >= 3 && !words.isEmpty()) {
    global.prepend(words.front());
  } else if (page == QStringLiteral("language/statements.md") && level >= 2) {
    global << words;
  }
  const QString own = page + u':' + names.front();
  for (const QString& name : names) anchors_.insert(page + u':' + name, position);
  for (const QString& name : global) {
    if (!name.isEmpty() && !anchors_.contains(name)) anchors_.insert(name, position);
  }

  QTreeWidgetItem* item = nullptr;
  if (level == 1 && *page_item == nullptr) {
    item = new QTreeWidgetItem(contents_, {title});
    *page_item = item;
    item->setData(0, kAnchorRole, page);
    return;
  }
  if (*page_item == nullptr) {
    *page_item = new QTreeWidgetItem(contents_, {page});
    (*page_item)->setData(0, kAnchorRole, page);
  }
  if (level <= 2 || *section_item == nullptr) {
    item = new QTreeWidgetItem(*page_item, {title});
    *section_item = item;
  } else {
    item = new QTreeWidgetItem(*section_item, {title});
  }
  item->setData(0, kAnchorRole, own);
}

// Links between pages name files ("events.md#long-work", "#if-tails"): in
// the one document they become anchors of ours ("language/events.md:long-work").
void HelpViewer::RewriteLinks(const QString& page, int first_position) {
  struct Link {
    int position;
    int length;
    QTextCharFormat format;
  };
  std::vector<Link> links;
  QTextDocument* document = browser_->document();
  for (QTextBlock block = document->findBlock(first_position); block.isValid(); block = block.next()) {
    for (auto it = block.begin(); !it.atEnd(); ++it) {
      const QTextFragment fragment = it.fragment();
      if (fragment.isValid() && fragment.charFormat().isAnchor() && !fragment.charFormat().anchorHref().isEmpty()) {
        links.push_back({fragment.position(), fragment.length(), fragment.charFormat()});
      }
    }
  }
  const QString page_dir = QFileInfo(page).path();
  for (Link& link : links) {
    const QString href = link.format.anchorHref();
    const QUrl url(href);
    if (!url.scheme().isEmpty()) continue;  // http, mailto: left to the desktop
    QString target = page;
    if (!url.path().isEmpty()) target = QDir::cleanPath(page_dir + u'/' + url.path());
    if (!target.endsWith(QStringLiteral(".md"))) continue;
    link.format.setAnchorHref(u'#' + target + (url.fragment().isEmpty() ? QString() : u':' + url.fragment()));
    QTextCursor cursor(document);
    cursor.setPosition(link.position);
    cursor.setPosition(link.position + link.length, QTextCursor::KeepAnchor);
    cursor.setCharFormat(link.format);
  }
}

void HelpViewer::Follow(const QUrl& url) {
  if (!url.scheme().isEmpty()) {
    QDesktopServices::openUrl(url);
    return;
  }
  if (url.hasFragment()) GoTo(url.fragment());
}

bool HelpViewer::GoTo(const QString& anchor) {
  const auto found = anchors_.constFind(anchor);
  if (found == anchors_.constEnd()) return false;
  QTextCursor cursor(browser_->document());
  cursor.setPosition(*found);
  browser_->setTextCursor(cursor);
  // The heading goes to the top of the view, not just into it.
  const QRectF rect = browser_->document()->documentLayout()->blockBoundingRect(cursor.block());
  browser_->verticalScrollBar()->setValue(static_cast<int>(rect.top()));
  return true;
}

void HelpViewer::Filter(const QString& text) {
  const QString wanted = text.trimmed();
  // Shows an item that matches or has a child that does; open while filtering.
  std::function<bool(QTreeWidgetItem*)> show = [&](QTreeWidgetItem* item) {
    bool any_child = false;
    for (int i = 0; i < item->childCount(); ++i) any_child = show(item->child(i)) || any_child;
    const bool matches = wanted.isEmpty() || item->text(0).contains(wanted, Qt::CaseInsensitive);
    item->setHidden(!(matches || any_child));
    item->setExpanded(!wanted.isEmpty() && any_child);
    return matches || any_child;
  };
  for (int i = 0; i < contents_->topLevelItemCount(); ++i) show(contents_->topLevelItem(i));
}

bool HelpViewer::Search(const QString& text) {
  const QString wanted = text.trimmed();
  if (wanted.isEmpty()) return false;
  if (GoTo(wanted.toLower()) || GoTo(HeadingSlug(wanted))) return true;
  Filter(wanted);
  for (QTreeWidgetItemIterator it(contents_); *it != nullptr; ++it) {
    QTreeWidgetItem* item = *it;
    if (!item->isHidden() && item->text(0).contains(wanted, Qt::CaseInsensitive)) {
      contents_->setCurrentItem(item);
      return GoTo(item->data(0, kAnchorRole).toString());
    }
  }
  if (browser_->find(wanted)) return true;
  browser_->moveCursor(QTextCursor::Start);  // from the top once more
  return browser_->find(wanted);
}

}  // namespace vx::qt
