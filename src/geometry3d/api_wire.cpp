// The 3D view and wireframe family: one perspective view onto the current
// drawing bank, single 3D segments, and a wireframe model of points and
// coloured lines (set one by one or read from wire files) drawn in one call.
//
// Segments are drawn one pixel wide in the flat wire colour. A segment with
// one end behind the eye shows as a ray from its visible end toward the
// screen's edge; one with both ends hidden draws nothing.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "api/api_ids.hpp"
#include "api/call.hpp"
#include "engine/runtime.hpp"
#include "engine/sample_banks.hpp"
#include "geometry3d/geometry3d.hpp"
#include "graphics/canvas.hpp"
#include "graphics/drawing.hpp"
#include "graphics/raster.hpp"
#include "graphics/text.hpp"
#include "platform/files.hpp"

namespace vx::api {
namespace {

using geometry3d::Vec3;
using geometry3d::View;
using graphics::Point;

constexpr std::size_t kWireFileBytesMax = 64u * 1024 * 1024;

geometry3d::Geometry3d& G(Call& call) { return geometry3d::State(call.rt()); }

Vec3 VecArgs(Call& call, int n) { return {call.Double(n), call.Double(n + 1), call.Double(n + 2)}; }

// View pixels to surface pixels, rounded to the nearest.
Point SurfacePoint(const View& view, geometry3d::Pixel2 p) {
  const geometry3d::ScreenRect& s = view.screen();
  return {static_cast<int>(std::lround(s.left + p.x)), static_cast<int>(std::lround(s.bottom - p.y))};
}

enum class Drawn { kNothing, kSegment };

// Draws the visible part of a-b in the wire colour and marks it for
// repainting; kNothing when neither end can be projected.
Drawn DrawSegment(Call& call, Vec3 a, Vec3 b) {
  geometry3d::Geometry3d& g = G(call);
  const std::optional<geometry3d::Segment2> seen = g.view.ProjectSegment(a, b);
  if (!seen) {
    const bool any = g.view.Project(a).Projectable() || g.view.Project(b).Projectable();
    return any ? Drawn::kSegment : Drawn::kNothing;
  }
  const std::array<Point, 2> ends{SurfacePoint(g.view, seen->a), SurfacePoint(g.view, seen->b)};
  graphics::Vram& vram = call.rt().vram;
  graphics::Canvas canvas = graphics::Canvas::Current(vram);
  const graphics::Paint paint{graphics::FromComponents(g.wire_colour.r, g.wire_colour.g, g.wire_colour.b),
                              graphics::LINE_MODE_SOLID};
  graphics::DrawLine(canvas, ends[0], ends[1], 1, paint);
  const graphics::PixelRect touched = graphics::BoundsOf(ends, 1);
  if (!touched.Empty()) vram.MarkDirty(touched);
  return Drawn::kSegment;
}

// --- the view

// Set3DScrn left, top, right, bottom (surface coordinates, y downwards).
void Set3DScrn(Call& call) {
  geometry3d::ScreenRect r;
  r.left = call.Int(0);
  r.top = call.Int(1);
  r.right = call.Int(2);
  r.bottom = call.Int(3);
  call.SetError(G(call).view.SetScreen(r) ? 0 : 1);
}

// EyeSet3D eye x, y, z, vector x, y, z, zoom?: a zoom outside 5 to 1200
// keeps the old one.
void EyeSet3D(Call& call) {
  const Vec3 eye = VecArgs(call, 0);
  const Vec3 vector = VecArgs(call, 3);
  const double zoom = call.OptDouble(6, 0);
  call.SetError(G(call).view.SetEye(eye, vector, zoom) ? 0 : 1);
}

// EyeGet3D seven variables: eye x, y, z, vector x, y, z and, when the
// seventh is given, the zoom.
void EyeGet3D(Call& call) {
  std::array<std::int32_t, 6> out{};
  for (std::size_t k = 0; k < out.size(); ++k) {
    out[k] = call.Resource(static_cast<int>(k));
    if (out[k] < 0) return;
  }
  const std::int32_t zoom_out = call.OptResource(6);
  const View& view = G(call).view;
  for (int k = 0; k < 3; ++k) {
    call.WriteDouble(out[static_cast<std::size_t>(k)], view.eye()[k]);
    call.WriteDouble(out[static_cast<std::size_t>(k + 3)], view.vector()[k]);
  }
  if (zoom_out >= 0) call.WriteDouble(zoom_out, view.zoom());
  call.SetError(0);
}

// EyeMove yaw, pitch (degrees), scale?: success leaves G_ERROR alone; a
// move that would leave no usable viewing vector is refused (G_ERROR 1).
void EyeMove(Call& call) {
  const double yaw = call.Double(0);
  const double pitch = call.Double(1);
  std::optional<double> scale;
  if (call.Has(2)) scale = call.Double(2);
  if (!G(call).view.Move(yaw, pitch, scale)) call.SetError(1);
}

// SetEyeCtr x, y: where the centre of view falls, from the rectangle's
// top-left corner.
void SetEyeCtr(Call& call) {
  const std::int32_t x = call.Int(0);
  const std::int32_t y = call.Int(1);
  call.SetError(G(call).view.SetCentre(x, y) ? 0 : 1);
}

// SetWire3DCol r, g, b: each 0 to 255 after truncation, or nothing changes.
void SetWire3DCol(Call& call) {
  std::array<double, 3> c{call.Double(0), call.Double(1), call.Double(2)};
  for (double& v : c) {
    v = std::trunc(v);
    if (!(v >= 0 && v <= 255)) return call.SetError(1);
  }
  G(call).wire_colour = {static_cast<std::uint8_t>(c[0]), static_cast<std::uint8_t>(c[1]),
                         static_cast<std::uint8_t>(c[2])};
  call.SetError(0);
}

// DrawWire3D x1, y1, z1, x2, y2, z2: one segment, shown at once.
void DrawWire3D(Call& call) {
  const Vec3 a = VecArgs(call, 0);
  const Vec3 b = VecArgs(call, 3);
  const Drawn drawn = DrawSegment(call, a, b);
  graphics::PaintNow(call.rt().vram, call.rt().display);
  call.SetError(drawn == Drawn::kNothing ? 1 : 0);
}

// Prj2D x, y, z, variable x, variable y: the surface pixel of a point, when
// it projects inside the screen rectangle.
void Prj2D(Call& call) {
  const Vec3 q = VecArgs(call, 0);
  const std::int32_t out_x = call.Resource(3);
  const std::int32_t out_y = call.Resource(4);
  if (out_x < 0 || out_y < 0) return;
  const View& view = G(call).view;
  const geometry3d::Projection p = view.Project(q);
  if (!p.Projectable()) return call.SetError(1);
  const double x = std::round(p.at.x);
  const double y = std::round(p.at.y);
  const geometry3d::ScreenRect& s = view.screen();
  if (!(x >= 0 && x <= s.Width() && y >= 0 && y <= s.Height())) return call.SetError(1);
  call.WriteInt(out_x, s.left + static_cast<std::int32_t>(x));
  call.WriteInt(out_y, s.bottom - static_cast<std::int32_t>(y));
  call.SetError(0);
}

// --- the wireframe model

// Set3DPoint index, x, y, z.
void Set3DPoint(Call& call) {
  const std::int32_t index = call.Int(0);
  const Vec3 at = VecArgs(call, 1);
  call.SetError(G(call).wire.SetPoint(index, at) ? 0 : 1);
}

// Set3DLine from, to, r, g, b: appended to the line table (colours clamped
// to 0 to 255).
void Set3DLine(Call& call) {
  const std::int32_t from = call.Int(0);
  const std::int32_t to = call.Int(1);
  const std::int32_t r = call.Int(2);
  const std::int32_t g = call.Int(3);
  const std::int32_t b = call.Int(4);
  call.SetError(G(call).wire.AddLine(from, to, r, g, b) ? 0 : 1);
}

// Clear3DData: no points, no lines; the base and the offset stay.
void Clear3DData(Call& call) {
  G(call).wire.Clear();
  call.SetError(0);
}

// Set3DPLOff x, y, z: added to the coordinates of points read from files.
void Set3DPLOff(Call& call) {
  const std::int32_t x = call.Int(0);
  const std::int32_t y = call.Int(1);
  const std::int32_t z = call.Int(2);
  G(call).wire.SetOffset(x, y, z);
}

// Load3DData file, reset: reads a wire file. G_ERROR is 0 when the whole
// file was read, 1 when it could not be read (missing or over 64 MB) or a
// point index above the table or a full line table stopped it.
void Load3DData(Call& call) {
  std::string& name = call.Small(0);
  if (!call.String(0, name)) return;
  const std::int32_t reset = call.Int(1);
  geometry3d::WireModel& wire = G(call).wire;
  if (reset != 0) wire.Reset();
  const std::optional<std::string> bytes = files::ReadAll(name, kWireFileBytesMax + 1);
  if (!bytes || bytes->size() > kWireFileBytesMax) return call.SetError(1);
  call.SetError(wire.Load(*bytes) == geometry3d::LoadResult::kComplete ? 0 : 1);
}

// DrawAll3DLines: every line whose two points are defined, each in its own
// colour (which stays the wire colour afterwards); repainted later.
void DrawAll3DLines(Call& call) {
  geometry3d::Geometry3d& g = G(call);
  for (const geometry3d::WireLine& line : g.wire.Lines()) {
    g.wire_colour = {line.r, line.g, line.b};
    const geometry3d::WirePoint* from = g.wire.Point(line.from);
    const geometry3d::WirePoint* to = g.wire.Point(line.to);
    if (from != nullptr && to != nullptr && from->defined && to->defined) {
      DrawSegment(call, from->at, to->at);
    }
  }
}

// Load3DDataCol file, reset, r, g, b: Load3DData with every line in the
// given colour (clamped to 0 to 255); L records need only their two point
// numbers.
void Load3DDataCol(Call& call) {
  std::string& name = call.Small(0);
  if (!call.String(0, name)) return;
  const std::int32_t reset = call.Int(1);
  auto channel = [](std::int32_t v) { return static_cast<std::uint8_t>(std::clamp(v, 0, 255)); };
  geometry3d::WireLine colour;
  colour.r = channel(call.Int(2));
  colour.g = channel(call.Int(3));
  colour.b = channel(call.Int(4));
  geometry3d::WireModel& wire = G(call).wire;
  if (reset != 0) wire.Reset();
  const std::optional<std::string> bytes = files::ReadAll(name, kWireFileBytesMax + 1);
  if (!bytes || bytes->size() > kWireFileBytesMax) return call.SetError(1);
  call.SetError(wire.Load(*bytes, colour) == geometry3d::LoadResult::kComplete ? 0 : 1);
}

// The surface pixel of a point when it projects inside the screen
// rectangle.
std::optional<Point> OnScreen(const View& view, Vec3 q) {
  const geometry3d::Projection p = view.Project(q);
  if (!p.Projectable()) return std::nullopt;
  const double x = std::round(p.at.x);
  const double y = std::round(p.at.y);
  const geometry3d::ScreenRect& s = view.screen();
  if (!(x >= 0 && x <= s.Width() && y >= 0 && y <= s.Height())) return std::nullopt;
  return Point{s.left + static_cast<int>(x), s.bottom - static_cast<int>(y)};
}

graphics::PixelRect ScreenClip(const View& view) {
  const geometry3d::ScreenRect& s = view.screen();
  return graphics::PixelRect{s.left, s.top, s.right, s.bottom};
}

graphics::Paint WirePaint(const geometry3d::Geometry3d& g) {
  return {graphics::FromComponents(g.wire_colour.r, g.wire_colour.g, g.wire_colour.b),
          graphics::LINE_MODE_SOLID};
}

constexpr std::int32_t kDotSizeMax = 15;

// Draw3DDots [size]: every defined point of the table that projects inside
// the screen rectangle as a square of size pixels (1 to 15, default 3) in
// the wire colour; G_WORK1 is the number drawn. Repainted later.
void Draw3DDots(Call& call) {
  const std::int32_t size = std::clamp(call.OptInt(0, 3), 1, kDotSizeMax);
  geometry3d::Geometry3d& g = G(call);
  graphics::Vram& vram = call.rt().vram;
  graphics::Canvas current = graphics::Canvas::Current(vram);
  graphics::Canvas canvas(current.Bank(), graphics::Intersect(current.ClipRect(), ScreenClip(g.view)));
  const graphics::Paint paint = WirePaint(g);
  const int before = size / 2;
  std::int32_t drawn = 0;
  graphics::PixelRect touched;
  for (std::int32_t i = 0; i < geometry3d::kWirePoints; ++i) {
    const geometry3d::WirePoint* point = g.wire.Point(i);
    if (!point->defined) continue;
    const std::optional<Point> at = OnScreen(g.view, point->at);
    if (!at) continue;
    const graphics::PixelRect dot{at->x - before, at->y - before, at->x - before + size - 1,
                                  at->y - before + size - 1};
    if (canvas.Valid()) {
      for (int y = dot.top; y <= dot.bottom; ++y) canvas.Span(y, dot.left, dot.right, paint);
    }
    touched = touched.Empty() ? dot
                              : graphics::PixelRect{std::min(touched.left, dot.left), std::min(touched.top, dot.top),
                                                    std::max(touched.right, dot.right),
                                                    std::max(touched.bottom, dot.bottom)};
    ++drawn;
  }
  touched = graphics::Intersect(touched, canvas.ClipRect());
  if (!touched.Empty()) vram.MarkDirty(touched);
  call.SetWork(1, drawn);
  call.SetError(0);
}

// Get3DDotNum x, y, variable, [radius]: the defined point whose projection
// lies nearest to surface pixel (x, y), at most radius pixels away (default
// 4, at most 100); the lowest index wins a tie. Fails when there is none.
void Get3DDotNum(Call& call) {
  const std::int32_t x = call.Int(0);
  const std::int32_t y = call.Int(1);
  const std::int32_t out = call.Resource(2);
  if (out < 0) return;
  const std::int64_t radius = std::clamp(call.OptInt(3, 4), 0, 100);
  geometry3d::Geometry3d& g = G(call);
  std::int64_t best_distance = radius * radius;
  std::int32_t best = -1;
  for (std::int32_t i = 0; i < geometry3d::kWirePoints; ++i) {
    const geometry3d::WirePoint* point = g.wire.Point(i);
    if (!point->defined) continue;
    const std::optional<Point> at = OnScreen(g.view, point->at);
    if (!at) continue;
    const std::int64_t dx = static_cast<std::int64_t>(at->x) - x;
    const std::int64_t dy = static_cast<std::int64_t>(at->y) - y;
    const std::int64_t d = dx * dx + dy * dy;
    if (d < best_distance || (d == best_distance && best < 0)) {
      best_distance = d;
      best = i;
    }
  }
  if (best < 0) return call.SetError(1);
  call.WriteInt(out, best);
  call.SetError(0);
}

constexpr double kArrowAngle = 25.0 * 3.14159265358979323846 / 180.0;
constexpr std::int32_t kArrowHeadMax = 200;

// WireArrow x1, y1, z1, x2, y2, z2, [head]: DrawWire3D with an arrowhead of
// two strokes head pixels long (default 10, 0 to 200) at the second end,
// when both ends can be projected; the head is cut at the screen rectangle.
void WireArrow(Call& call) {
  const Vec3 a = VecArgs(call, 0);
  const Vec3 b = VecArgs(call, 3);
  const std::int32_t head = std::clamp(call.OptInt(6, 10), 0, kArrowHeadMax);
  const Drawn drawn = DrawSegment(call, a, b);
  geometry3d::Geometry3d& g = G(call);
  const geometry3d::Projection pa = g.view.Project(a);
  const geometry3d::Projection pb = g.view.Project(b);
  const double dx = pb.at.x - pa.at.x;
  const double dy = pb.at.y - pa.at.y;
  const double length = std::hypot(dx, dy);
  if (pa.Projectable() && pb.Projectable() && length > 0 && head > 0) {
    graphics::Vram& vram = call.rt().vram;
    graphics::Canvas current = graphics::Canvas::Current(vram);
    graphics::Canvas canvas(current.Bank(), graphics::Intersect(current.ClipRect(), ScreenClip(g.view)));
    const Point tip = SurfacePoint(g.view, pb.at);
    // Back along the segment, turned by the head angle either way (view
    // pixels have y up, the surface y down).
    const double ux = -dx / length;
    const double uy = -dy / length;
    for (const double turn : {kArrowAngle, -kArrowAngle}) {
      const double hx = (ux * std::cos(turn) - uy * std::sin(turn)) * head;
      const double hy = (uy * std::cos(turn) + ux * std::sin(turn)) * head;
      const Point end{tip.x + static_cast<int>(std::lround(hx)), tip.y - static_cast<int>(std::lround(hy))};
      if (canvas.Valid()) graphics::DrawLine(canvas, tip, end, 1, WirePaint(g));
      const std::array<Point, 2> ends{tip, end};
      const graphics::PixelRect touched = graphics::Intersect(graphics::BoundsOf(ends, 1), canvas.ClipRect());
      if (!touched.Empty()) vram.MarkDirty(touched);
    }
  }
  graphics::PaintNow(call.rt().vram, call.rt().display);
  call.SetError(drawn == Drawn::kNothing ? 1 : 0);
}

// WireText x, y, z, text, [height = 16]: the text in the wire colour with
// its top-left corner at the point's pixel, cut at the screen rectangle;
// fails when the point is not on the screen. G_WORK1 and G_WORK2 are the
// text's width and height.
void WireText(Call& call) {
  const Vec3 q = VecArgs(call, 0);
  std::string& text = call.Large(0);
  if (!call.String(3, text)) return;
  const int height = std::clamp(call.OptInt(4, graphics::TEXT_HEIGHT_DEFAULT), 0, graphics::TEXT_HEIGHT_MAX);
  geometry3d::Geometry3d& g = G(call);
  const std::optional<Point> at = OnScreen(g.view, q);
  if (!at) return call.SetError(1);
  graphics::Vram& vram = call.rt().vram;
  graphics::Canvas current = graphics::Canvas::Current(vram);
  graphics::Canvas canvas(current.Bank(), graphics::Intersect(current.ClipRect(), ScreenClip(g.view)));
  graphics::TextSize size;
  if (canvas.Valid()) {
    size = vram.Text().Draw(canvas, at->x, at->y, WirePaint(g).color, graphics::FontFor(vram, text, height, 0),
                            text);
  }
  const int slack = size.height / 4 + 1;
  const graphics::PixelRect touched = graphics::Intersect(
      graphics::PixelRect{at->x - slack, at->y - slack, at->x + size.width + slack, at->y + size.height + slack},
      canvas.ClipRect());
  if (!touched.Empty()) vram.MarkDirty(touched);
  call.SetWork(1, size.width);
  call.SetWork(2, size.height);
  call.SetError(0);
}

// Draw3DWave bank, from, count, x0, y0, z0, dx, scale: samples from to
// from + count - 1 of a wave bank (any negative bank: the main wave) as a
// 3D curve in the wire colour, sample k at (x0 + k dx, y0, z0 + value
// scale); the range is cut at the bank's end. Repainted later; fails for a
// bank that does not exist or an empty range.
void Draw3DWave(Call& call) {
  const std::int32_t bank = call.Int(0);
  const std::int32_t from = call.Int(1);
  const std::int32_t count = call.Int(2);
  const Vec3 origin = VecArgs(call, 3);
  const double dx = call.Double(6);
  const double scale = call.Double(7);
  const std::span<const std::int16_t> samples = SampleBank(call.rt(), bank);
  const std::int64_t to = std::min<std::int64_t>(static_cast<std::int64_t>(from) + count,
                                                 static_cast<std::int64_t>(samples.size()));
  if (samples.empty() || from < 0 || to - from < 2) return call.SetError(1);
  Vec3 previous{origin.x, origin.y, origin.z + samples[static_cast<std::size_t>(from)] * scale};
  for (std::int64_t i = from + 1; i < to; ++i) {
    const Vec3 next{origin.x + static_cast<double>(i - from) * dx, origin.y,
                    origin.z + samples[static_cast<std::size_t>(i)] * scale};
    DrawSegment(call, previous, next);
    previous = next;
  }
  call.SetError(0);
}

constexpr Registration kWire3dApis[] = {
    {Id("Draw3DWave"), Draw3DWave},
    {Id("WireText"), WireText},
    {Id("Load3DDataCol"), Load3DDataCol}, {Id("Draw3DDots"), Draw3DDots},
    {Id("Get3DDotNum"), Get3DDotNum},     {Id("WireArrow"), WireArrow},
    {Id("Set3DScrn"), Set3DScrn},       {Id("EyeSet3D"), EyeSet3D},
    {Id("EyeGet3D"), EyeGet3D},         {Id("EyeMove"), EyeMove},
    {Id("SetEyeCtr"), SetEyeCtr},       {Id("SetWire3DCol"), SetWire3DCol},
    {Id("DrawWire3D"), DrawWire3D},     {Id("Prj2D"), Prj2D},
    {Id("Set3DPoint"), Set3DPoint},     {Id("Set3DLine"), Set3DLine},
    {Id("Clear3DData"), Clear3DData},   {Id("Set3DPLOff"), Set3DPLOff},
    {Id("Load3DData"), Load3DData},     {Id("DrawAll3DLines"), DrawAll3DLines},
};

}  // namespace

void RegisterWire3dApis(Registry& registry) { registry.AddAll(kWire3dApis); }

}  // namespace vx::api
