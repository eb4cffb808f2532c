#include "platform/qt/qt_window_system.hpp"

#include <QApplication>
#include <QClipboard>
#include <QMessageBox>
#include <QPushButton>
#include <QString>
#include <QWidget>
#include <cstdio>

#include "engine/program.hpp"
#include "engine/runtime.hpp"
#include "host/launch.hpp"
#include "text/encoding.hpp"

namespace vx::qt {
namespace {

QString FromSjis(std::string_view text) { return QString::fromStdString(text::Cp932ToUtf8(text)); }

std::string ToSjis(const QString& text) { return text::Utf8ToCp932(text.toStdString()); }

}  // namespace

void WriteErrorLine(const std::string& line) {
  std::fwrite(line.data(), 1, line.size(), stderr);
  std::fputc('\n', stderr);
  std::fflush(stderr);
}

void QtWindowSystem::SetMainWindow(QWidget* window) {
  main_window_ = window;
  if (main_window_ && !title_.empty()) main_window_->setWindowTitle(FromSjis(title_));
}

// No control has a widget yet: reads are neutral and writes go nowhere.
std::string QtWindowSystem::ControlText(const ResourceEntry&) { return {}; }
void QtWindowSystem::SetControlText(const ResourceEntry&, std::string_view) {}
void QtWindowSystem::ScrollToEnd(const ResourceEntry&) {}
int QtWindowSystem::ListSelection(const ResourceEntry&) { return -1; }
void QtWindowSystem::SetListSelection(const ResourceEntry&, int) {}
std::string QtWindowSystem::ListItem(const ResourceEntry&, int) { return {}; }
void QtWindowSystem::ListAdd(const ResourceEntry&, std::string_view) {}
void QtWindowSystem::ListInsert(const ResourceEntry&, int, std::string_view) {}
void QtWindowSystem::ListDelete(const ResourceEntry&, int) {}
bool QtWindowSystem::Checked(const ResourceEntry&) { return false; }
void QtWindowSystem::SetChecked(const ResourceEntry&, bool) {}
int QtWindowSystem::Position(const ResourceEntry&) { return 0; }
void QtWindowSystem::SetPosition(const ResourceEntry&, int) {}

std::string QtWindowSystem::ClipboardText() {
  if (headless_) return clipboard_;
  return ToSjis(QApplication::clipboard()->text());
}

void QtWindowSystem::SetClipboardText(std::string_view text) {
  if (headless_) {
    clipboard_.assign(text);
    return;
  }
  QApplication::clipboard()->setText(FromSjis(text));
}

void QtWindowSystem::ShowMessage(std::string_view caption, std::string_view text) {
  if (headless_) {
    WriteErrorLine(host::HeadlessMessageLine(caption, text));
    return;
  }
  QMessageBox box(QMessageBox::NoIcon, FromSjis(caption), FromSjis(text), QMessageBox::Ok,
                  main_window_);
  box.exec();
}

void QtWindowSystem::SetTitle(std::string_view title) {
  title_.assign(title);
  if (main_window_) main_window_->setWindowTitle(FromSjis(title));
}

int QtDebugDialog::Open(Runtime& rt, std::int32_t procedure, std::string_view text) {
  if (headless_) {
    WriteErrorLine(host::HeadlessMessageLine("Debug", text));
    return 1;
  }
  std::int32_t line = 0;
  if (procedure >= 1 && procedure < rt.program.ProcCount()) line = rt.program.Proc(procedure).line;
  QMessageBox box(main_window_);
  box.setWindowTitle(QStringLiteral("Debug"));
  box.setText(QStringLiteral("Line %1 (procedure %2)").arg(line).arg(procedure));
  box.setInformativeText(FromSjis(text));
  QPushButton* go_on = box.addButton(QStringLiteral("Continue"), QMessageBox::AcceptRole);
  box.addButton(QStringLiteral("Quit"), QMessageBox::RejectRole);
  box.setDefaultButton(go_on);
  box.setEscapeButton(go_on);
  box.exec();
  return box.clickedButton() == go_on ? 1 : 0;
}

}  // namespace vx::qt
