// The VRAM family: banks, colours and the pen, shapes, text, picture
// operations and the redraw hand-over (ids 208-271, 291-294, 306-309, 397).
//
// Every drawing API draws into the current bank through the drawing clip
// (SetUdArea), marks what it may have changed dirty and so sets the
// redraw-needed flag. Coordinates are script coordinates (top-down),
// limited to +-1,000,000; rectangles are x, y, width, height, where a
// negative width or height reaches to the left or up from x or y.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "api/api_ids.hpp"
#include "api/call.hpp"
#include "engine/runtime.hpp"
#include "graphics/canvas.hpp"
#include "graphics/drawing.hpp"
#include "graphics/effects.hpp"
#include "graphics/glyphs.hpp"
#include "graphics/raster.hpp"
#include "graphics/shapes.hpp"
#include "graphics/text.hpp"
#include "text/encoding.hpp"
#include "text/messages.hpp"

namespace vx::api {
namespace {

using graphics::Canvas;
using graphics::Color;
using graphics::Paint;
using graphics::PixelRect;
using graphics::Point;
using graphics::Vram;

constexpr std::size_t TXT_CAPACITY = 16000;  // G_TXT's buffer
constexpr int SOFT_REPEAT_MAX = 16;
constexpr int BEVEL_DEPTH_MAX = 200;

// --- argument helpers

Vram& V(Call& call) { return call.rt().vram; }
Canvas Surface(Call& call) { return Canvas::Current(V(call)); }
Paint Pen(Vram& v) { return Paint{v.DrawColor(), graphics::LINE_MODE_SOLID}; }
Paint ModePen(Vram& v) { return Paint{v.DrawColor(), v.line_mode}; }

int Coord(Call& call, int n) { return graphics::ClampCoord(call.Int(n)); }
int OptCoord(Call& call, int n, int fallback) { return graphics::ClampCoord(call.OptInt(n, fallback)); }
Point PointArg(Call& call, int n) { return Point{Coord(call, n), Coord(call, n + 1)}; }
int RadiusArg(Call& call, int n) { return graphics::ClampRadius(call.Int(n)); }

// x, y, width, height from argument n on.
PixelRect RectArg(Call& call, int n) {
  const int x = Coord(call, n);
  const int y = Coord(call, n + 1);
  const int w = Coord(call, n + 2);
  const int h = Coord(call, n + 3);
  return graphics::NormalizedRect(x, y, w, h);
}

Color PackedArg(Call& call, int n, std::uint32_t fallback) {
  return graphics::FromPacked(static_cast<std::uint32_t>(call.OptInt(n, static_cast<std::int32_t>(fallback))));
}

// A colour from arguments n, n + 1, n + 2: three components (each clamped)
// when all three are given, else argument n as a packed 0xRRGGBB value.
Color ColourArgs(Call& call, int n) {
  const std::int32_t first = call.Int(n);
  if (call.Has(n + 1) && call.Has(n + 2)) {
    const std::int32_t green = call.Int(n + 1);
    const std::int32_t blue = call.Int(n + 2);
    return graphics::FromComponents(first, green, blue);
  }
  return graphics::FromPacked(static_cast<std::uint32_t>(first));
}

// The bank a source argument names: negative the current bank; null (and
// G_ERROR = 1) when it does not exist.
const std::uint8_t* SourceBank(Call& call, std::int32_t index) {
  const std::uint8_t* bank = V(call).Bank(index);
  if (bank == nullptr) call.SetError(1);
  return bank;
}

void Touch(Vram& v, const PixelRect& r) {
  if (!r.Empty()) v.MarkDirty(r);
}

void SetColourWork(Call& call, Color c) {
  call.SetWork(1, c.r);
  call.SetWork(2, c.g);
  call.SetWork(3, c.b);
  call.SetWork(4, static_cast<std::int32_t>(graphics::ToPacked(c)));
}

// --- redraw and banks

// CancelPaint: the pending redraw is dropped.
void CancelPaint(Call& call) {
  V(call).redraw_needed = false;
  if (call.rt().display != nullptr) call.rt().display->CancelPaint();
}

// ClrUdArea: drawing may use the whole surface again.
void ClrUdArea(Call& call) { V(call).ResetClip(); }

// SetUdArea x, y, width, height: drawing stays inside this rectangle.
void SetUdArea(Call& call) { V(call).SetClip(RectArg(call, 0)); }

// SetVram bank: makes an existing bank current; repaints the whole surface
// in every case. G_ERROR 1 when the bank does not exist.
void SetVram(Call& call) {
  const std::int32_t bank = call.Int(0);
  const bool ok = V(call).Select(bank);
  V(call).MarkAllDirty();
  call.SetError(ok ? 0 : 1);
}

// ExtVram highest: banks 6 to highest become available.
void ExtVram(Call& call) {
  const std::int32_t highest = call.Int(0);
  call.SetError(V(call).Extend(highest) == 1 ? 0 : 1);
}

// VRamBack bank: the current bank is copied into the bank.
void VRamBack(Call& call) {
  const std::int32_t bank = call.Int(0);
  call.SetError(graphics::BackUpCurrent(V(call), bank) ? 0 : 1);
}

// VRamRestore bank: the bank is copied into the current bank.
void VRamRestore(Call& call) {
  const std::int32_t bank = call.Int(0);
  call.SetError(graphics::RestoreCurrent(V(call), bank) ? 0 : 1);
}

// VRamMix destination, a, b, ratio, x, y, width, height.
void VRamMix(Call& call) {
  const std::int32_t destination = call.Int(0);
  const std::int32_t a = call.Int(1);
  const std::int32_t b = call.Int(2);
  const std::int32_t ratio = call.Int(3);
  const PixelRect area = RectArg(call, 4);
  call.SetError(graphics::MixBanks(V(call), destination, a, b, ratio, area) ? 0 : 1);
}

// VRamClear [red or packed, green, blue]: all omitted clears to white.
void VRamClear(Call& call) {
  const Color c = call.Has(0) ? ColourArgs(call, 0) : graphics::kWhite;
  graphics::ClearCurrent(V(call), c);
}

// ScreenShift dx, dy [, fill packed (white)]: the picture moves.
void ScreenShift(Call& call) {
  const std::int32_t dx = call.Int(0);
  const std::int32_t dy = call.Int(1);
  const Color fill = PackedArg(call, 2, 0xFFFFFF);
  graphics::ShiftCurrent(V(call), dx, dy, fill);
}

// DoDraw: the dirty rectangle goes to the screen now.
void DoDraw(Call& call) { graphics::PaintNow(V(call), call.rt().display); }

// --- colour and pen

// SetColor red or packed [, green, blue].
void SetColor(Call& call) { V(call).DrawColor() = ColourArgs(call, 0); }

// SetColorMlt slot, red or packed [, green, blue].
void SetColorMlt(Call& call) {
  const std::int32_t slot = call.Int(0);
  const Color c = ColourArgs(call, 1);
  if (slot < 0 || slot >= graphics::COLOR_SLOTS) {
    call.SetError(1);
    return;
  }
  V(call).colour_slots[static_cast<std::size_t>(slot)] = c;
  call.SetError(0);
}

// GetColorMlt slot, out red, out green, out blue.
void GetColorMlt(Call& call) {
  const std::int32_t slot = call.Int(0);
  const std::int32_t red = call.Resource(1);
  const std::int32_t green = call.Resource(2);
  const std::int32_t blue = call.Resource(3);
  if (red < 0 || green < 0 || blue < 0) return;
  if (slot < 0 || slot >= graphics::COLOR_SLOTS) {
    call.SetError(1);
    return;
  }
  const Color c = V(call).colour_slots[static_cast<std::size_t>(slot)];
  call.WriteInt(red, c.r);
  call.WriteInt(green, c.g);
  call.WriteInt(blue, c.b);
  call.SetError(0);
}

// SetLineVol width [, mode]: width 1 to 100; the mode is kept as given.
void SetLineVol(Call& call) {
  const std::int32_t width = call.Int(0);
  Vram& v = V(call);
  v.line_width = graphics::ClampWidth(width);
  if (call.Has(1)) v.line_mode = call.Int(1);
}

// ColPal2RGB index, out red, out green, out blue.
void ColPal2RGB(Call& call) {
  const std::int32_t index = call.Int(0);
  const std::int32_t red = call.Resource(1);
  const std::int32_t green = call.Resource(2);
  const std::int32_t blue = call.Resource(3);
  if (red < 0 || green < 0 || blue < 0) return;
  Color c;
  if (!graphics::PaletteColour(index, &c)) {
    call.SetError(1);
    return;
  }
  call.WriteInt(red, c.r);
  call.WriteInt(green, c.g);
  call.WriteInt(blue, c.b);
  call.SetError(0);
}

// ColPal2CVB index, out packed: the palette colour as 0xRRGGBB.
void ColPal2CVB(Call& call) {
  const std::int32_t index = call.Int(0);
  const std::int32_t out = call.Resource(1);
  if (out < 0) return;
  Color c;
  if (!graphics::PaletteColour(index, &c)) {
    call.SetError(1);
    return;
  }
  call.WriteInt(out, static_cast<std::int32_t>(graphics::ToPacked(c)));
  call.SetError(0);
}

// SetGradMV index, position, packed: a gradient stop (index -1 clears all).
void SetGradMV(Call& call) {
  const std::int32_t index = call.Int(0);
  auto& g = call.rt().drawing.gradient;
  if (index == -1) {
    g = graphics::Gradient{};
    call.SetError(0);
    return;
  }
  const std::int32_t position = call.Int(1);
  const Color colour = graphics::FromPacked(static_cast<std::uint32_t>(call.Int(2)));
  if (index < 0 || index >= graphics::GRADIENT_STOPS_MAX) {
    call.SetError(1);
    return;
  }
  g.stops[static_cast<std::size_t>(index)] =
      graphics::GradientStop{std::clamp(position, 0, graphics::GRADIENT_POSITION_MAX), colour};
  g.used[static_cast<std::size_t>(index)] = true;
  call.SetError(0);
}

// GetGradMV index, out position, out packed; G_WORK1 = stops set.
void GetGradMV(Call& call) {
  const std::int32_t index = call.Int(0);
  const std::int32_t position = call.Resource(1);
  const std::int32_t colour = call.Resource(2);
  if (position < 0 || colour < 0) return;
  const auto& g = call.rt().drawing.gradient;
  call.SetWork(1, static_cast<std::int32_t>(std::count(g.used.begin(), g.used.end(), true)));
  if (index < 0 || index >= graphics::GRADIENT_STOPS_MAX || !g.used[static_cast<std::size_t>(index)]) {
    call.SetError(1);
    return;
  }
  call.WriteInt(position, g.stops[static_cast<std::size_t>(index)].position);
  call.WriteInt(colour, static_cast<std::int32_t>(graphics::ToPacked(g.stops[static_cast<std::size_t>(index)].color)));
  call.SetError(0);
}

// --- pixels

// A pixel of a bank inside the surface; a bank held as one colour answers
// without being written out.
std::optional<Color> PixelOf(Vram& v, std::int32_t bank_index, std::int32_t x, std::int32_t y) {
  if (x < 0 || y < 0 || x >= v.width || y >= v.height) return std::nullopt;
  if (const std::optional<Color> uniform = v.UniformColour(bank_index)) return uniform;
  const std::uint8_t* bank = v.Bank(bank_index);
  if (bank == nullptr) return std::nullopt;
  return graphics::ReadPixel(bank, x, y);
}

// GetPx x, y [, out packed, bank]: G_WORK1-3 red, green, blue, G_WORK4
// packed; G_ERROR 1 outside the surface.
void GetPx(Call& call) {
  const std::int32_t x = call.Int(0);
  const std::int32_t y = call.Int(1);
  const std::int32_t out = call.OptResource(2);
  const std::int32_t bank_index = call.OptInt(3, -1);
  Vram& v = V(call);
  const std::optional<Color> c = PixelOf(v, bank_index, x, y);
  if (!c) {
    call.SetError(1);
    return;
  }
  SetColourWork(call, *c);
  if (out >= 0) call.WriteInt(out, static_cast<std::int32_t>(graphics::ToPacked(*c)));
  call.SetError(0);
}

// SetPx x, y [, packed]: one pixel in the given or the drawing colour.
void SetPx(Call& call) {
  const int x = Coord(call, 0);
  const int y = Coord(call, 1);
  Vram& v = V(call);
  const Color c = call.Has(2) ? PackedArg(call, 2, 0) : v.DrawColor();
  Canvas canvas = Surface(call);
  canvas.Plot(x, y, Paint{c});
  call.SetError(canvas.Inside(x, y) ? 0 : 1);
  Touch(v, PixelRect{x, y, x, y});
}

// PrcssColSpec x, y: the pixel's colour becomes the drawing colour
// (G_WORK1-4 as GetPx).
void PrcssColSpec(Call& call) {
  const std::int32_t x = call.Int(0);
  const std::int32_t y = call.Int(1);
  Vram& v = V(call);
  const std::optional<Color> c = PixelOf(v, -1, x, y);
  if (!c) {
    call.SetError(1);
    return;
  }
  v.DrawColor() = *c;
  SetColourWork(call, v.DrawColor());
  call.SetError(0);
}

// --- lines and curves

// DrawLine x1, y1, x2, y2.
void DrawLine(Call& call) {
  const Point a = PointArg(call, 0);
  const Point b = PointArg(call, 2);
  Vram& v = V(call);
  Canvas canvas = Surface(call);
  graphics::DrawLine(canvas, a, b, v.line_width, Pen(v));
  const std::array<Point, 2> ends{a, b};
  Touch(v, graphics::BoundsOf(ends, v.line_width));
}

void Polyline(Call& call, const std::vector<Point>& points) {
  Vram& v = V(call);
  Canvas canvas = Surface(call);
  graphics::DrawPolyline(canvas, points, v.line_width, Pen(v));
  Touch(v, graphics::BoundsOf(points, v.line_width));
}

// DrawZigZag x1, y1, x2, y2, amplitude, pitch.
void DrawZigZag(Call& call) {
  const Point a = PointArg(call, 0);
  const Point b = PointArg(call, 2);
  const int amplitude = Coord(call, 4);
  const int pitch = Coord(call, 5);
  Polyline(call, graphics::ZigZagPoints(a, b, amplitude, pitch));
}

// DrawSin x, y, length, amplitude, period [, phase degrees].
void DrawSin(Call& call) {
  const Point p = PointArg(call, 0);
  const int length = Coord(call, 2);
  const double amplitude = call.Double(3);
  const double period = call.Double(4);
  const double phase = call.OptDouble(5, 0.0);
  if (!std::isfinite(amplitude) || !std::isfinite(period) || !std::isfinite(phase)) return;
  Polyline(call, graphics::HorizontalSine(p.x, p.y, length, std::clamp(amplitude, -1e6, 1e6), period, phase));
}

// DrawSinCurve x1, y1, x2, y2, amplitude, cycles [, phase degrees].
void DrawSinCurve(Call& call) {
  const Point a = PointArg(call, 0);
  const Point b = PointArg(call, 2);
  const double amplitude = call.Double(4);
  const double cycles = call.Double(5);
  const double phase = call.OptDouble(6, 0.0);
  if (!std::isfinite(amplitude) || !std::isfinite(cycles) || !std::isfinite(phase)) return;
  Polyline(call, graphics::SineAlong(a, b, std::clamp(amplitude, -1e6, 1e6), std::clamp(cycles, -1e5, 1e5), phase));
}

graphics::ArrowHead HeadArgs(Call& call, int n) {
  const graphics::ArrowHead fallback = graphics::DefaultArrowHead(V(call).line_width);
  return graphics::ArrowHead{graphics::ClampRadius(call.OptInt(n, fallback.length)),
                             graphics::ClampRadius(call.OptInt(n + 1, fallback.width))};
}

// DrawArrow x1, y1, x2, y2 [, head length, head width, both ends].
void DrawArrow(Call& call) {
  const Point a = PointArg(call, 0);
  const Point b = PointArg(call, 2);
  const graphics::ArrowHead head = HeadArgs(call, 4);
  const bool both = call.OptInt(6, 0) != 0;
  Vram& v = V(call);
  Canvas canvas = Surface(call);
  Touch(v, graphics::DrawArrow(canvas, a, b, head, both, v.line_width, Pen(v)));
}

// DrawCurveArrow x1, y1, x2, y2, bend [, head length, head width].
void DrawCurveArrow(Call& call) {
  const Point a = PointArg(call, 0);
  const Point b = PointArg(call, 2);
  const int bend = Coord(call, 4);
  const graphics::ArrowHead head = HeadArgs(call, 5);
  Vram& v = V(call);
  Canvas canvas = Surface(call);
  Touch(v, graphics::DrawCurveArrow(canvas, a, b, bend, head, v.line_width, Pen(v)));
}

// DrawLineBff x, y: adds a point and draws the segment from the previous
// one. G_ERROR 1 when the buffer is full.
void DrawLineBff(Call& call) {
  const Point p = PointArg(call, 0);
  auto& buffer = call.rt().drawing.line_buffer;
  if (buffer.size() >= graphics::LINE_BUFFER_MAX) {
    call.SetError(1);
    return;
  }
  const Point from = buffer.empty() ? p : buffer.back();
  buffer.push_back(p);
  Vram& v = V(call);
  Canvas canvas = Surface(call);
  graphics::DrawLine(canvas, from, p, v.line_width, Pen(v));
  const std::array<Point, 2> ends{from, p};
  Touch(v, graphics::BoundsOf(ends, v.line_width));
  call.SetError(0);
}

// PrmLineBff operation: 0 empties the buffer, 1 draws its points as an
// open line, 2 as a closed outline, 3 as a filled polygon; G_WORK1 = the
// number of points.
void PrmLineBff(Call& call) {
  const std::int32_t operation = call.Int(0);
  auto& buffer = call.rt().drawing.line_buffer;
  Vram& v = V(call);
  Canvas canvas = Surface(call);
  switch (operation) {
    case 0: buffer.clear(); break;
    case 1: graphics::DrawPolyline(canvas, buffer, v.line_width, Pen(v)); break;
    case 2: graphics::OutlinePolygon(canvas, buffer, v.line_width, Pen(v)); break;
    case 3: graphics::FillPolygon(canvas, buffer, Pen(v)); break;
    default: call.SetError(1); return;
  }
  if (operation != 0) Touch(v, graphics::BoundsOf(buffer, v.line_width));
  call.SetWork(1, static_cast<std::int32_t>(buffer.size()));
  call.SetError(0);
}

// --- rectangles and frames

// Rectangle x, y, width, height: filled, in the line mode.
void Rectangle(Call& call) {
  const PixelRect r = RectArg(call, 0);
  Canvas canvas = Surface(call);
  Touch(V(call), graphics::FillRect(canvas, r, ModePen(V(call))));
}

// RectCord x1, y1, x2, y2 [, fill]: the rectangle between two corners
// (both included), as a frame or filled.
void RectCord(Call& call) {
  const Point a = PointArg(call, 0);
  const Point b = PointArg(call, 2);
  const bool fill = call.OptInt(4, 0) != 0;
  const PixelRect r{std::min(a.x, b.x), std::min(a.y, b.y), std::max(a.x, b.x), std::max(a.y, b.y)};
  Vram& v = V(call);
  Canvas canvas = Surface(call);
  Touch(v, fill ? graphics::FillRect(canvas, r, ModePen(v))
                : graphics::DrawFrame(canvas, r, v.line_width, ModePen(v)));
}

// DrawFrame x, y, width, height.
void DrawFrame(Call& call) {
  const PixelRect r = RectArg(call, 0);
  Vram& v = V(call);
  Canvas canvas = Surface(call);
  Touch(v, graphics::DrawFrame(canvas, r, v.line_width, ModePen(v)));
}

// DrawFrameRnd x, y, width, height [, corner radius (8)].
void DrawFrameRnd(Call& call) {
  const PixelRect r = RectArg(call, 0);
  const int radius = graphics::ClampRadius(call.OptInt(4, 8));
  Vram& v = V(call);
  Canvas canvas = Surface(call);
  Touch(v, graphics::DrawRoundFrame(canvas, r, radius, v.line_width, ModePen(v)));
}

// --- circles, arcs, ellipses, polygons

// DrawRound x, y, radius: a filled disc.
void DrawRound(Call& call) {
  const Point c = PointArg(call, 0);
  const int r = RadiusArg(call, 2);
  Vram& v = V(call);
  Canvas canvas = Surface(call);
  graphics::FillEllipse(canvas, c, r, r, Pen(v));
  Touch(v, PixelRect{c.x - r, c.y - r, c.x + r, c.y + r});
}

// DrawCircle x, y, radius: the outline in the line width.
void DrawCircle(Call& call) {
  const Point c = PointArg(call, 0);
  const int r = RadiusArg(call, 2);
  Vram& v = V(call);
  Canvas canvas = Surface(call);
  graphics::DrawEllipse(canvas, c, r, r, v.line_width, Pen(v));
  const int reach = r + v.line_width;
  Touch(v, PixelRect{c.x - reach, c.y - reach, c.x + reach, c.y + reach});
}

// DrawArc x, y, radius, start degrees, end degrees [, pie].
void DrawArc(Call& call) {
  const Point c = PointArg(call, 0);
  const int r = RadiusArg(call, 2);
  const double start = call.Double(3);
  const double end = call.Double(4);
  const bool pie = call.OptInt(5, 0) != 0;
  Vram& v = V(call);
  Canvas canvas = Surface(call);
  graphics::DrawArc(canvas, c, r, start, end, v.line_width, pie, Pen(v));
  const int reach = r + v.line_width;
  Touch(v, PixelRect{c.x - reach, c.y - reach, c.x + reach, c.y + reach});
}

// DrawEllipse x, y, x radius, y radius [, fill].
void DrawEllipse(Call& call) {
  const Point c = PointArg(call, 0);
  const int a = RadiusArg(call, 2);
  const int b = RadiusArg(call, 3);
  const bool fill = call.OptInt(4, 0) != 0;
  Vram& v = V(call);
  Canvas canvas = Surface(call);
  if (fill) {
    graphics::FillEllipse(canvas, c, a, b, Pen(v));
  } else {
    graphics::DrawEllipse(canvas, c, a, b, v.line_width, Pen(v));
  }
  Touch(v, PixelRect{c.x - a - v.line_width, c.y - b - v.line_width, c.x + a + v.line_width, c.y + b + v.line_width});
}

// Triangle x1, y1, x2, y2, x3, y3 [, fill (1)].
void Triangle(Call& call) {
  const std::array<Point, 3> pts{PointArg(call, 0), PointArg(call, 2), PointArg(call, 4)};
  const bool fill = call.OptInt(6, 1) != 0;
  Vram& v = V(call);
  Canvas canvas = Surface(call);
  if (fill) {
    graphics::FillPolygon(canvas, pts, Pen(v));
  } else {
    graphics::OutlinePolygon(canvas, pts, v.line_width, Pen(v));
  }
  Touch(v, graphics::BoundsOf(pts, v.line_width));
}

// DrawObj kind, x, y, width, height [, fill]: a pictogram in the box.
void DrawObj(Call& call) {
  const std::int32_t kind = call.Int(0);
  const PixelRect box = RectArg(call, 1);
  const bool fill = call.OptInt(5, 0) != 0;
  Vram& v = V(call);
  Canvas canvas = Surface(call);
  const bool known = graphics::DrawObject(canvas, kind, box, fill, v.line_width, Pen(v));
  if (known) Touch(v, PixelRect{box.left - v.line_width, box.top - v.line_width, box.right + v.line_width, box.bottom + v.line_width});
  call.SetError(known ? 0 : 1);
}

// DrawForm x, y, points text [, fill (0), scale percent (100)]: fill 0 a
// closed outline, 1 filled, 2 an open line. G_ERROR 1 for a bad list.
void DrawForm(Call& call) {
  const int x = Coord(call, 0);
  const int y = Coord(call, 1);
  std::string& text = call.Large(0);
  call.String(2, text);
  const std::int32_t fill = call.OptInt(3, 0);
  const std::int32_t percent = std::clamp(call.OptInt(4, 100), -100000, 100000);
  std::vector<Point> points;
  if (!graphics::ParsePointList(text, x, y, percent, graphics::LINE_BUFFER_MAX, points)) {
    call.SetError(1);
    return;
  }
  Vram& v = V(call);
  Canvas canvas = Surface(call);
  if (fill == 1) {
    graphics::FillPolygon(canvas, points, Pen(v));
  } else if (fill == 2) {
    graphics::DrawPolyline(canvas, points, v.line_width, Pen(v));
  } else {
    graphics::OutlinePolygon(canvas, points, v.line_width, Pen(v));
  }
  Touch(v, graphics::BoundsOf(points, v.line_width));
  call.SetError(0);
}

// FFill x, y [, border packed]: flood fill in the drawing colour over the
// seed's colour, or up to the border colour. G_ERROR 1 outside the surface.
void FFill(Call& call) {
  const Point seed = PointArg(call, 0);
  const bool bordered = call.Has(2);
  const Color border = bordered ? PackedArg(call, 2, 0) : Color{};
  Vram& v = V(call);
  Canvas canvas = Surface(call);
  bool ok = false;
  Touch(v, graphics::FloodFill(canvas, seed, Pen(v), bordered ? &border : nullptr, &ok));
  call.SetError(ok ? 0 : 1);
}

// --- gradients

// VGrad x, y, width, height [, horizontal]: from colour slot 0 to slot 1
// (or along the SetGradMV stops).
void VGrad(Call& call) {
  const PixelRect r = RectArg(call, 0);
  const bool horizontal = call.OptInt(4, 0) != 0;
  Vram& v = V(call);
  Canvas canvas = Surface(call);
  Touch(v, graphics::FillGradient(canvas, r, horizontal, call.rt().drawing.gradient, v.colour_slots[0], v.colour_slots[1]));
}

// DrawGradWave x, y, width, height, period [, vertical, phase degrees].
void DrawGradWave(Call& call) {
  const PixelRect r = RectArg(call, 0);
  const int period = Coord(call, 4);
  const bool vertical = call.OptInt(5, 0) != 0;
  const double phase = call.OptDouble(6, 0.0);
  if (!std::isfinite(phase)) return;
  Vram& v = V(call);
  Canvas canvas = Surface(call);
  Touch(v, graphics::FillGradientWave(canvas, r, period, vertical, phase, call.rt().drawing.gradient,
                                      v.colour_slots[0], v.colour_slots[1]));
}

// MkColSpec x, y, width, height: a colour spectrum to pick from.
void MkColSpec(Call& call) {
  const PixelRect r = RectArg(call, 0);
  Canvas canvas = Surface(call);
  graphics::ColourSpectrum(canvas, r);
  Touch(V(call), r);
}

// --- picture operations

// Soft x, y, width, height [, times (1)]: edges softened.
void Soft(Call& call) {
  const PixelRect r = RectArg(call, 0);
  const int times = std::clamp(call.OptInt(4, 1), 1, SOFT_REPEAT_MAX);
  Canvas canvas = Surface(call);
  for (int i = 0; i < times; ++i) graphics::SoftenEdges(canvas, r);
  Touch(V(call), r);
}

// AreaSoft x, y, width, height [, radius (2)]: box blur.
void AreaSoft(Call& call) {
  const PixelRect r = RectArg(call, 0);
  const int radius = std::clamp(call.OptInt(4, 2), 1, graphics::BLUR_RADIUS_MAX);
  Canvas canvas = Surface(call);
  graphics::BoxBlur(canvas, r, radius);
  Touch(V(call), r);
}

// AddRectangle x, y, width, height [, subtract]: the drawing colour added.
void AddRectangle(Call& call) {
  const PixelRect r = RectArg(call, 0);
  const bool subtract = call.OptInt(4, 0) != 0;
  Canvas canvas = Surface(call);
  graphics::AddColour(canvas, r, V(call).DrawColor(), subtract);
  Touch(V(call), r);
}

// GetAvrg x, y, width, height [, bank]: average colour into G_WORK1-4.
void GetAvrg(Call& call) {
  const PixelRect r = RectArg(call, 0);
  const std::int32_t bank_index = call.OptInt(4, -1);
  const std::uint8_t* bank = V(call).Bank(bank_index);
  Color c;
  if (bank == nullptr || !graphics::AverageColour(bank, r, &c)) {
    call.SetError(1);
    return;
  }
  SetColourWork(call, c);
  call.SetError(0);
}

void BevelApi(Call& call, int default_depth, int default_strength, bool graded) {
  const PixelRect r = RectArg(call, 0);
  const int depth = std::clamp(call.OptInt(4, default_depth), 1, BEVEL_DEPTH_MAX);
  const bool sunken = call.OptInt(5, 0) != 0;
  const int strength = std::clamp(call.OptInt(6, default_strength), 0, 255);
  Canvas canvas = Surface(call);
  graphics::Bevel(canvas, r, depth, strength, sunken, graded);
  Touch(V(call), r);
}

// Shadow3D x, y, width, height [, depth (2), sunken, strength (80)].
void Shadow3D(Call& call) { BevelApi(call, 2, 80, false); }
// Shadow3D2 x, y, width, height [, depth (6), sunken, strength (96)]: fading.
void Shadow3D2(Call& call) { BevelApi(call, 6, 96, true); }

// MkShadow x, y, width, height [, dx (4), dy (4), background packed (white)].
void MkShadow(Call& call) {
  const PixelRect r = RectArg(call, 0);
  const int dx = OptCoord(call, 4, 4);
  const int dy = OptCoord(call, 5, 4);
  const Color background = PackedArg(call, 6, 0xFFFFFF);
  Canvas canvas = Surface(call);
  graphics::DropShadow(canvas, r, dx, dy, background);
  Touch(V(call), r);
}

// LiftRectangle x, y, width, height [, depth (4)].
void LiftRectangle(Call& call) {
  const PixelRect r = RectArg(call, 0);
  const int depth = std::clamp(call.OptInt(4, 4), 1, BEVEL_DEPTH_MAX);
  Canvas canvas = Surface(call);
  Touch(V(call), graphics::Lift(canvas, r, depth));
}

// ShapeEdge x, y, width, height, background packed [, thickness (line width)].
void ShapeEdge(Call& call) {
  const PixelRect r = RectArg(call, 0);
  const Color background = graphics::FromPacked(static_cast<std::uint32_t>(call.Int(4)));
  Vram& v = V(call);
  const int thickness = graphics::ClampWidth(call.OptInt(5, v.line_width));
  Canvas canvas = Surface(call);
  graphics::OutlineShapes(canvas, r, background, thickness, v.DrawColor());
  Touch(v, r);
}

// GetOutline x, y, width, height [, threshold (32)]: edges in the drawing
// colour, the rest in colour slot 1; G_WORK1 = edge pixels.
void GetOutline(Call& call) {
  const PixelRect r = RectArg(call, 0);
  const int threshold = std::clamp(call.OptInt(4, 32), 0, 255);
  Vram& v = V(call);
  Canvas canvas = Surface(call);
  const std::int64_t edges = graphics::DetectEdges(canvas, r, threshold, v.DrawColor(), v.colour_slots[1]);
  call.SetWork(1, static_cast<std::int32_t>(std::min<std::int64_t>(edges, INT32_MAX)));
  Touch(v, r);
}

// ColorRotate x, y, width, height [, degrees (120)]: hue turned.
void ColorRotate(Call& call) {
  const PixelRect r = RectArg(call, 0);
  const std::int32_t degrees = call.OptInt(4, 120);
  Canvas canvas = Surface(call);
  graphics::RotateHue(canvas, r, degrees);
  Touch(V(call), r);
}

// VRamOverlay bank, x, y, width, height [, transparent packed (white), to x, to y].
void VRamOverlay(Call& call) {
  const std::int32_t bank = call.Int(0);
  const PixelRect from = RectArg(call, 1);
  const Color transparent = PackedArg(call, 5, 0xFFFFFF);
  const Point to{OptCoord(call, 6, from.left), OptCoord(call, 7, from.top)};
  const std::uint8_t* source = SourceBank(call, bank);
  if (source == nullptr) return;
  Canvas canvas = Surface(call);
  graphics::Overlay(canvas, source, from, to, &transparent);
  Touch(V(call), PixelRect{to.x, to.y, to.x + from.Width() - 1, to.y + from.Height() - 1});
  call.SetError(0);
}

// ImageNotAnd bank, x, y, width, height [, to x, to y].
void ImageNotAnd(Call& call) {
  const std::int32_t bank = call.Int(0);
  const PixelRect from = RectArg(call, 1);
  const Point to{OptCoord(call, 5, from.left), OptCoord(call, 6, from.top)};
  const std::uint8_t* source = SourceBank(call, bank);
  if (source == nullptr) return;
  Canvas canvas = Surface(call);
  graphics::NotAnd(canvas, source, from, to);
  Touch(V(call), PixelRect{to.x, to.y, to.x + from.Width() - 1, to.y + from.Height() - 1});
  call.SetError(0);
}

// ProjectCvt bank, x, y, width, height, then the four corners of the
// target: top-left, top-right, bottom-right, bottom-left.
void ProjectCvt(Call& call) {
  const std::int32_t bank = call.Int(0);
  const PixelRect from = RectArg(call, 1);
  const std::array<Point, 4> quad{PointArg(call, 5), PointArg(call, 7), PointArg(call, 9), PointArg(call, 11)};
  const std::uint8_t* source = SourceBank(call, bank);
  if (source == nullptr) return;
  Canvas canvas = Surface(call);
  const bool ok = graphics::ProjectQuad(canvas, source, from, quad);
  Touch(V(call), graphics::BoundsOf(quad, 0));
  call.SetError(ok ? 0 : 1);
}

// SphereMap bank, x, y, width, height, centre x, centre y, radius.
void SphereMap(Call& call) {
  const std::int32_t bank = call.Int(0);
  const PixelRect from = RectArg(call, 1);
  const Point centre = PointArg(call, 5);
  const int radius = RadiusArg(call, 7);
  const std::uint8_t* source = SourceBank(call, bank);
  if (source == nullptr) return;
  Canvas canvas = Surface(call);
  graphics::MapOnSphere(canvas, source, from, centre, radius);
  Touch(V(call), PixelRect{centre.x - radius, centre.y - radius, centre.x + radius, centre.y + radius});
  call.SetError(0);
}

// SetLooseMSK x, y, width, height: the rectangle the defocus leaves sharp;
// an empty one removes it.
void SetLooseMSK(Call& call) { call.rt().drawing.sharp_area = RectArg(call, 0); }

// DoLooseFocus x, y, width, height [, radius (3)]: defocus except the sharp
// rectangle.
void DoLooseFocus(Call& call) {
  const PixelRect r = RectArg(call, 0);
  const int radius = std::clamp(call.OptInt(4, 3), 1, graphics::BLUR_RADIUS_MAX);
  const PixelRect sharp = call.rt().drawing.sharp_area;
  Canvas canvas = Surface(call);
  graphics::BoxBlur(canvas, r, radius, [&](int y) {
    if (sharp.Empty() || y < sharp.top || y > sharp.bottom) return graphics::SharpSpan{};
    return graphics::SharpSpan{sharp.left, sharp.right};
  });
  Touch(V(call), r);
}

// LooseFocusSp x, y, spot radius [, radius (3)]: defocus of the whole
// drawing area except a round spot.
void LooseFocusSp(Call& call) {
  const Point c = PointArg(call, 0);
  const int spot = RadiusArg(call, 2);
  const int radius = std::clamp(call.OptInt(3, 3), 1, graphics::BLUR_RADIUS_MAX);
  Vram& v = V(call);
  Canvas canvas = Surface(call);
  graphics::BoxBlur(canvas, canvas.ClipRect(), radius, [&](int y) { return graphics::SpotSpan(c, spot, y); });
  v.MarkAllDirty();
}

// --- text

// DrawText x, y, text [, height (16), width (0)]: G_WORK1, G_WORK2 = size.
void DrawText(Call& call) {
  const int x = Coord(call, 0);
  const int y = Coord(call, 1);
  std::string& text = call.Large(0);
  call.String(2, text);
  const int height = std::clamp(call.OptInt(3, graphics::TEXT_HEIGHT_DEFAULT), 0, graphics::TEXT_HEIGHT_MAX);
  const int width = std::clamp(call.OptInt(4, 0), 0, graphics::TEXT_WIDTH_MAX);
  Vram& v = V(call);
  Canvas canvas = Surface(call);
  const graphics::TextSize size =
      v.Text().Draw(canvas, x, y, v.DrawColor(), graphics::FontFor(v, text, height, width), text);
  const int slack = size.height / 4 + 1;
  Touch(v, PixelRect{x - slack, y - slack, x + size.width + slack, y + size.height + slack});
  call.SetWork(1, size.width);
  call.SetWork(2, size.height);
}

// DrawNumText x, y, text [, scale (1)]: G_ERROR 1 when not everything fitted.
void DrawNumText(Call& call) {
  const int x = Coord(call, 0);
  const int y = Coord(call, 1);
  std::string& text = call.Large(0);
  call.String(2, text);
  const std::int32_t scale = call.OptInt(3, 1);
  Vram& v = V(call);
  Canvas canvas = Surface(call);
  const graphics::NumTextResult r =
      graphics::DrawNumText(canvas, v.width, v.height, x, y, text, scale, v.DrawColor());
  Touch(v, r.area);
  call.SetError(r.complete ? 0 : 1);
}

// TruckText x, y, text [, scale (1)]: the dot-matrix font.
void TruckText(Call& call) {
  const int x = Coord(call, 0);
  const int y = Coord(call, 1);
  std::string& text = call.Large(0);
  call.String(2, text);
  const std::int32_t scale = call.OptInt(3, 1);
  Vram& v = V(call);
  Canvas canvas = Surface(call);
  Touch(v, graphics::DrawDotText(canvas, x, y, text, scale, v.DrawColor()));
}

// GetTextSz character height, character width, text, out width, out height.
void GetTextSz(Call& call) {
  const int height = std::clamp(call.Int(0), 0, graphics::TEXT_HEIGHT_MAX);
  const int width = std::clamp(call.Int(1), 0, graphics::TEXT_WIDTH_MAX);
  std::string& text = call.Large(0);
  call.String(2, text);
  const std::int32_t out_width = call.Resource(3);
  const std::int32_t out_height = call.Resource(4);
  if (out_width < 0 || out_height < 0) return;
  Vram& v = V(call);
  const graphics::TextSize size = v.Text().Measure(graphics::FontFor(v, text, height, width), text);
  call.WriteInt(out_width, size.width);
  call.WriteInt(out_height, size.height);
}

// DrawTextAlign x, y, box width, box height, character width, character
// height, text, alignment.
void DrawTextAlign(Call& call) {
  const int x = Coord(call, 0);
  const int y = Coord(call, 1);
  const int box_width = Coord(call, 2);
  const int box_height = Coord(call, 3);
  const int char_width = std::clamp(call.Int(4), 0, graphics::TEXT_WIDTH_MAX);
  const int char_height = std::clamp(call.Int(5), 0, graphics::TEXT_HEIGHT_MAX);
  std::string& text = call.Large(0);
  call.String(6, text);
  const std::int32_t alignment = call.Int(7);
  Vram& v = V(call);
  const graphics::FontSpec font = graphics::FontFor(v, text, char_height, char_width);
  const graphics::TextSize size = v.Text().Measure(font, text);
  const PixelRect box{x, y, x + box_width - 1, y + box_height - 1};
  const Point at = graphics::AlignText(box, size, alignment);
  Canvas canvas = Surface(call);
  v.Text().Draw(canvas, at.x, at.y, v.DrawColor(), font, text);
  const int slack = size.height / 4 + 1;
  Touch(v, PixelRect{at.x - slack, at.y - slack, at.x + size.width + slack, at.y + size.height + slack});
}

void SetFontFor(Call& call, graphics::FontChoice& choice) {
  if (call.ArgCount() < 2 || !call.Has(1)) {
    call.SetError(1);
    return;
  }
  std::string& face = call.Small(0);
  call.String(0, face);
  const std::int32_t weight = call.Int(1);
  choice.face.assign(face.substr(0, graphics::FONT_FACE_BYTES_MAX));
  choice.weight = weight;
  call.SetError(0);
}

// SetFont face, weight: the face for texts with Japanese characters.
void SetFont(Call& call) { SetFontFor(call, V(call).japanese_font); }
// SetFontAscii face, weight: the face for pure ASCII texts.
void SetFontAscii(Call& call) { SetFontFor(call, V(call).ascii_font); }

// EnumFont [all]: 0 lists the faces for Japanese text, anything else every
// face; one per line (CR LF) into G_TXT, the Windows names the program
// maps first. G_WORK1 = the number listed.
void EnumFont(Call& call) {
  const bool japanese_only = call.OptInt(0, 0) == 0;
  std::vector<std::string> names;
  if (japanese_only) {
    names = {std::string(msg::Text(msg::Id::kFontMincho)), std::string(msg::Text(msg::Id::kFontGothic))};
  } else {
    names = {std::string(msg::Text(msg::Id::kFontMincho)), std::string(msg::Text(msg::Id::kFontGothic)),
             "Arial", "Times New Roman", "Courier New"};
  }
  for (const std::string& family : V(call).Text().Families(japanese_only)) {
    std::optional<std::string> sjis = text::Utf8ToCp932Strict(family);
    if (sjis && std::find(names.begin(), names.end(), *sjis) == names.end()) names.push_back(*sjis);
  }
  std::string& list = call.Large(1);
  std::int32_t count = 0;
  for (const std::string& name : names) {
    if (list.size() + name.size() + 2 > TXT_CAPACITY - 1) break;
    list += name;
    list += "\r\n";
    ++count;
  }
  call.SetTxt(list);
  call.SetWork(1, count);
  call.SetError(0);
}

constexpr Registration kVramApis[] = {
    {Id("CancelPaint"), CancelPaint},
    {Id("ClrUdArea"), ClrUdArea},
    {Id("SetUdArea"), SetUdArea},
    {Id("SetVram"), SetVram},
    {Id("ExtVram"), ExtVram},
    {Id("RectCord"), RectCord},
    {Id("Rectangle"), Rectangle},
    {Id("DrawFrame"), DrawFrame},
    {Id("DrawFrameRnd"), DrawFrameRnd},
    {Id("DrawZigZag"), DrawZigZag},
    {Id("DrawSin"), DrawSin},
    {Id("DrawSinCurve"), DrawSinCurve},
    {Id("DrawGradWave"), DrawGradWave},
    {Id("DrawArrow"), DrawArrow},
    {Id("DrawCurveArrow"), DrawCurveArrow},
    {Id("DrawObj"), DrawObj},
    {Id("Triangle"), Triangle},
    {Id("Soft"), Soft},
    {Id("AreaSoft"), AreaSoft},
    {Id("AddRectangle"), AddRectangle},
    {Id("GetAvrg"), GetAvrg},
    {Id("Shadow3D"), Shadow3D},
    {Id("Shadow3D2"), Shadow3D2},
    {Id("ShapeEdge"), ShapeEdge},
    {Id("GetOutline"), GetOutline},
    {Id("ProjectCvt"), ProjectCvt},
    {Id("SphereMap"), SphereMap},
    {Id("LiftRectangle"), LiftRectangle},
    {Id("VGrad"), VGrad},
    {Id("FFill"), FFill},
    {Id("VRamBack"), VRamBack},
    {Id("VRamRestore"), VRamRestore},
    {Id("VRamMix"), VRamMix},
    {Id("VRamOverlay"), VRamOverlay},
    {Id("ImageNotAnd"), ImageNotAnd},
    {Id("MkColSpec"), MkColSpec},
    {Id("PrcssColSpec"), PrcssColSpec},
    {Id("ColPal2CVB"), ColPal2CVB},
    {Id("ColPal2RGB"), ColPal2RGB},
    {Id("SetLineVol"), SetLineVol},
    {Id("DrawLine"), DrawLine},
    {Id("DrawLineBff"), DrawLineBff},
    {Id("PrmLineBff"), PrmLineBff},
    {Id("DrawRound"), DrawRound},
    {Id("DrawCircle"), DrawCircle},
    {Id("DrawArc"), DrawArc},
    {Id("DrawEllipse"), DrawEllipse},
    {Id("SetColor"), SetColor},
    {Id("SetColorMlt"), SetColorMlt},
    {Id("GetColorMlt"), GetColorMlt},
    {Id("VRamClear"), VRamClear},
    {Id("ColorRotate"), ColorRotate},
    {Id("DrawText"), DrawText},
    {Id("DrawNumText"), DrawNumText},
    {Id("TruckText"), TruckText},
    {Id("GetTextSz"), GetTextSz},
    {Id("DrawTextAlign"), DrawTextAlign},
    {Id("SetFont"), SetFont},
    {Id("SetFontAscii"), SetFontAscii},
    {Id("EnumFont"), EnumFont},
    {Id("MkShadow"), MkShadow},
    {Id("DrawForm"), DrawForm},
    {Id("DoDraw"), DoDraw},
    {Id("SetLooseMSK"), SetLooseMSK},
    {Id("DoLooseFocus"), DoLooseFocus},
    {Id("LooseFocusSp"), LooseFocusSp},
    {Id("GetPx"), GetPx},
    {Id("SetPx"), SetPx},
    {Id("SetGradMV"), SetGradMV},
    {Id("GetGradMV"), GetGradMV},
    {Id("ScreenShift"), ScreenShift},
};

}  // namespace

void RegisterVramApis(Registry& registry) { registry.AddAll(kVramApis); }

}  // namespace vx::api
