#include "graphics/drawing.hpp"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <vector>

#include "engine/display.hpp"
#include "graphics/effects.hpp"
#include "graphics/shapes.hpp"
#include "platform/files.hpp"
#include "text/sjis.hpp"

namespace vx::graphics {
namespace {

// Integers of a comma-separated list (blanks around them allowed); stops at
// the first field that is not a number. Returns how many were read, and in
// `rest` what follows the last one read (after its comma).
std::size_t ReadNumbers(std::string_view text, std::int64_t* out, std::size_t max, std::string_view* rest) {
  std::size_t count = 0;
  std::size_t pos = 0;
  while (count < max && pos <= text.size()) {
    std::size_t p = pos;
    while (p < text.size() && (text[p] == ' ' || text[p] == '\t')) ++p;
    std::int64_t v = 0;
    const char* begin = text.data() + p;
    const char* end = text.data() + text.size();
    int base = 10;
    if (end - begin > 2 && begin[0] == '0' && (begin[1] == 'x' || begin[1] == 'X')) {
      begin += 2;
      base = 16;
    }
    auto [ptr, ec] = std::from_chars(begin, end, v, base);
    if (ec != std::errc() || ptr == begin) break;
    std::size_t q = static_cast<std::size_t>(ptr - text.data());
    while (q < text.size() && (text[q] == ' ' || text[q] == '\t')) ++q;
    if (q < text.size() && text[q] != ',') break;
    out[count++] = v;
    pos = q + 1;
  }
  if (rest != nullptr) *rest = pos <= text.size() ? text.substr(std::min(pos, text.size())) : std::string_view{};
  return count;
}

std::int32_t ReadLe32(const unsigned char* p) {
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
                                   (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24));
}

std::uint16_t ReadLe16(const unsigned char* p) {
  return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

PixelRect Normalised(const ClickArea& a) {
  return PixelRect{ClampCoord(std::min(a.left, a.right)), ClampCoord(std::min(a.top, a.bottom)),
                   ClampCoord(std::max(a.left, a.right)), ClampCoord(std::max(a.top, a.bottom))};
}

void DrawTextAt(Vram& vram, Canvas& canvas, int x, int y, std::string_view text, int height, Color colour) {
  vram.Text().Draw(canvas, x, y, colour, FontFor(vram, text, height, 0), text);
}

}  // namespace

FontSpec FontFor(const Vram& vram, std::string_view text, int height, int width) {
  const bool ascii = sjis::IsAscii(text);
  const FontChoice& choice = ascii ? vram.ascii_font : vram.japanese_font;
  FontSpec font;
  font.face = choice.face;
  font.weight = choice.weight;
  font.height = height;
  font.width = width;
  font.japanese = !ascii;
  return font;
}

Point AlignText(const PixelRect& box, TextSize size, std::int32_t alignment) {
  Point p{box.left, box.top};
  const int box_w = box.Width();
  const int box_h = box.Height();
  const int horizontal = alignment & 3;
  const int vertical = alignment & 12;
  if (size.width < box_w) {
    if (horizontal == 1) p.x = box.left + (box_w - size.width) / 2;
    if (horizontal >= 2) p.x = box.left + box_w - size.width;
  }
  if (size.height < box_h) {
    if (vertical == 4) p.y = box.top + (box_h - size.height) / 2;
    if (vertical >= 8) p.y = box.top + box_h - size.height;
  }
  return p;
}

bool ParseColourList(std::string_view text, Color* out) {
  std::int64_t v[3] = {0, 0, 0};
  const std::size_t n = ReadNumbers(text, v, 3, nullptr);
  if (n == 0) return false;
  *out = n >= 3 ? FromComponents(v[0], v[1], v[2]) : FromPacked(static_cast<std::uint32_t>(v[0]));
  return true;
}

PixelRect DrawIcon(Vram& vram, const ClickArea& area, int state) {
  const PixelRect box = Normalised(area);
  Canvas canvas(vram.Current(), Intersect(vram.Clip(), box));
  Color colour = vram.DrawColor();
  const std::vector<IconItem> items = ParseIconItems(area.text);
  const bool has_icon = std::any_of(items.begin(), items.end(), [](const IconItem& i) { return i.name == "icon"; });
  const bool has_caption = std::any_of(items.begin(), items.end(), [](const IconItem& i) { return i.name == "cap"; });
  const int shift = state == ICON_STATE_PRESSED ? 1 : 0;
  for (const IconItem& item : items) {
    std::int64_t n[4] = {0, 0, 0, 0};
    std::string_view rest;
    if (item.name == "fill") {
      Color c;
      if (ParseColourList(item.value, &c)) FillRect(canvas, box, Paint{c});
    } else if (item.name == "col") {
      ParseColourList(item.value, &colour);
    } else if (item.name == "frm") {
      const std::size_t k = ReadNumbers(item.value, n, 1, &rest);
      Color c = colour;
      ParseColourList(rest, &c);
      DrawFrame(canvas, box, k > 0 ? ClampWidth(n[0]) : 1, Paint{c});
    } else if (item.name == "frmS") {
      const std::size_t k = ReadNumbers(item.value, n, 2, nullptr);
      const int depth = k > 0 ? static_cast<int>(std::clamp<std::int64_t>(n[0], 1, 100)) : 2;
      const int strength = k > 1 ? static_cast<int>(std::clamp<std::int64_t>(n[1], 0, 255)) : 80;
      Bevel(canvas, box, depth, strength, state == ICON_STATE_PRESSED, false);
    } else if (item.name == "icon") {
      const std::size_t k = ReadNumbers(item.value, n, 2, nullptr);
      const int smaller = std::min(box.Width(), box.Height());
      const int margin = k > 1 ? static_cast<int>(std::clamp<std::int64_t>(n[1], 0, smaller / 2)) : smaller / 4;
      PixelRect inner{box.left + margin + shift, box.top + margin + shift, box.right - margin + shift,
                      box.bottom - margin + shift};
      if (has_caption) inner.bottom = std::min(inner.bottom, box.bottom - ICON_CAPTION_HEIGHT - 4 + shift);
      if (k > 0) DrawObject(canvas, static_cast<std::int32_t>(std::clamp<std::int64_t>(n[0], -1, OBJ_KIND_COUNT)), inner, true, 1, Paint{colour});
    } else if (item.name == "cap") {
      const TextSize size = vram.Text().Measure(FontFor(vram, item.value, ICON_CAPTION_HEIGHT, 0), item.value);
      const int x = box.left + (box.Width() - size.width) / 2 + shift;
      const int y = has_icon ? box.bottom - size.height - 2 + shift
                             : box.top + (box.Height() - size.height) / 2 + shift;
      DrawTextAt(vram, canvas, x, y, item.value, ICON_CAPTION_HEIGHT, colour);
    } else if (item.name == "str") {
      const std::size_t k = ReadNumbers(item.value, n, 3, &rest);
      if (k == 3) {
        const int height = n[2] > 0 ? static_cast<int>(std::min<std::int64_t>(n[2], TEXT_HEIGHT_MAX)) : TEXT_HEIGHT_DEFAULT;
        DrawTextAt(vram, canvas, static_cast<int>(box.left + std::clamp<std::int64_t>(n[0], -100000, 100000)) + shift,
                   static_cast<int>(box.top + std::clamp<std::int64_t>(n[1], -100000, 100000)) + shift, rest, height, colour);
      }
    } else if (item.name == "bmp") {
      PixelRect drawn;
      DrawBmpFile(canvas, item.value, Point{box.left + shift, box.top + shift}, &drawn);
    }
  }
  if (state == ICON_STATE_HIGHLIGHT) {
    AddColour(canvas, box, Color{40, 40, 40}, false);
  } else if (state == ICON_STATE_DISABLED) {
    const PixelRect a = canvas.ClipRect();
    for (int y = a.top; y <= a.bottom; ++y) {
      std::uint8_t* p = PixelAt(canvas.Bank(), a.left, y);
      for (int x = a.left; x <= a.right; ++x, p += 3) {
        for (int k = 0; k < 3; ++k) p[k] = static_cast<std::uint8_t>((p[k] + 0xC0) / 2);
      }
    }
  }
  return box;
}

bool DrawBmpFile(Canvas& canvas, std::string_view script_path, Point at, PixelRect* drawn) {
  *drawn = PixelRect{};
  files::FilePtr file = files::Open(script_path, "rb");
  if (!file) return false;
  unsigned char header[54];
  if (std::fread(header, 1, sizeof header, file.get()) != sizeof header) return false;
  if (header[0] != 'B' || header[1] != 'M') return false;
  const std::int32_t offset = ReadLe32(header + 10);
  const std::int32_t width = ReadLe32(header + 18);
  const std::int32_t raw_height = ReadLe32(header + 22);
  const std::uint16_t bits = ReadLe16(header + 28);
  const std::int32_t compression = ReadLe32(header + 30);
  if ((bits != 24 && bits != 32) || compression != 0 || width <= 0 || raw_height == 0 ||
      width > VRAM_WIDTH * 16 || raw_height == INT32_MIN || offset < 54) {
    return false;
  }
  const bool top_down = raw_height < 0;
  const std::int32_t height = top_down ? -raw_height : raw_height;
  if (height > VRAM_HEIGHT * 16) return false;
  const int bytes_per_pixel = bits / 8;
  const std::size_t stride = (static_cast<std::size_t>(width) * bytes_per_pixel + 3) & ~static_cast<std::size_t>(3);
  if (std::fseek(file.get(), offset, SEEK_SET) != 0) return false;
  std::vector<unsigned char> row(stride);
  for (std::int32_t i = 0; i < height; ++i) {
    if (std::fread(row.data(), 1, stride, file.get()) != stride) break;
    const std::int64_t y = static_cast<std::int64_t>(at.y) + (top_down ? i : height - 1 - i);
    if (y < canvas.ClipRect().top || y > canvas.ClipRect().bottom) continue;
    for (std::int32_t x = 0; x < width; ++x) {
      const unsigned char* p = row.data() + static_cast<std::size_t>(x) * bytes_per_pixel;
      const std::int64_t px = static_cast<std::int64_t>(at.x) + x;
      if (px < canvas.ClipRect().left || px > canvas.ClipRect().right) continue;
      canvas.Plot(static_cast<int>(px), static_cast<int>(y), Paint{Color{p[0], p[1], p[2]}});
    }
  }
  *drawn = PixelRect{at.x, at.y, static_cast<int>(std::min<std::int64_t>(static_cast<std::int64_t>(at.x) + width - 1, INT32_MAX)),
                     static_cast<int>(std::min<std::int64_t>(static_cast<std::int64_t>(at.y) + height - 1, INT32_MAX))};
  return true;
}

void CopyTopDown(const std::uint8_t* bank, const PixelRect& r, std::uint8_t* out, std::size_t stride) {
  if (r.Empty() || r.left < 0 || r.top < 0 || r.right >= VRAM_WIDTH || r.bottom >= VRAM_HEIGHT) return;
  const std::size_t bytes = static_cast<std::size_t>(r.Width()) * VRAM_PIXEL_BYTES;
  for (int y = r.top; y <= r.bottom; ++y) {
    std::memcpy(out + static_cast<std::size_t>(y - r.top) * stride, PixelAt(bank, r.left, y), bytes);
  }
}

bool RequestRedraw(Vram& vram, Display* display) {
  const bool needed = vram.redraw_needed;
  vram.redraw_needed = false;
  if (!needed || !vram.dirty.NonEmpty() || display == nullptr) return false;
  display->RequestRedraw(vram.dirty.left, vram.dirty.top, vram.dirty.right, vram.dirty.bottom);
  return true;
}

void PaintNow(Vram& vram, Display* display) {
  if (display != nullptr && vram.dirty.NonEmpty()) {
    display->PaintNow(vram.dirty.left, vram.dirty.top, vram.dirty.right, vram.dirty.bottom);
  }
  vram.redraw_needed = false;
  vram.EmptyDirty();
}

}  // namespace vx::graphics
