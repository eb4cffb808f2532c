#include "qt/controls.hpp"

#include <QAbstractSlider>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QSlider>
#include <QTextCursor>
#include <algorithm>
#include <functional>
#include <utility>

#include "engine/program.hpp"
#include "engine/runtime.hpp"
#include "host/timers.hpp"
#include "text/encoding.hpp"

namespace vx::qt {
namespace {

// Faces tried in order for "ＭＳ ゴシック"; the IPA Gothic face comes with
// Debian's fonts-ipafont.
const QStringList kGothicFaces = {QStringLiteral("MS Gothic"), QStringLiteral("IPAGothic"),
                                  QStringLiteral("IPAexGothic"), QStringLiteral("Noto Sans Mono CJK JP"),
                                  QStringLiteral("VL Gothic"), QStringLiteral("Monospace")};
constexpr int kProgressMax = 100;     // a progress bar's range until a script changes it
constexpr int kTrackRangeMask = 0xFFFF;  // the range of a track bar has 16 bits
constexpr std::uint32_t kReadOnly = 1u;
constexpr std::uint32_t kTextPassword = 2u;
constexpr std::uint32_t kTextNoEdge = 4u;
constexpr std::uint32_t kEditNoEdge = 2u;

QString FromSjis(std::string_view text) { return QString::fromStdString(text::Cp932ToUtf8(text)); }
std::string ToSjis(const QString& text) { return text::Utf8ToCp932(text.toStdString()); }

// Multi-line boxes keep lines apart with LF; scripts see CR LF.
QString EditFromSjis(std::string_view text) {
  QString s = FromSjis(text);
  s.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  return s;
}
std::string EditToSjis(QString text) {
  text.replace(QStringLiteral("\n"), QStringLiteral("\r\n"));
  return ToSjis(text);
}

// Bytes one character takes in the scripts' text (CR LF for a line break).
int SjisBytes(QChar c) {
  const char16_t u = c.unicode();
  if (u == u'\n') return 2;
  if (u < 0x80 || (u >= 0xFF61 && u <= 0xFF9F)) return 1;
  if (c.isLowSurrogate()) return 0;  // the pair becomes one replacement byte
  if (c.isHighSurrogate()) return 1;
  return 2;
}

int CharIndexOfByte(const QString& text, std::int32_t byte) {
  std::int32_t bytes = 0;
  for (int i = 0; i < text.size(); ++i) {
    if (bytes >= byte) return i;
    bytes += SjisBytes(text[i]);
  }
  return static_cast<int>(text.size());
}

std::int32_t ByteOfCharIndex(const QString& text, int index) {
  std::int32_t bytes = 0;
  for (int i = 0; i < index && i < text.size(); ++i) bytes += SjisBytes(text[i]);
  return bytes;
}

QColor FromRgb(std::uint32_t rgb) { return QColor((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF); }

// Scroll codes of a slider's actions; -1 for actions without one.
int ScrollCodeOf(int action) {
  switch (action) {
    case QAbstractSlider::SliderSingleStepSub: return host::SCROLL_LINE_UP;
    case QAbstractSlider::SliderSingleStepAdd: return host::SCROLL_LINE_DOWN;
    case QAbstractSlider::SliderPageStepSub: return host::SCROLL_PAGE_UP;
    case QAbstractSlider::SliderPageStepAdd: return host::SCROLL_PAGE_DOWN;
    case QAbstractSlider::SliderMove: return host::SCROLL_THUMB_TRACK;
    default: return -1;
  }
}

// Sets a flag for the length of a scope.
class ChangeGuard {
 public:
  explicit ChangeGuard(bool& flag) : flag_(flag), before_(flag) { flag_ = true; }
  ~ChangeGuard() { flag_ = before_; }
  ChangeGuard(const ChangeGuard&) = delete;
  ChangeGuard& operator=(const ChangeGuard&) = delete;

 private:
  bool& flag_;
  bool before_;
};

// A check box or radio button is a child window of the size the script
// declared, and a click anywhere in it is the button's, not only on its mark
// and caption (Qt's own buttons pass the rest on to the window behind).
template <typename Button>
class WholeAreaButton : public Button {
 public:
  using Button::Button;

 protected:
  bool hitButton(const QPoint& at) const override { return this->rect().contains(at); }
};

// A progress bar takes no input, but clicks on it are its own all the same.
class ProgressBar : public QProgressBar {
 public:
  using QProgressBar::QProgressBar;

 protected:
  void mousePressEvent(QMouseEvent* event) override { event->accept(); }
  void mouseReleaseEvent(QMouseEvent* event) override { event->accept(); }
  void mouseDoubleClickEvent(QMouseEvent* event) override { event->accept(); }
};

// Enter (either key) on a list's selected item chooses it as a double click
// does: a person at the keyboard picks an entry the way a mouse user does.
class ListBox : public QListWidget {
 public:
  ListBox(QWidget* parent, std::function<void()> chosen)
      : QListWidget(parent), chosen_(std::move(chosen)) {}

 protected:
  void keyPressEvent(QKeyEvent* event) override {
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    const bool plain = (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
    if (enter && plain && currentItem() != nullptr && currentItem()->isSelected()) {
      event->accept();
      chosen_();
      return;
    }
    QListWidget::keyPressEvent(event);
  }

 private:
  std::function<void()> chosen_;
};

}  // namespace

QFont SharedFont(int pixels) {
  QFont font;
  font.setFamilies(kGothicFaces);
  font.setPixelSize(pixels);
  font.setWeight(QFont::Medium);
  font.setFixedPitch(true);
  font.setStyleHint(QFont::TypeWriter);
  return font;
}

QString ControlObjectName(std::int32_t item_id) { return QStringLiteral("vx_control_%1").arg(item_id); }

QtControls::QtControls(Runtime& rt)
    : rt_(rt), timers_([this](std::int32_t id) { host::OnTimer(rt_, id); }) {}

QtControls::~QtControls() { DestroyAll(); }

QWidget* QtControls::Widget(std::int32_t handle) const {
  if (handle < 1 || handle > static_cast<std::int32_t>(slots_.size())) return nullptr;
  return slots_[handle - 1].widget.data();
}

QtControls::Slot* QtControls::Find(const ResourceEntry& control) {
  if (control.window < 1 || control.window > static_cast<std::int32_t>(slots_.size())) return nullptr;
  Slot& slot = slots_[control.window - 1];
  return slot.widget && slot.kind == control.kind ? &slot : nullptr;
}

const QtControls::Slot* QtControls::Find(const ResourceEntry& control) const {
  return const_cast<QtControls*>(this)->Find(control);
}

bool QtControls::Focus(const ResourceEntry& control) {
  Slot* slot = Find(control);
  if (slot == nullptr) return false;
  slot->widget->setFocus(Qt::OtherFocusReason);
  return true;
}

std::int32_t QtControls::CreateControl(const ResourceEntry& control, std::int32_t item_id) {
  slots_.emplace_back();
  Slot& slot = slots_.back();
  slot.kind = control.kind;
  QWidget* widget = MakeWidget(control, item_id, slot);
  if (widget == nullptr) return 0;
  slot.widget = widget;
  widget->setObjectName(ControlObjectName(item_id));
  widget->setGeometry(control.x, control.y, control.width, control.height);
  const int pixels = host::InitialFontPixels(control);
  if (pixels > 0) widget->setFont(SharedFont(pixels));
  widget->show();
  return static_cast<std::int32_t>(slots_.size());
}

QWidget* QtControls::MakeWidget(const ResourceEntry& control, std::int32_t item_id, Slot& slot) {
  const auto handle = static_cast<std::int32_t>(slots_.size());
  const std::uint32_t style = control.option;
  switch (control.kind) {
    case R_KD_BUTTON: return MakeButton(control, item_id);
    case R_KD_PW_BOX: return MakeLineEdit(control, true, false, true, handle);
    case R_KD_TEXTBOX:
      return MakeLineEdit(control, (style & kTextPassword) != 0, (style & kReadOnly) != 0,
                          style == 0 || (style & kTextNoEdge) == 0, handle);
    case R_KD_EDITBOX: return MakeEditBox(control, handle);
    case R_KD_LISTBOX: return MakeListBox(item_id);
    case R_KD_CK_BOX: {
      const std::string_view caption = control.Text().empty() ? control.Name() : control.Text();
      auto* box = new WholeAreaButton<QCheckBox>(FromSjis(caption), main_window_);
      QObject::connect(box, &QCheckBox::clicked,
                       [this, item_id] { host::OnControlCommand(rt_, item_id, host::NOTIFY_CLICKED); });
      return box;
    }
    case R_KD_RDO_BTN1:
    case R_KD_RDO_BTN: return MakeRadioButton(control, item_id);
    case R_KD_CMB_BOX: return MakeComboBox(item_id);
    case R_KD_PGS_BAR: {
      auto* bar = new ProgressBar(main_window_);
      bar->setRange(0, kProgressMax);
      bar->setValue(0);
      bar->setTextVisible(false);
      return bar;
    }
    case R_KD_TRACK_BAR:
      slot.range_max = control.capacity & kTrackRangeMask;
      return MakeSlider(control, handle);
    case R_KD_SCR_BAR:
      slot.range_max = control.capacity;
      return MakeScrollBar(control, handle, slot);
    default: return nullptr;
  }
}

QWidget* QtControls::MakeButton(const ResourceEntry& control, std::int32_t item_id) {
  const std::string_view caption = control.Text().empty() ? control.Name() : control.Text();
  auto* button = new QPushButton(FromSjis(caption), main_window_);
  QObject::connect(button, &QPushButton::clicked,
                   [this, item_id] { host::OnControlCommand(rt_, item_id, host::NOTIFY_CLICKED); });
  return button;
}

QWidget* QtControls::MakeLineEdit(const ResourceEntry&, bool password, bool read_only, bool frame,
                                  std::int32_t handle) {
  auto* edit = new QLineEdit(main_window_);
  if (password) edit->setEchoMode(QLineEdit::Password);
  edit->setReadOnly(read_only);
  edit->setFrame(frame);
  QObject::connect(edit, &QLineEdit::textEdited, [this, handle] { EnforceByteLimit(handle); });
  return edit;
}

QWidget* QtControls::MakeEditBox(const ResourceEntry& control, std::int32_t handle) {
  auto* edit = new QPlainTextEdit(main_window_);
  edit->setReadOnly((control.option & kReadOnly) != 0);
  edit->setLineWrapMode(QPlainTextEdit::NoWrap);
  edit->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  if ((control.option & kEditNoEdge) != 0) edit->setFrameShape(QFrame::NoFrame);
  QObject::connect(edit, &QPlainTextEdit::textChanged, [this, handle] {
    if (!changing_) EnforceByteLimit(handle);
  });
  return edit;
}

QWidget* QtControls::MakeListBox(std::int32_t item_id) {
  auto* list = new ListBox(main_window_, [this, item_id] {
    host::OnControlCommand(rt_, item_id, host::NOTIFY_DOUBLE_CLICKED);
  });
  list->setSelectionMode(QAbstractItemView::SingleSelection);
  list->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  QObject::connect(list, &QListWidget::itemSelectionChanged, [this, item_id] {
    if (!changing_) host::OnControlCommand(rt_, item_id, host::NOTIFY_SELECTION_CHANGED);
  });
  QObject::connect(list, &QListWidget::itemDoubleClicked, [this, item_id] {
    host::OnControlCommand(rt_, item_id, host::NOTIFY_DOUBLE_CLICKED);
  });
  return list;
}

// MakeRadioButton1 opens a group; the buttons after it join that group
// until the next one opens another.
QWidget* QtControls::MakeRadioButton(const ResourceEntry& control, std::int32_t item_id) {
  const std::string_view caption = control.Text().empty() ? control.Name() : control.Text();
  auto* button = new WholeAreaButton<QRadioButton>(FromSjis(caption), main_window_);
  button->setAutoExclusive(false);
  if (control.kind == R_KD_RDO_BTN1 || radio_group_ == nullptr) {
    radio_group_ = new QButtonGroup();
    radio_groups_.emplace_back(radio_group_);
  }
  radio_group_->addButton(button);
  QObject::connect(button, &QRadioButton::clicked,
                   [this, item_id] { host::OnControlCommand(rt_, item_id, host::NOTIFY_CLICKED); });
  return button;
}

QWidget* QtControls::MakeComboBox(std::int32_t item_id) {
  auto* combo = new QComboBox(main_window_);
  combo->setEditable(true);
  combo->setInsertPolicy(QComboBox::NoInsert);
  QObject::connect(combo, &QComboBox::activated, [this, item_id] {
    host::OnControlCommand(rt_, item_id, host::NOTIFY_SELECTION_CHANGED);
  });
  return combo;
}

QWidget* QtControls::MakeSlider(const ResourceEntry& control, std::int32_t handle) {
  const bool vertical = (control.option & host::STYLE_VERTICAL) != 0;
  auto* slider = new QSlider(vertical ? Qt::Vertical : Qt::Horizontal, main_window_);
  // The smallest value sits at the top, as on a vertical track bar.
  slider->setInvertedAppearance(vertical);
  slider->setInvertedControls(vertical);
  slider->setRange(0, control.capacity & kTrackRangeMask);
  slider->setTickPosition(QSlider::TicksBelow);
  slider->setTickInterval(1);
  slider->setPageStep(std::max(1, (control.capacity & kTrackRangeMask) / 5));
  ConnectScrolling(slider, handle, true);
  return slider;
}

QWidget* QtControls::MakeScrollBar(const ResourceEntry& control, std::int32_t handle, Slot& slot) {
  const bool vertical = (control.option & host::STYLE_VERTICAL) != 0;
  auto* bar = new QScrollBar(vertical ? Qt::Vertical : Qt::Horizontal, main_window_);
  bar->setEnabled(true);
  slot.widget = bar;
  ApplyScrollRange(slot);
  ConnectScrolling(bar, handle, false);
  return bar;
}

// A track bar follows the person's action itself; a scroll bar only moves
// its thumb when dragged (line and page clicks are the script's business).
void QtControls::ConnectScrolling(QWidget* widget, std::int32_t handle, bool moves_itself) {
  auto* bar = static_cast<QAbstractSlider*>(widget);
  QObject::connect(bar, &QAbstractSlider::actionTriggered, [this, bar, handle, moves_itself](int action) {
    const int code = ScrollCodeOf(action);
    if (code < 0) return;
    {
      ChangeGuard guard(changing_);
      if (moves_itself || code == host::SCROLL_THUMB_TRACK) {
        bar->setValue(bar->sliderPosition());
      } else {
        bar->setSliderPosition(bar->value());
      }
    }
    host::OnControlScroll(rt_, handle, code, bar->sliderPosition());
  });
  QObject::connect(bar, &QAbstractSlider::sliderReleased, [this, bar, handle] {
    host::OnControlScroll(rt_, handle, host::SCROLL_THUMB_POSITION, bar->sliderPosition());
  });
}

void QtControls::ApplyScrollRange(Slot& slot) {
  auto* bar = qobject_cast<QScrollBar*>(slot.widget.data());
  if (bar == nullptr) return;
  // With a page, the thumb's last position leaves the page inside the range.
  const std::int32_t last = slot.page > 1 ? std::max(0, slot.range_max - slot.page + 1) : slot.range_max;
  bar->setRange(0, last);
  bar->setPageStep(std::max(1, slot.page));
}

void QtControls::EnforceByteLimit(std::int32_t handle) {
  if (handle < 1 || handle > static_cast<std::int32_t>(slots_.size())) return;
  Slot& slot = slots_[handle - 1];
  if (!slot.widget) return;
  ResourceEntry probe;
  probe.kind = slot.kind;
  probe.window = handle;
  const std::string now = Text(probe);
  if (slot.byte_limit > 0 && static_cast<std::int32_t>(now.size()) > slot.byte_limit) {
    SetText(probe, slot.last_text);
    return;
  }
  slot.last_text = now;
}

bool QtControls::StartTimer(std::int32_t timer_id, std::int32_t interval_ms) {
  return timers_.Start(timer_id, interval_ms);
}

// Widgets may be in the middle of reporting (a label that unloads the
// program): they are hidden now and deleted from the event loop.
void QtControls::DestroyAll() {
  timers_.StopAll();
  for (Slot& slot : slots_) {
    if (!slot.widget) continue;
    slot.widget->hide();
    slot.widget->deleteLater();
  }
  for (QPointer<QButtonGroup>& group : radio_groups_) {
    if (group) group->deleteLater();
  }
  slots_.clear();
  radio_groups_.clear();
  radio_group_ = nullptr;
}

void QtControls::SetFont(const ResourceEntry& control, int pixels) {
  if (Slot* slot = Find(control)) slot->widget->setFont(SharedFont(pixels));
}

void QtControls::Move(const ResourceEntry& control, std::int32_t x, std::int32_t y) {
  if (Slot* slot = Find(control)) {
    slot->widget->move(x, y);
    slot->widget->show();
  }
}

void QtControls::Resize(const ResourceEntry& control, std::int32_t width, std::int32_t height) {
  if (Slot* slot = Find(control)) {
    slot->widget->resize(std::max(0, width), std::max(0, height));
    slot->widget->show();
  }
}

void QtControls::Show(const ResourceEntry& control, bool visible) {
  if (Slot* slot = Find(control)) slot->widget->setVisible(visible);
}

void QtControls::SetColours(const ResourceEntry& control, std::uint32_t text, std::uint32_t back) {
  Slot* slot = Find(control);
  if (slot == nullptr) return;
  QPalette palette = slot->widget->palette();
  palette.setColor(QPalette::Text, FromRgb(text));
  palette.setColor(QPalette::Base, FromRgb(back));
  slot->widget->setPalette(palette);
}

void QtControls::RemoveClientEdge(const ResourceEntry& control) {
  Slot* slot = Find(control);
  if (slot == nullptr) return;
  if (auto* list = qobject_cast<QListWidget*>(slot->widget)) list->setFrameShape(QFrame::NoFrame);
  if (auto* combo = qobject_cast<QComboBox*>(slot->widget)) combo->setFrame(false);
}

void QtControls::LimitText(const ResourceEntry& control, std::int32_t bytes) {
  if (Slot* slot = Find(control)) {
    slot->byte_limit = std::max(0, bytes);
    slot->last_text = Text(control);
  }
}

void QtControls::SetPageSize(const ResourceEntry& bar, std::int32_t page) {
  Slot* slot = Find(bar);
  if (slot == nullptr || slot->kind != R_KD_SCR_BAR) return;
  slot->page = std::max(0, page);
  ChangeGuard guard(changing_);
  ApplyScrollRange(*slot);
}

int QtControls::ListCount(const ResourceEntry& list) {
  const Slot* slot = Find(list);
  if (slot == nullptr) return 0;
  if (auto* l = qobject_cast<QListWidget*>(slot->widget)) return l->count();
  if (auto* c = qobject_cast<QComboBox*>(slot->widget)) return c->count();
  return 0;
}

void QtControls::ListClear(const ResourceEntry& list) {
  Slot* slot = Find(list);
  if (slot == nullptr) return;
  ChangeGuard guard(changing_);
  if (auto* l = qobject_cast<QListWidget*>(slot->widget)) l->clear();
  if (auto* c = qobject_cast<QComboBox*>(slot->widget)) {
    // Emptying a combo box's list leaves its edit field as it was.
    const QString edit = c->currentText();
    c->clear();
    c->setEditText(edit);
  }
}

void QtControls::SetEditSelection(const ResourceEntry& edit, std::int32_t start, std::int32_t end) {
  Slot* slot = Find(edit);
  auto* box = slot ? qobject_cast<QPlainTextEdit*>(slot->widget) : nullptr;
  if (box == nullptr) return;
  const QString text = box->toPlainText();
  QTextCursor cursor(box->document());
  cursor.setPosition(CharIndexOfByte(text, std::max(0, start)));
  // A negative end selects to the end of the text.
  const int last = end < 0 ? static_cast<int>(text.size()) : CharIndexOfByte(text, end);
  cursor.setPosition(last, QTextCursor::KeepAnchor);
  box->setTextCursor(cursor);
  box->ensureCursorVisible();
}

void QtControls::EditSelection(const ResourceEntry& edit, std::int32_t* start, std::int32_t* end) {
  *start = *end = 0;
  const Slot* slot = Find(edit);
  auto* box = slot ? qobject_cast<QPlainTextEdit*>(slot->widget) : nullptr;
  if (box == nullptr) return;
  const QString text = box->toPlainText();
  const QTextCursor cursor = box->textCursor();
  *start = ByteOfCharIndex(text, cursor.selectionStart());
  *end = ByteOfCharIndex(text, cursor.selectionEnd());
}

void QtControls::FocusMainWindow() {
  if (main_window_) main_window_->setFocus(Qt::OtherFocusReason);
}

void QtControls::AfterLabel() {
  if (after_label_) after_label_();
}

std::string QtControls::Text(const ResourceEntry& control) const {
  const Slot* slot = Find(control);
  if (slot == nullptr) return {};
  QWidget* w = slot->widget;
  if (auto* button = qobject_cast<QAbstractButton*>(w)) return ToSjis(button->text());
  if (auto* line = qobject_cast<QLineEdit*>(w)) return ToSjis(line->text());
  if (auto* edit = qobject_cast<QPlainTextEdit*>(w)) return EditToSjis(edit->toPlainText());
  if (auto* combo = qobject_cast<QComboBox*>(w)) return ToSjis(combo->currentText());
  return {};
}

void QtControls::SetText(const ResourceEntry& control, std::string_view text) {
  Slot* slot = Find(control);
  if (slot == nullptr) return;
  ChangeGuard guard(changing_);
  QWidget* w = slot->widget;
  if (auto* button = qobject_cast<QAbstractButton*>(w)) button->setText(FromSjis(text));
  if (auto* line = qobject_cast<QLineEdit*>(w)) line->setText(FromSjis(text));
  if (auto* edit = qobject_cast<QPlainTextEdit*>(w)) edit->setPlainText(EditFromSjis(text));
  if (auto* combo = qobject_cast<QComboBox*>(w)) combo->setEditText(FromSjis(text));
  slot->last_text.assign(text);
}

void QtControls::ScrollToEnd(const ResourceEntry& control) {
  const Slot* slot = Find(control);
  auto* edit = slot ? qobject_cast<QPlainTextEdit*>(slot->widget) : nullptr;
  if (edit == nullptr) return;
  edit->moveCursor(QTextCursor::End);
  edit->verticalScrollBar()->setValue(edit->verticalScrollBar()->maximum());
}

int QtControls::ListSelection(const ResourceEntry& list) const {
  const Slot* slot = Find(list);
  if (slot == nullptr) return -1;
  if (auto* l = qobject_cast<QListWidget*>(slot->widget)) {
    const QList<QListWidgetItem*> selected = l->selectedItems();
    return selected.isEmpty() ? -1 : l->row(selected.front());
  }
  if (auto* c = qobject_cast<QComboBox*>(slot->widget)) return c->currentIndex();
  return -1;
}

void QtControls::SetListSelection(const ResourceEntry& list, int index) {
  Slot* slot = Find(list);
  if (slot == nullptr) return;
  ChangeGuard guard(changing_);
  if (auto* l = qobject_cast<QListWidget*>(slot->widget)) {
    l->clearSelection();
    if (index >= 0 && index < l->count()) {
      l->setCurrentRow(index);
      l->item(index)->setSelected(true);
      l->scrollToItem(l->item(index));
    }
  }
  if (auto* c = qobject_cast<QComboBox*>(slot->widget)) {
    c->setCurrentIndex(index >= 0 && index < c->count() ? index : -1);
  }
}

std::string QtControls::ListItem(const ResourceEntry& list, int index) const {
  const Slot* slot = Find(list);
  if (slot == nullptr || index < 0) return {};
  if (auto* l = qobject_cast<QListWidget*>(slot->widget)) {
    return index < l->count() ? ToSjis(l->item(index)->text()) : std::string();
  }
  if (auto* c = qobject_cast<QComboBox*>(slot->widget)) {
    return index < c->count() ? ToSjis(c->itemText(index)) : std::string();
  }
  return {};
}

void QtControls::ListAdd(const ResourceEntry& list, std::string_view item) {
  ListInsert(list, -1, item);
}

// Index -1 (or past the end) appends.
void QtControls::ListInsert(const ResourceEntry& list, int index, std::string_view item) {
  Slot* slot = Find(list);
  if (slot == nullptr) return;
  ChangeGuard guard(changing_);
  if (auto* l = qobject_cast<QListWidget*>(slot->widget)) {
    l->insertItem(index < 0 || index > l->count() ? l->count() : index, FromSjis(item));
  }
  if (auto* c = qobject_cast<QComboBox*>(slot->widget)) {
    const QString edit = c->currentText();
    const int selected = c->currentIndex();
    c->insertItem(index < 0 || index > c->count() ? c->count() : index, FromSjis(item));
    // Adding to the list never changes what the edit field shows.
    if (selected < 0) {
      c->setCurrentIndex(-1);
      c->setEditText(edit);
    }
  }
}

void QtControls::ListDelete(const ResourceEntry& list, int index) {
  Slot* slot = Find(list);
  if (slot == nullptr || index < 0) return;
  ChangeGuard guard(changing_);
  if (auto* l = qobject_cast<QListWidget*>(slot->widget)) {
    if (index >= l->count()) return;
    // Deleting the selected item leaves nothing selected.
    const bool was_selected = l->item(index)->isSelected();
    delete l->takeItem(index);
    if (was_selected) l->clearSelection();
  }
  if (auto* c = qobject_cast<QComboBox*>(slot->widget)) {
    if (index < c->count()) c->removeItem(index);
  }
}

bool QtControls::Checked(const ResourceEntry& button) const {
  const Slot* slot = Find(button);
  auto* b = slot ? qobject_cast<QAbstractButton*>(slot->widget) : nullptr;
  return b != nullptr && b->isCheckable() && b->isChecked();
}

void QtControls::SetChecked(const ResourceEntry& button, bool checked) {
  Slot* slot = Find(button);
  auto* b = slot ? qobject_cast<QAbstractButton*>(slot->widget) : nullptr;
  if (b == nullptr || !b->isCheckable()) return;
  ChangeGuard guard(changing_);
  // An exclusive group refuses to clear its checked button; the script may.
  QButtonGroup* group = b->group();
  if (group && !checked) group->setExclusive(false);
  b->setChecked(checked);
  if (group && !checked) group->setExclusive(true);
}

int QtControls::Position(const ResourceEntry& bar) const {
  const Slot* slot = Find(bar);
  if (slot == nullptr) return 0;
  if (auto* s = qobject_cast<QAbstractSlider*>(slot->widget)) return s->value();
  if (auto* p = qobject_cast<QProgressBar*>(slot->widget)) return p->value();
  return 0;
}

void QtControls::SetPosition(const ResourceEntry& bar, int position) {
  Slot* slot = Find(bar);
  if (slot == nullptr) return;
  ChangeGuard guard(changing_);
  if (auto* s = qobject_cast<QAbstractSlider*>(slot->widget)) s->setValue(position);
  if (auto* p = qobject_cast<QProgressBar*>(slot->widget)) {
    p->setValue(std::clamp(position, p->minimum(), p->maximum()));
  }
}

}  // namespace vx::qt
