#pragma once
// In-memory window system for unit tests: controls keyed by their handle.
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "engine/program.hpp"
#include "engine/window_system.hpp"

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
  // Only controls with a window (handle above 0) can take the focus.
  bool FocusControl(const ResourceEntry& e) override {
    if (e.window < 1) return false;
    focused = e.window;
    return true;
  }
  int Position(const ResourceEntry& e) override { return At(e).position; }
  void SetPosition(const ResourceEntry& e, int p) override { At(e).position = p; }
  std::string ClipboardText() override { return clipboard; }
  void SetClipboardText(std::string_view t) override { clipboard = t; }
  void ShowMessage(std::string_view caption, std::string_view text) override {
    messages.push_back("[" + std::string(caption) + "] " + std::string(text));
  }
  void ShowNote(std::string_view line) override { notes.emplace_back(line); }
  void SetTitle(std::string_view t) override { title = t; }

  // An in-process picture clipboard (packed DIBs) and a screen made of
  // `screen_pixel` (0xRRGGBB at a screen point).
  std::string ClipboardPicture() override { return picture_clipboard; }
  bool SetClipboardPicture(std::string_view dib) override {
    if (refuse_pictures) return false;
    picture_clipboard = dib;
    return true;
  }
  void ScreenSize(int* w, int* h) override {
    *w = screen_width;
    *h = screen_height;
  }
  bool GrabScreen(int x, int y, int w, int h, std::string* dib) override {
    grabs.push_back({x, y, w, h});
    if (!screen_pixel || w <= 0 || h <= 0) return false;
    *dib = DibHeader(w, h, 24);
    const int stride = (w * 3 + 3) / 4 * 4;
    for (int row = h - 1; row >= 0; --row) {
      std::string line(static_cast<std::size_t>(stride), '\0');
      for (int col = 0; col < w; ++col) {
        const std::uint32_t c = screen_pixel(x + col, y + row);
        line[col * 3] = static_cast<char>(c & 0xFF);
        line[col * 3 + 1] = static_cast<char>((c >> 8) & 0xFF);
        line[col * 3 + 2] = static_cast<char>((c >> 16) & 0xFF);
      }
      *dib += line;
    }
    return true;
  }

  // A 40-byte information header of an uncompressed DIB.
  static std::string DibHeader(std::int32_t width, std::int32_t height, int bits) {
    std::string h;
    const auto put = [&h](std::uint32_t v, int bytes) {
      for (int i = 0; i < bytes; ++i) h += static_cast<char>((v >> (8 * i)) & 0xFF);
    };
    const std::uint32_t stride = (static_cast<std::uint32_t>(width) * bits + 31) / 32 * 4;
    put(40, 4);
    put(static_cast<std::uint32_t>(width), 4);
    put(static_cast<std::uint32_t>(height), 4);
    put(1, 2);
    put(static_cast<std::uint32_t>(bits), 2);
    put(0, 4);
    put(stride * static_cast<std::uint32_t>(height < 0 ? -height : height), 4);
    put(0, 4);
    put(0, 4);
    put(0, 4);
    put(0, 4);
    return h;
  }

  std::map<int, Control> controls;
  int focused = 0;  // handle of the control that has the focus
  std::string clipboard;
  std::vector<std::string> messages;
  std::vector<std::string> notes;  // explanations and warnings (standard error)
  std::string title;
  std::string picture_clipboard;
  bool refuse_pictures = false;
  int screen_width = 0;
  int screen_height = 0;
  std::function<std::uint32_t(int, int)> screen_pixel;
  std::vector<std::vector<int>> grabs;
};

}  // namespace vx::test
