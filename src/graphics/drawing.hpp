#pragma once
// Drawing that needs more than one part of the graphics state: text with
// the current faces, icons of click areas, small BMP pictures, and the
// redraw hand-over to the window.
#include <cstdint>
#include <string_view>

#include "graphics/canvas.hpp"
#include "graphics/click_areas.hpp"
#include "graphics/raster.hpp"
#include "graphics/text.hpp"
#include "graphics/vram.hpp"

namespace vx {
class Display;
}

namespace vx::graphics {

inline constexpr int ICON_CAPTION_HEIGHT = 12;
inline constexpr int ICON_STATE_NORMAL = 0;
inline constexpr int ICON_STATE_PRESSED = 1;
inline constexpr int ICON_STATE_HIGHLIGHT = 2;
inline constexpr int ICON_STATE_DISABLED = 3;

// The font for a text: the ASCII face and weight (ASCII character set) when
// the text is pure ASCII, else the Japanese face and weight (Shift-JIS).
FontSpec FontFor(const Vram& vram, std::string_view text, int height, int width);

// Text alignment of DrawTextAlign: bits 0-1 horizontal (0 left, 1 centre,
// 2 or 3 right), bits 2-3 vertical (0 top, 4 middle, 8 or 12 bottom).
// Centring and right or bottom placement apply only when the text is
// smaller than the box.
Point AlignText(const PixelRect& box, TextSize size, std::int32_t alignment);

// DrawIcon: draws the area from the items of its text. Returns the area.
PixelRect DrawIcon(Vram& vram, const ClickArea& area, int state);

// Draws a 24- or 32-bit uncompressed BMP file with its top-left corner at
// `at`. False when the file cannot be read or has another format.
bool DrawBmpFile(Canvas& canvas, std::string_view script_path, Point at, PixelRect* drawn);

// Parses "R,G,B" (each clamped) or one packed 0xRRGGBB value from the
// start of a comma-separated list; false when there are no numbers.
bool ParseColourList(std::string_view text, Color* out);

// The rectangle of a bank as top-down rows of blue, green, red bytes (the
// order of a 24-bit BGR image): one row copy each, so a window can paint a
// bank without converting pixels. `out` holds r.Height() rows of `stride`
// bytes; the rectangle must lie inside the bank.
void CopyTopDown(const std::uint8_t* bank, const PixelRect& r, std::uint8_t* out, std::size_t stride);

// The redraw hand-over (the engine side of the window's redraw request):
// takes the redraw-needed flag; when it was set and the dirty rectangle is
// non-empty, asks the display to repaint that rectangle. Returns whether it
// asked.
bool RequestRedraw(Vram& vram, Display* display);
// DoDraw: the dirty rectangle goes to the screen at once; the flag is
// cleared and the rectangle emptied.
void PaintNow(Vram& vram, Display* display);

}  // namespace vx::graphics
