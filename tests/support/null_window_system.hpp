#pragma once
// A window system without windows, for fuzz targets and benchmarks: controls
// read as `reads` says and keep nothing, the clipboard holds one fixed text,
// and message boxes are dropped or, with `echo_messages`, printed the way a
// headless run prints them.
#include <cstdio>
#include <string>
#include <string_view>
#include <utility>

#include "engine/program.hpp"
#include "engine/window_system.hpp"

namespace vx::test {

struct NullControlReads {
  std::string text;          // every control's text and list item
  int selection = -1;        // list selection
  bool checked = false;
  int position = 0;
  std::string clipboard;
};

class NullWindowSystem : public WindowSystem {
 public:
  explicit NullWindowSystem(NullControlReads reads = {}, bool echo_messages = false)
      : reads_(std::move(reads)), echo_messages_(echo_messages) {}

  std::string ControlText(const ResourceEntry&) override { return reads_.text; }
  void SetControlText(const ResourceEntry&, std::string_view) override {}
  void ScrollToEnd(const ResourceEntry&) override {}
  int ListSelection(const ResourceEntry&) override { return reads_.selection; }
  void SetListSelection(const ResourceEntry&, int) override {}
  std::string ListItem(const ResourceEntry&, int) override { return reads_.text; }
  void ListAdd(const ResourceEntry&, std::string_view) override {}
  void ListInsert(const ResourceEntry&, int, std::string_view) override {}
  void ListDelete(const ResourceEntry&, int) override {}
  bool Checked(const ResourceEntry&) override { return reads_.checked; }
  void SetChecked(const ResourceEntry&, bool) override {}
  int Position(const ResourceEntry&) override { return reads_.position; }
  void SetPosition(const ResourceEntry&, int) override {}
  std::string ClipboardText() override { return reads_.clipboard; }
  void SetClipboardText(std::string_view) override {}
  void ShowMessage(std::string_view caption, std::string_view text) override {
    if (!echo_messages_) return;
    std::fprintf(stderr, "[%.*s] %.*s\n", static_cast<int>(caption.size()), caption.data(),
                 static_cast<int>(text.size()), text.data());
  }
  void SetTitle(std::string_view) override {}

 private:
  NullControlReads reads_;
  bool echo_messages_;
};

}  // namespace vx::test
