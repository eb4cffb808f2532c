#include "qt/dialogs.hpp"

#include <QColorDialog>
#include <QCursor>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QInputDialog>
#include <QListWidget>
#include <QMenu>
#include <QMessageBox>
#include <QRegularExpressionValidator>
#include <QVBoxLayout>

#include "host/controls.hpp"
#include "qt/controls.hpp"
#include "text/encoding.hpp"

namespace vx::qt {
namespace {

QString FromSjis(std::string_view text) { return QString::fromStdString(text::Cp932ToUtf8(text)); }
std::string ToSjis(const QString& text) { return text::Utf8ToCp932(text.toStdString()); }

// "Scripts|*.vx;*.txt" or "*.vx": Qt's "Scripts (*.vx *.txt)".
QString QtFilter(std::string_view filter) {
  if (filter.empty()) return QStringLiteral("All files (*)");
  QString text = FromSjis(filter);
  QString name;
  const qsizetype bar = text.indexOf(u'|');
  if (bar >= 0) {
    name = text.left(bar);
    text = text.mid(bar + 1);
  }
  text.replace(u';', u' ');
  return (name.isEmpty() ? text : name) + QStringLiteral(" (") + text + QStringLiteral(");;All files (*)");
}

}  // namespace

void QtDialogs::SetDefaults(std::string_view caption, std::int32_t font_code) {
  default_caption_.assign(caption);
  font_code_ = font_code;
}

// With neither a caption nor a default one, a dialog carries the program's
// name (an empty title would show Qt's application name, the window class).
QString QtDialogs::Caption(std::string_view caption) const {
  const std::string_view chosen = caption.empty() ? std::string_view(default_caption_) : caption;
  return chosen.empty() ? QStringLiteral("Vexmora") : FromSjis(chosen);
}

std::optional<std::string> QtDialogs::OpenFile(std::string_view caption, std::string_view filter, bool save) {
  const QString path = save ? QFileDialog::getSaveFileName(main_window_, Caption(caption), {}, QtFilter(filter))
                            : QFileDialog::getOpenFileName(main_window_, Caption(caption), {}, QtFilter(filter));
  if (path.isEmpty()) return std::nullopt;
  return ToSjis(path);
}

std::optional<std::string> QtDialogs::InputText(std::string_view caption, std::string_view prompt,
                                                std::string_view initial, host::TextInput kind) {
  QInputDialog dialog(main_window_);
  dialog.setWindowTitle(Caption(caption));
  dialog.setLabelText(FromSjis(prompt));
  if (font_code_ > 0) dialog.setFont(SharedFont(host::FontPixelsForCode(font_code_)));
  if (kind == host::TextInput::kMultiLine) {
    dialog.setOption(QInputDialog::UsePlainTextEditForTextInput);
    QString text = FromSjis(initial);
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    dialog.setTextValue(text);
  } else {
    dialog.setTextValue(FromSjis(initial));
  }
  if (kind == host::TextInput::kHalfWidth) {
    // Half-width only: printable ASCII and half-width katakana.
    auto* validator = new QRegularExpressionValidator(
        QRegularExpression(QStringLiteral("[\\x20-\\x7E\\x{FF61}-\\x{FF9F}]*")), &dialog);
    if (auto* line = dialog.findChild<QLineEdit*>()) line->setValidator(validator);
  }
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  QString text = dialog.textValue();
  if (kind == host::TextInput::kMultiLine) text.replace(QStringLiteral("\n"), QStringLiteral("\r\n"));
  return ToSjis(text);
}

std::optional<double> QtDialogs::InputNumber(std::string_view caption, std::string_view prompt,
                                             const host::NumberInput& number) {
  bool ok = false;
  const double value =
      QInputDialog::getDouble(main_window_, Caption(caption), FromSjis(prompt), number.initial,
                              number.minimum, number.maximum, number.decimals, &ok);
  if (!ok) return std::nullopt;
  return value;
}

int QtDialogs::Message(std::string_view caption, std::string_view text, int buttons) {
  QMessageBox::StandardButtons shown = QMessageBox::Ok;
  switch (buttons) {
    case host::BUTTONS_OK_CANCEL: shown = QMessageBox::Ok | QMessageBox::Cancel; break;
    case host::BUTTONS_YES_NO: shown = QMessageBox::Yes | QMessageBox::No; break;
    case host::BUTTONS_YES_NO_CANCEL: shown = QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel; break;
    default: break;
  }
  QMessageBox box(QMessageBox::NoIcon, FromSjis(caption), FromSjis(text), shown, main_window_);
  switch (box.exec()) {
    case QMessageBox::Ok: return host::ANSWER_OK;
    case QMessageBox::Yes: return host::ANSWER_YES;
    case QMessageBox::No: return host::ANSWER_NO;
    default: return host::ANSWER_CANCEL;
  }
}

std::optional<std::uint32_t> QtDialogs::ChooseColour(std::uint32_t initial) {
  const QColor start((initial >> 16) & 0xFF, (initial >> 8) & 0xFF, initial & 0xFF);
  const QColor chosen = QColorDialog::getColor(start, main_window_);
  if (!chosen.isValid()) return std::nullopt;
  return (static_cast<std::uint32_t>(chosen.red()) << 16) | (static_cast<std::uint32_t>(chosen.green()) << 8) |
         static_cast<std::uint32_t>(chosen.blue());
}

int QtDialogs::PopupMenu(std::span<const std::string> items) {
  QMenu menu(main_window_);
  for (std::size_t i = 0; i < items.size(); ++i) {
    menu.addAction(FromSjis(items[i]))->setData(static_cast<int>(i));
  }
  QAction* chosen = menu.exec(QCursor::pos());
  return chosen ? chosen->data().toInt() : -1;
}

int QtDialogs::ChooseFromList(std::string_view caption, std::span<const std::string> items, int initial) {
  QDialog dialog(main_window_);
  dialog.setWindowTitle(Caption(caption));
  auto* layout = new QVBoxLayout(&dialog);
  auto* list = new QListWidget(&dialog);
  for (const std::string& item : items) list->addItem(FromSjis(item));
  if (initial >= 0 && initial < list->count()) list->setCurrentRow(initial);
  if (font_code_ > 0) list->setFont(SharedFont(host::FontPixelsForCode(font_code_)));
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
  layout->addWidget(list);
  layout->addWidget(buttons);
  QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
  QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
  QObject::connect(list, &QListWidget::itemDoubleClicked, &dialog, &QDialog::accept);
  if (dialog.exec() != QDialog::Accepted) return -1;
  return list->currentRow();
}

}  // namespace vx::qt
