#pragma once
// In-memory window system for unit tests: controls keyed by their handle.
#include <map>
#include <string>
#include <vector>

#include "engine/program.hpp"
#include "host/window_system.hpp"

namespace vx::test {

class FakeWindowSystem : public WindowSystem {
 public:
  struct Control {
    std::string text;
    std::vector<std::string> items;
    int selection = -1;
    bool checked = false;
    int position = 0;
    int scrolled_to_end = 0;
  };

  Control& At(const ResourceEntry& e) { return controls[e.window]; }

  std::string ControlText(const ResourceEntry& e) override { return At(e).text; }
  void SetControlText(const ResourceEntry& e, std::string_view t) override { At(e).text = t; }
  void ScrollToEnd(const ResourceEntry& e) override { ++At(e).scrolled_to_end; }
  int ListSelection(const ResourceEntry& e) override { return At(e).selection; }
  void SetListSelection(const ResourceEntry& e, int i) override { At(e).selection = i; }
  std::string ListItem(const ResourceEntry& e, int i) override {
    auto& items = At(e).items;
    return i >= 0 && i < static_cast<int>(items.size()) ? items[i] : std::string();
  }
  void ListAdd(const ResourceEntry& e, std::string_view item) override {
    At(e).items.emplace_back(item);
  }
  void ListInsert(const ResourceEntry& e, int i, std::string_view item) override {
    auto& items = At(e).items;
    items.insert(items.begin() + std::min<std::size_t>(i, items.size()), std::string(item));
  }
  void ListDelete(const ResourceEntry& e, int i) override {
    auto& items = At(e).items;
    if (i >= 0 && i < static_cast<int>(items.size())) items.erase(items.begin() + i);
  }
  bool Checked(const ResourceEntry& e) override { return At(e).checked; }
  void SetChecked(const ResourceEntry& e, bool c) override { At(e).checked = c; }
  int Position(const ResourceEntry& e) override { return At(e).position; }
  void SetPosition(const ResourceEntry& e, int p) override { At(e).position = p; }
  std::string ClipboardText() override { return clipboard; }
  void SetClipboardText(std::string_view t) override { clipboard = t; }
  void ShowMessage(std::string_view caption, std::string_view text) override {
    messages.push_back("[" + std::string(caption) + "] " + std::string(text));
  }
  void SetTitle(std::string_view t) override { title = t; }

  std::map<int, Control> controls;
  std::string clipboard;
  std::vector<std::string> messages;
  std::string title;
};

}  // namespace vx::test
