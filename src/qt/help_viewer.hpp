#pragma once
// The reference viewer of the window's Help item and F1: the Markdown pages
// of the doc folder (language.md, language/*.md, api/*.md) rendered in one
// document, with a contents tree, an anchor for every heading, API and
// statement, and a search box that filters the contents.
#include <QHash>
#include <QString>
#include <QWidget>

class QLineEdit;
class QTextBrowser;
class QTreeWidget;
class QTreeWidgetItem;
class QUrl;

namespace vx::qt {

class HelpViewer : public QWidget {
 public:
  explicit HelpViewer(QWidget* parent = nullptr);

  // Loads the pages in `folder` (a system path); false, with a note in the
  // view saying where it looked, when it holds none.
  bool Load(const QString& folder);
  // Scrolls to the anchor ("strreplace", or "language/events.md:long-work")
  // and puts the text cursor there; false when there is no such anchor.
  bool GoTo(const QString& anchor);
  // Shows only the contents entries that contain `text` (all when empty).
  void Filter(const QString& text);
  // What Enter in the search box does: the API or statement of that name,
  // else the first entry left by the filter, else the next place in the
  // text that contains it. False when nothing matches.
  bool Search(const QString& text);

  QLineEdit* SearchBox() const { return search_; }
  QTextBrowser* Browser() const { return browser_; }
  QTreeWidget* Contents() const { return contents_; }
  bool HasAnchor(const QString& anchor) const { return anchors_.contains(anchor); }

 private:
  void AddPage(const QString& folder, const QString& page);
  void NameHeading(const QString& page, int block_number, int level, const QString& title,
                   const QStringList& explicit_ids, QTreeWidgetItem** page_item,
                   QTreeWidgetItem** section_item);
  void RewriteLinks(const QString& page, int first_position);
  void Follow(const QUrl& url);

  QLineEdit* search_;
  QTreeWidget* contents_;
  QTextBrowser* browser_;
  QHash<QString, int> anchors_;  // anchor name -> position in the document
};

// A heading's anchor as Markdown sites make it: lower case, blanks to '-',
// punctuation dropped ("Long work: keep it" -> "long-work-keep-it").
QString HeadingSlug(const QString& title);

}  // namespace vx::qt
