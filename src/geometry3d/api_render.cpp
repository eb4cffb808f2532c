// Face drawing: the faces of the main store rendered through the 3D view
// into the current bank with a depth buffer, the light, image-mapped faces,
// and picking (which face owns a pixel of the last drawing).
//
// DrwAllPgn reports nothing through G_ERROR, like the store APIs; the other
// APIs here set it to 0 on success and to 1 on failure.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>

#include "api/api_ids.hpp"
#include "api/call.hpp"
#include "engine/runtime.hpp"
#include "geometry3d/face_tools.hpp"
#include "geometry3d/geometry3d.hpp"
#include "graphics/byte_source.hpp"
#include "graphics/jpeg.hpp"
#include "graphics/picture_files.hpp"
#include "platform/files.hpp"

namespace vx::api {
namespace {

using geometry3d::Face;
using geometry3d::Vec3;

constexpr std::size_t kImageCacheBytesMax = 256u << 20;
constexpr std::size_t kImageCacheCountMax = 256;
constexpr char kBankPrefix = '#';

geometry3d::Geometry3d& G(Call& call) { return geometry3d::State(call.rt()); }

Vec3 VecArgs(Call& call, int n) { return {call.Double(n), call.Double(n + 1), call.Double(n + 2)}; }

bool Finite(Vec3 v) { return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z); }

// --- images for faces

// "#bank" or "#bank,x,y,w,h": a bank or a rectangle of it, read live.
std::optional<geometry3d::TextureView> BankTexture(Call& call, std::string_view text,
                                                   std::array<std::uint8_t, 3>* one) {
  long bank = 0, x = 0, y = 0, w = graphics::VRAM_WIDTH, h = graphics::VRAM_HEIGHT;
  const std::string copy(text.substr(1));
  const int n = std::sscanf(copy.c_str(), "%ld,%ld,%ld,%ld,%ld", &bank, &x, &y, &w, &h);
  if (n != 1 && n != 5) return std::nullopt;
  if (bank < 0 || bank > graphics::VRAM_BANK_INDEX_MAX || x < 0 || y < 0 || w < 1 || h < 1 ||
      x + w > graphics::VRAM_WIDTH || y + h > graphics::VRAM_HEIGHT) {
    return std::nullopt;
  }
  graphics::Vram& vram = call.rt().vram;
  const graphics::BankPixels pixels = vram.Pixels(static_cast<int>(bank));
  if (!pixels) return std::nullopt;
  if (pixels.uniform) {  // one colour: no need to write the bank out
    *one = {pixels.uniform->b, pixels.uniform->g, pixels.uniform->r};
    return geometry3d::TextureView{one->data(), 0, 1, 1};
  }
  return geometry3d::TextureView{graphics::PixelAt(pixels.memory, static_cast<int>(x), static_cast<int>(y)),
                                 -static_cast<std::ptrdiff_t>(graphics::VRAM_ROW_BYTES), static_cast<int>(w),
                                 static_cast<int>(h)};
}

// A BMP or JPEG file, at most a bank's size (the rest is cut).
std::optional<graphics::Image> ReadImageFile(const std::string& name) {
  graphics::FileSource file(name);
  if (!file.Ok()) return std::nullopt;
  std::array<std::uint8_t, 2> magic{};
  if (file.ReadAt(0, magic) != 2) return std::nullopt;
  graphics::Image image;
  if (magic[0] == 'B' && magic[1] == 'M') {
    const graphics::BmpLoadResult r = graphics::ReadBmpImage(file, graphics::VRAM_WIDTH, graphics::VRAM_HEIGHT, &image);
    if (r.status != graphics::BmpLoadStatus::kOk || image.Empty()) return std::nullopt;
    return image;
  }
  if (magic[0] != 0xFF || magic[1] != 0xD8) return std::nullopt;  // neither BMP nor JPEG
  const std::optional<std::string> bytes = files::ReadAll(name, graphics::JPEG_FILE_BYTES_MAX + 1);
  if (!bytes || bytes->size() > graphics::JPEG_FILE_BYTES_MAX) return std::nullopt;
  const std::span<const std::uint8_t> data(reinterpret_cast<const std::uint8_t*>(bytes->data()), bytes->size());
  graphics::JpegInfo info;
  std::string error;
  if (!graphics::ReadJpegInfo(data, &info, &error)) return std::nullopt;
  const int width = std::min(info.width, graphics::VRAM_WIDTH);
  const int height = std::min(info.height, graphics::VRAM_HEIGHT);
  if (width <= 0 || height <= 0) return std::nullopt;
  image = graphics::Image(width, height);
  graphics::JpegDecodeOptions options;
  options.window = graphics::ResampleWindow{0, width, 0, height};
  const graphics::JpegDecoded decoded =
      graphics::DecodeJpeg(data, options, [&](int row, std::span<const std::uint8_t> px) {
        if (row < 0 || row >= height) return;
        std::copy_n(px.data(), std::min(px.size(), static_cast<std::size_t>(width) * 3), image.Row(row));
      });
  if (!decoded.ok) return std::nullopt;
  return image;
}

// The image named by a face's text, read once and kept by name.
const graphics::Image* CachedImage(Call& call, const std::string& name) {
  geometry3d::Geometry3d& g = G(call);
  const auto it = g.images.find(name);
  if (it != g.images.end()) return it->second.Empty() ? nullptr : &it->second;
  if (g.images.size() >= kImageCacheCountMax) return nullptr;
  std::optional<graphics::Image> image = ReadImageFile(name);
  if (image && g.image_bytes + image->Bytes() > kImageCacheBytesMax) image.reset();
  // A name that failed is remembered too, so a missing file is tried once.
  graphics::Image& slot = g.images[name];
  if (image) {
    slot = std::move(*image);
    g.image_bytes += slot.Bytes();
  }
  return slot.Empty() ? nullptr : &slot;
}

// --- drawing

graphics::PixelRect DrawingArea(Call& call) {
  const geometry3d::ScreenRect& s = G(call).view.screen();
  return graphics::Intersect(graphics::PixelRect{s.left, s.top, s.right, s.bottom}, call.rt().vram.Clip());
}

// Prepares the renderer for the current bank and view; false when there is
// nothing to draw into.
bool BeginDraw(Call& call, bool clear) {
  graphics::Vram& vram = call.rt().vram;
  std::uint8_t* bank = vram.Current();
  const graphics::PixelRect area = DrawingArea(call);
  if (bank == nullptr || area.Empty()) return false;
  G(call).renderer.Begin(bank, area, G(call).view.CameraFrame(), clear);
  return true;
}

void DrawRange(Call& call, std::size_t start, std::size_t count, std::int32_t mode) {
  geometry3d::Geometry3d& g = G(call);
  geometry3d::DrawSettings settings = g.draw;
  settings.mode = mode;
  std::array<std::uint8_t, 3> one{};
  const geometry3d::TextureLookup lookup = [&](const Face& f) -> std::optional<geometry3d::TextureView> {
    if (!f.text.empty() && f.text[0] == kBankPrefix) return BankTexture(call, f.text, &one);
    const graphics::Image* image = CachedImage(call, f.text);
    if (image == nullptr) return std::nullopt;
    return geometry3d::TextureView{image->Row(0), static_cast<std::ptrdiff_t>(image->width) * 3, image->width,
                                   image->height};
  };
  const std::span<const Face> faces(g.polygons.main.Faces());
  g.renderer.DrawFaces(faces.subspan(start, count), start, settings, lookup);
  call.rt().vram.MarkDirty(g.renderer.Area());
}

// DrwAllPgn [mode]: every face of the main store, the depth buffer cleared
// first.
void DrwAllPgn(Call& call) {
  const std::int32_t mode = call.OptInt(0, G(call).draw.mode);
  if (!BeginDraw(call, true)) return;
  DrawRange(call, 0, G(call).polygons.main.Count(), mode);
}

// DrwPgn start, count, [mode]: faces [start, start + count) over the last
// drawing, keeping its depth buffer.
void DrwPgn(Call& call) {
  const std::int32_t start = call.Int(0);
  const std::int32_t count = call.Int(1);
  const std::int32_t mode = call.OptInt(2, G(call).draw.mode);
  const std::size_t n = G(call).polygons.main.Count();
  if (start < 0 || count < 1 || static_cast<std::size_t>(start) >= n) return call.SetError(1);
  if (!BeginDraw(call, false)) return call.SetError(1);
  DrawRange(call, static_cast<std::size_t>(start),
            std::min(static_cast<std::size_t>(count), n - static_cast<std::size_t>(start)), mode);
  call.SetError(0);
}

// InitPgnDraw: empties the depth and id buffers and forgets the images read
// for faces.
void InitPgnDraw(Call& call) {
  geometry3d::Geometry3d& g = G(call);
  g.renderer.ClearBuffers();
  g.images.clear();
  g.image_bytes = 0;
  call.SetError(0);
}

enum DrawParameter : std::int32_t {
  PARAM_MODE = 0,         // the mode of a draw that names none
  PARAM_EDGE_COLOUR = 1,  // 0xRRGGBB of mode 3's edges
};

// ChgDrwPrmPgn parameter, value.
void ChgDrwPrmPgn(Call& call) {
  const std::int32_t which = call.Int(0);
  const std::int32_t value = call.Int(1);
  geometry3d::DrawSettings& d = G(call).draw;
  switch (which) {
    case PARAM_MODE:
      d.mode = value;
      break;
    case PARAM_EDGE_COLOUR:
      d.edge_colour = graphics::FromPacked(static_cast<std::uint32_t>(value));
      break;
    default:
      return call.SetError(1);
  }
  call.SetError(0);
}

// GetPgnIdx x, y, R index: the face that owns surface pixel (x, y).
void GetPgnIdx(Call& call) {
  const std::int32_t x = call.Int(0);
  const std::int32_t y = call.Int(1);
  const std::int32_t out = call.Resource(2);
  if (out < 0) return;
  const std::optional<std::int32_t> face = G(call).renderer.FaceAt(x, y);
  if (!face) return call.SetError(1);
  call.WriteInt(out, *face);
  call.SetError(0);
}

// Set2DDpth left, top, right, bottom, distance: pixels of the rectangle
// hide faces farther than `distance` from the eye.
void Set2DDpth(Call& call) {
  const graphics::PixelRect r{call.Int(0), call.Int(1), call.Int(2), call.Int(3)};
  const double distance = call.Double(4);
  if (r.Empty() || !(distance > 0) || !std::isfinite(distance)) return call.SetError(1);
  geometry3d::Renderer& renderer = G(call).renderer;
  if (renderer.Area() != DrawingArea(call) && !BeginDraw(call, true)) return call.SetError(1);
  renderer.SetDepthRect(r, distance);
  call.SetError(0);
}

// Dsp2DPgn index, R x0, y0, x1, y1, x2, y2, x3, y3: the surface pixels of a
// face's corners (a triangle repeats its third); G_WORK1 the corner count.
void Dsp2DPgn(Call& call) {
  const std::int32_t index = call.Int(0);
  std::array<std::int32_t, 8> out{};
  for (std::size_t k = 0; k < out.size(); ++k) {
    out[k] = call.Resource(1 + static_cast<int>(k));
    if (out[k] < 0) return;
  }
  const Face* f = G(call).polygons.main.At(index);
  if (f == nullptr) return call.SetError(1);
  const geometry3d::View& view = G(call).view;
  const int corners = geometry3d::CornerCount(*f);
  std::array<std::int32_t, 8> xy{};
  for (int k = 0; k < 4; ++k) {
    const geometry3d::Projection p = view.Project(geometry3d::Corner(*f, std::min(k, corners - 1)));
    if (!p.Projectable() || !(std::fabs(p.at.x) < 1e9) || !(std::fabs(p.at.y) < 1e9)) return call.SetError(1);
    xy[static_cast<std::size_t>(2 * k)] = static_cast<std::int32_t>(std::lround(view.screen().left + p.at.x));
    xy[static_cast<std::size_t>(2 * k + 1)] = static_cast<std::int32_t>(std::lround(view.screen().bottom - p.at.y));
  }
  for (std::size_t k = 0; k < out.size(); ++k) call.WriteInt(out[k], xy[k]);
  call.SetWork(1, corners);
  call.SetError(0);
}

// --- light and image mapping

// SetLight x, y, z: a point light there (the light is a point from now on).
void SetLight(Call& call) {
  const Vec3 p = VecArgs(call, 0);
  if (!Finite(p)) return call.SetError(1);
  geometry3d::Light& light = G(call).draw.light;
  light.position = p;
  light.directional = false;
  call.SetError(0);
}

// MoveLight dx, dy, dz: moves the light's position.
void MoveLight(Call& call) {
  const Vec3 d = VecArgs(call, 0);
  geometry3d::Light& light = G(call).draw.light;
  const Vec3 moved = light.position + d;
  if (!Finite(moved)) return call.SetError(1);
  light.position = moved;
  call.SetError(0);
}

// GetLightPos R x, y, z.
void GetLightPos(Call& call) {
  std::array<std::int32_t, 3> out{};
  for (std::size_t k = 0; k < 3; ++k) {
    out[k] = call.Resource(static_cast<int>(k));
    if (out[k] < 0) return;
  }
  const Vec3 p = G(call).draw.light.position;
  for (int k = 0; k < 3; ++k) call.WriteDouble(out[static_cast<std::size_t>(k)], p[k]);
  call.SetError(0);
}

// PolSet3DLvlVect x, y, z: parallel light travelling along (x, y, z).
void PolSet3DLvlVect(Call& call) {
  const Vec3 d = VecArgs(call, 0);
  if (!Finite(d) || !geometry3d::Unit(d, 1e-12)) return call.SetError(1);
  geometry3d::Light& light = G(call).draw.light;
  light.direction = d;
  light.directional = true;
  call.SetError(0);
}

// PolSet3DLvlCol r, g, b: the light's colour, each 0 to 255.
void PolSet3DLvlCol(Call& call) {
  std::array<double, 3> c{call.Double(0), call.Double(1), call.Double(2)};
  for (double v : c) {
    if (!(v >= 0 && v <= 255)) return call.SetError(1);
  }
  G(call).draw.light.colour = Vec3{c[0], c[1], c[2]} / 255.0;
  call.SetError(0);
}

// PolSetShadow level: how bright (0 to 1) a side the light does not reach
// stays.
void PolSetShadow(Call& call) {
  const double level = call.Double(0);
  if (!(level >= 0 && level <= 1)) return call.SetError(1);
  G(call).draw.light.ambient = level;
  call.SetError(0);
}

// SetMapOrgPgn u, v: the image pixel at each face's VB.
void SetMapOrgPgn(Call& call) {
  const double u = call.Double(0);
  const double v = call.Double(1);
  if (!std::isfinite(u) || !std::isfinite(v) || std::fabs(u) > 1e9 || std::fabs(v) > 1e9) return call.SetError(1);
  G(call).draw.mapping.origin_u = u;
  G(call).draw.mapping.origin_v = v;
  call.SetError(0);
}

// SetMapZoomPgn zu, zv: times the image repeats along VH and VV.
void SetMapZoomPgn(Call& call) {
  const double u = call.Double(0);
  const double v = call.Double(1);
  auto ok = [](double z) { return std::isfinite(z) && z != 0 && std::fabs(z) <= 1e6; };
  if (!ok(u) || !ok(v)) return call.SetError(1);
  G(call).draw.mapping.zoom_u = u;
  G(call).draw.mapping.zoom_v = v;
  call.SetError(0);
}

// --- diagnostics

// PolygonDebug: a summary of the stores, view, light and last drawing in
// G_DEBUG_LOG.
void PolygonDebug(Call& call) {
  geometry3d::Geometry3d& g = G(call);
  const geometry3d::DrawStats& s = g.renderer.Stats();
  const geometry3d::Light& l = g.draw.light;
  char text[512];
  std::snprintf(text, sizeof text,
                "polygons: main %zu, sub %zu; eye (%g, %g, %g) vector (%g, %g, %g) zoom %g; light %s (%g, %g, %g) "
                "ambient %g; last draw: %d faces, %d skipped, %lld pixels; images %zu\r\n",
                g.polygons.main.Count(), g.polygons.sub.Count(), g.view.eye().x, g.view.eye().y, g.view.eye().z,
                g.view.vector().x, g.view.vector().y, g.view.vector().z, g.view.zoom(),
                l.directional ? "parallel" : "point", l.directional ? l.direction.x : l.position.x,
                l.directional ? l.direction.y : l.position.y, l.directional ? l.direction.z : l.position.z, l.ambient,
                s.faces_drawn, s.faces_skipped, static_cast<long long>(s.pixels), g.images.size());
  call.AppendDebugLog(text);
  call.SetError(0);
}

// PolygonFunc op: 0 the last drawing's numbers (G_WORK1 faces drawn,
// G_WORK2 skipped, G_WORK3 pixels); 1 the image cache (G_WORK1 images,
// G_WORK2 kilobytes); 2 empties the image cache.
void PolygonFunc(Call& call) {
  geometry3d::Geometry3d& g = G(call);
  const std::int32_t op = call.Int(0);
  switch (op) {
    case 0: {
      const geometry3d::DrawStats& s = g.renderer.Stats();
      call.SetWork(1, s.faces_drawn);
      call.SetWork(2, s.faces_skipped);
      call.SetWork(3, static_cast<std::int32_t>(std::min<std::int64_t>(s.pixels, INT32_MAX)));
      break;
    }
    case 1:
      call.SetWork(1, static_cast<std::int32_t>(g.images.size()));
      call.SetWork(2, static_cast<std::int32_t>(g.image_bytes / 1024));
      break;
    case 2:
      g.images.clear();
      g.image_bytes = 0;
      break;
    default:
      return call.SetError(1);
  }
  call.SetError(0);
}

constexpr Registration kRenderApis[] = {
    {Id("DrwAllPgn"), DrwAllPgn},
    {Id("DrwPgn"), DrwPgn},
    {Id("InitPgnDraw"), InitPgnDraw},
    {Id("ChgDrwPrmPgn"), ChgDrwPrmPgn},
    {Id("GetPgnIdx"), GetPgnIdx},
    {Id("Set2DDpth"), Set2DDpth},
    {Id("Dsp2DPgn"), Dsp2DPgn},
    {Id("SetLight"), SetLight},
    {Id("MoveLight"), MoveLight},
    {Id("GetLightPos"), GetLightPos},
    {Id("PolSet3DLvlVect"), PolSet3DLvlVect},
    {Id("PolSet3DLvlCol"), PolSet3DLvlCol},
    {Id("PolSetShadow"), PolSetShadow},
    {Id("SetMapOrgPgn"), SetMapOrgPgn},
    {Id("SetMapZoomPgn"), SetMapZoomPgn},
    {Id("PolygonDebug"), PolygonDebug},
    {Id("PolygonFunc"), PolygonFunc},
};

}  // namespace

void RegisterPolygonRenderApis(Registry& registry) { registry.AddAll(kRenderApis); }

}  // namespace vx::api
