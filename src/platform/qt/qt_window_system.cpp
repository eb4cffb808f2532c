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
#include "platform/qt/qt_debugger.hpp"
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
  if (controls_) controls_->SetMainWindow(window);
  if (main_window_ && !title_.empty()) main_window_->setWindowTitle(FromSjis(title_));
}

// Control operations go to the widgets; without them reads are neutral.
std::string QtWindowSystem::ControlText(const ResourceEntry& c) {
  return controls_ ? controls_->Text(c) : std::string();
}
void QtWindowSystem::SetControlText(const ResourceEntry& c, std::string_view text) {
  if (controls_) controls_->SetText(c, text);
}
void QtWindowSystem::ScrollToEnd(const ResourceEntry& c) {
  if (controls_) controls_->ScrollToEnd(c);
}
int QtWindowSystem::ListSelection(const ResourceEntry& c) {
  return controls_ ? controls_->ListSelection(c) : -1;
}
void QtWindowSystem::SetListSelection(const ResourceEntry& c, int index) {
  if (controls_) controls_->SetListSelection(c, index);
}
std::string QtWindowSystem::ListItem(const ResourceEntry& c, int index) {
  return controls_ ? controls_->ListItem(c, index) : std::string();
}
void QtWindowSystem::ListAdd(const ResourceEntry& c, std::string_view item) {
  if (controls_) controls_->ListAdd(c, item);
}
void QtWindowSystem::ListInsert(const ResourceEntry& c, int index, std::string_view item) {
  if (controls_) controls_->ListInsert(c, index, item);
}
void QtWindowSystem::ListDelete(const ResourceEntry& c, int index) {
  if (controls_) controls_->ListDelete(c, index);
}
bool QtWindowSystem::Checked(const ResourceEntry& c) { return controls_ && controls_->Checked(c); }
void QtWindowSystem::SetChecked(const ResourceEntry& c, bool checked) {
  if (controls_) controls_->SetChecked(c, checked);
}
bool QtWindowSystem::FocusControl(const ResourceEntry& c) { return controls_ && controls_->Focus(c); }
int QtWindowSystem::Position(const ResourceEntry& c) { return controls_ ? controls_->Position(c) : 0; }
void QtWindowSystem::SetPosition(const ResourceEntry& c, int position) {
  if (controls_) controls_->SetPosition(c, position);
}

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
  return RunDebugDialog(rt, procedure, text, main_window_, quick_watch_);
}

}  // namespace vx::qt
