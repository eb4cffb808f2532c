#include "host/headless_window.hpp"

#include <cstdio>
#include <cstring>
#include <utility>

#include "host/launch.hpp"

namespace vx::host {
namespace {

void WriteErrorLine(const std::string& line) {
  std::fwrite(line.data(), 1, line.size(), stderr);
  std::fputc('\n', stderr);
  std::fflush(stderr);
}

}  // namespace

void TellFailedWrite(std::string_view shown_name, int errnum) {
  std::string line = "vexmora: cannot write ";
  line.append(shown_name).append(": ").append(std::strerror(errnum));
  WriteErrorLine(line);
}

std::string InProcessWindowSystem::ControlText(const ResourceEntry& c) {
  return widgets_ ? widgets_->Text(c) : std::string();
}
void InProcessWindowSystem::SetControlText(const ResourceEntry& c, std::string_view text) {
  if (widgets_) widgets_->SetText(c, text);
}
void InProcessWindowSystem::ScrollToEnd(const ResourceEntry& c) {
  if (widgets_) widgets_->ScrollToEnd(c);
}
int InProcessWindowSystem::ListSelection(const ResourceEntry& c) {
  return widgets_ ? widgets_->ListSelection(c) : -1;
}
void InProcessWindowSystem::SetListSelection(const ResourceEntry& c, int index) {
  if (widgets_) widgets_->SetListSelection(c, index);
}
std::string InProcessWindowSystem::ListItem(const ResourceEntry& c, int index) {
  return widgets_ ? widgets_->ListItem(c, index) : std::string();
}
void InProcessWindowSystem::ListAdd(const ResourceEntry& c, std::string_view item) {
  if (widgets_) widgets_->ListAdd(c, item);
}
void InProcessWindowSystem::ListInsert(const ResourceEntry& c, int index, std::string_view item) {
  if (widgets_) widgets_->ListInsert(c, index, item);
}
void InProcessWindowSystem::ListDelete(const ResourceEntry& c, int index) {
  if (widgets_) widgets_->ListDelete(c, index);
}
bool InProcessWindowSystem::Checked(const ResourceEntry& c) { return widgets_ && widgets_->Checked(c); }
void InProcessWindowSystem::SetChecked(const ResourceEntry& c, bool checked) {
  if (widgets_) widgets_->SetChecked(c, checked);
}
bool InProcessWindowSystem::FocusControl(const ResourceEntry& c) { return widgets_ && widgets_->Focus(c); }
int InProcessWindowSystem::Position(const ResourceEntry& c) { return widgets_ ? widgets_->Position(c) : 0; }
void InProcessWindowSystem::SetPosition(const ResourceEntry& c, int position) {
  if (widgets_) widgets_->SetPosition(c, position);
}

void InProcessWindowSystem::ShowMessage(std::string_view caption, std::string_view text) {
  WriteErrorLine(HeadlessMessageLine(caption, text));
}

void InProcessWindowSystem::ShowNote(std::string_view line) { WriteErrorLine(HeadlessNoteLine(line)); }

int HeadlessDebugDialog::Open(Runtime&, std::int32_t, std::string_view text) {
  WriteErrorLine(HeadlessMessageLine("Debug", text));
  return 1;  // continue
}

ControlHost* DeferredControls::Layer() {
  if (layer_ == nullptr && bring_up_) std::exchange(bring_up_, nullptr)();
  return layer_;
}

std::int32_t DeferredControls::CreateControl(const ResourceEntry& control, std::int32_t item_id) {
  ControlHost* layer = Layer();
  return layer ? layer->CreateControl(control, item_id) : 0;
}
bool DeferredControls::StartTimer(std::int32_t timer_id, std::int32_t interval_ms) {
  ControlHost* layer = Layer();
  return layer && layer->StartTimer(timer_id, interval_ms);
}

// Without the layer there are no widgets or timers to act on.
void DeferredControls::DestroyAll() {
  if (layer_) layer_->DestroyAll();
}
void DeferredControls::SetFont(const ResourceEntry& c, int pixels) {
  if (layer_) layer_->SetFont(c, pixels);
}
void DeferredControls::Move(const ResourceEntry& c, std::int32_t x, std::int32_t y) {
  if (layer_) layer_->Move(c, x, y);
}
void DeferredControls::Resize(const ResourceEntry& c, std::int32_t width, std::int32_t height) {
  if (layer_) layer_->Resize(c, width, height);
}
void DeferredControls::Show(const ResourceEntry& c, bool visible) {
  if (layer_) layer_->Show(c, visible);
}
void DeferredControls::SetColours(const ResourceEntry& c, std::uint32_t text, std::uint32_t back) {
  if (layer_) layer_->SetColours(c, text, back);
}
void DeferredControls::RemoveClientEdge(const ResourceEntry& c) {
  if (layer_) layer_->RemoveClientEdge(c);
}
void DeferredControls::LimitText(const ResourceEntry& c, std::int32_t bytes) {
  if (layer_) layer_->LimitText(c, bytes);
}
void DeferredControls::SetPageSize(const ResourceEntry& bar, std::int32_t page) {
  if (layer_) layer_->SetPageSize(bar, page);
}
int DeferredControls::ListCount(const ResourceEntry& list) { return layer_ ? layer_->ListCount(list) : 0; }
void DeferredControls::ListClear(const ResourceEntry& list) {
  if (layer_) layer_->ListClear(list);
}
void DeferredControls::SetEditSelection(const ResourceEntry& edit, std::int32_t start, std::int32_t end) {
  if (layer_) layer_->SetEditSelection(edit, start, end);
}
void DeferredControls::EditSelection(const ResourceEntry& edit, std::int32_t* start, std::int32_t* end) {
  *start = *end = 0;
  if (layer_) layer_->EditSelection(edit, start, end);
}
void DeferredControls::FocusMainWindow() {
  if (layer_) layer_->FocusMainWindow();
}
void DeferredControls::AfterLabel() {
  if (layer_) layer_->AfterLabel();
}

}  // namespace vx::host
