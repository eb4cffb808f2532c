#include "geometry3d/rasterizer.hpp"

#include <algorithm>
#include <array>
#include <atomic>
#include <cmath>
#include <limits>

#include "platform/thread_pool.hpp"

namespace vx::geometry3d {
namespace {

constexpr int kSubBits = 4;  // 1/16 pixel vertex precision
constexpr std::int64_t kSub = 1 << kSubBits;
// Faces are cut this far outside the drawing area only: inside it the
// fixed-point edge arithmetic cannot overflow, and most faces need no cut.
constexpr double kGuardBand = 4096;
constexpr double kEdgeDepthSlack = 1e-4;  // edges drawn over their own face
// Faces set up before the bands draw them: enough to pay for waking the
// pool, few enough that their set-up stays in the cache.
constexpr std::size_t kFacesPerBatch = 1024;
// Rough cost of one face for one band that only cuts it away (its set-up
// and clipping), against one byte operation.
constexpr std::int64_t kFaceCostPerBand = 16;
// Rough cost of setting up one face (light, cutting, projection).
constexpr std::int64_t kFaceSetUpCost = 400;

enum Shader : int { kShadeFlat, kShadeSmooth, kShadeTexture, kShadeTranslucent, kShadeDepth };

std::int64_t FloorDiv(std::int64_t a, std::int64_t b) { return a >= 0 ? a / b : -((-a + b - 1) / b); }

bool Finite(Vec3 v) { return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z); }

std::uint8_t Byte(double v) {
  if (!(v > 0)) return 0;
  return v >= 255 ? 255 : static_cast<std::uint8_t>(v + 0.5);
}

double LightLevel(const Light& light, Vec3 at, Vec3 normal) {
  const Vec3 toward = light.directional ? light.direction * -1.0 : light.position - at;
  const std::optional<Vec3> l = Unit(toward, 1e-12);
  if (!l) return 1.0;
  const double diffuse = std::max(0.0, Dot(normal, *l));
  return light.ambient + (1.0 - light.ambient) * diffuse;
}

struct GridKey {
  std::int64_t x = 0, y = 0, z = 0;
  friend bool operator==(const GridKey&, const GridKey&) = default;
};
struct GridHash {
  std::uint64_t operator()(const GridKey& k) const {
    auto mix = [](std::uint64_t h) {  // splitmix64's finaliser
      h ^= h >> 30;
      h *= 0xBF58476D1CE4E5B9ull;
      h ^= h >> 27;
      h *= 0x94D049BB133111EBull;
      return h ^ (h >> 31);
    };
    return mix(static_cast<std::uint64_t>(k.x) ^
               mix(static_cast<std::uint64_t>(k.y) ^ mix(static_cast<std::uint64_t>(k.z))));
  }
};

// Normals at the corners for smooth light: at each corner the normals of
// the faces that share the point (positions rounded to a grid a
// ten-millionth of the scene wide, so corners computed apart still meet),
// weighted by face size, counting only faces within the crease angle of the
// corner's own face, so the edges of boxes and the rims of cylinders stay
// sharp.
class SmoothNormals {
 public:
  explicit SmoothNormals(std::span<const Face> faces) : normals_(faces.size() * 4) {
    double extent = 0;
    for (const Face& f : faces) {
      for (const Vec3 v : {f.base, f.edge_h, f.edge_v}) {
        extent = std::max({extent, std::fabs(v.x), std::fabs(v.y), std::fabs(v.z)});
      }
    }
    const double quantum = extent > 0 && std::isfinite(extent) ? extent * 1e-7 : 1.0;
    auto q = [&](double v) {
      const double r = std::round(v / quantum);
      return std::fabs(r) < 9e18 ? static_cast<std::int64_t>(r) : 0;
    };
    // Corners sorted by a hash of their grid point: equal points end up
    // side by side, and the sort moves 16-byte records compared by one
    // number. Points that only share the hash are told apart by `keys`.
    struct Entry {
      std::uint64_t hash;
      std::uint32_t slot;  // face * 4 + corner
    };
    std::vector<Entry> entries;
    std::vector<GridKey> keys(faces.size() * 4);
    std::vector<Vec3> face_normal(faces.size());
    std::vector<Vec3> face_unit(faces.size());
    entries.reserve(faces.size() * 4);
    for (std::size_t i = 0; i < faces.size(); ++i) {
      const Face& f = faces[i];
      const ShapeKind kind = KindOfShape(f.shape);
      face_normal[i] = Cross(f.edge_h, f.edge_v);
      if (!kind.drawn || !Finite(face_normal[i])) continue;
      const double length = Length(face_normal[i]);
      face_unit[i] = length > 0 ? face_normal[i] / length : Vec3{};
      const std::array<Vec3, 4> corner{f.base, f.base + f.edge_h,
                                       kind.triangle ? f.base + f.edge_v : f.base + f.edge_h + f.edge_v,
                                       f.base + f.edge_v};
      for (std::uint32_t c = 0; c < (kind.triangle ? 3u : 4u); ++c) {
        const auto slot = static_cast<std::uint32_t>(i * 4) + c;
        keys[slot] = {q(corner[c].x), q(corner[c].y), q(corner[c].z)};
        entries.push_back({GridHash{}(keys[slot]), slot});
      }
    }
    std::sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) { return a.hash < b.hash; });
    const double crease = std::cos(Pi() / 3);  // 60 degrees
    for (std::size_t lo = 0; lo < entries.size();) {
      std::size_t hi = lo + 1;
      while (hi < entries.size() && entries[hi].hash == entries[lo].hash) ++hi;
      for (std::size_t a = lo; a < hi; ++a) {
        const std::uint32_t own_slot = entries[a].slot;
        const Vec3 own = face_unit[own_slot / 4];
        Vec3 sum{};
        for (std::size_t b = lo; b < hi; ++b) {
          const std::size_t other = entries[b].slot / 4;
          if (keys[entries[b].slot] == keys[own_slot] && Dot(own, face_unit[other]) >= crease) {
            sum = sum + face_normal[other];
          }
        }
        normals_[own_slot] = sum;
      }
      lo = hi;
    }
  }
  // Not unit length; zero when the face had none.
  Vec3 At(std::size_t face, int corner) const { return normals_[face * 4 + static_cast<std::size_t>(corner)]; }

 private:
  std::vector<Vec3> normals_;
};

}  // namespace

ShapeKind KindOfShape(std::int32_t shape) {
  switch (shape) {
    case 0:
      return {true, false, false, true};
    case 1:
      return {true, true, false, true};
    case 16:
      return {true, false, true, true};
    case 2:
      return {true, false, false, false};
    case 3:
      return {true, true, false, false};
    case 18:
      return {true, false, true, false};
    default:
      return {};
  }
}

struct Renderer::FaceShading {
  int shader = kShadeFlat;
  graphics::Color colour;
  float base[3] = {0, 0, 0};  // blue, green, red, multiplied by the light level
  const TextureView* texture = nullptr;
  std::int32_t id = -1;
  // kShadeDepth: grey = (1 / depth - depth_far) * depth_scale, so the
  // nearest corner drawn is white and the farthest black.
  double depth_far = 0;
  double depth_scale = 1;
};

// A face ready to draw: its shading, its polygon and edges on the screen and
// the rows they touch. `shade.texture` points at `texture`, so a job is not
// copied once set up.
struct Renderer::FaceJob {
  FaceShading shade;
  // The polygon to fill, cut and projected, drawn as a fan.
  std::array<ScreenVertex, kClipVerticesMax> screen;
  std::size_t vertices = 0;
  std::array<EdgeLine, 4> edges;
  int edge_count = 0;
  graphics::Color edge_colour;
  // Rows the face may touch: bands outside them pass it by.
  int top = 0;
  int bottom = -1;
  bool textured = false;
  TextureView texture;
  std::array<std::uint8_t, 3> texel{};  // a one-pixel image, copied: the lookup reuses its buffer
};

void Renderer::Begin(std::uint8_t* bank, const graphics::PixelRect& area, const Camera& camera, bool clear) {
  const bool same_area = area == area_ && !depth_.empty();
  bank_ = bank;
  area_ = area;
  camera_ = camera;
  near_ = camera.scale * kNearRatio;
  stats_ = {};
  if (area.Empty()) {
    depth_.clear();
    ids_.clear();
    return;
  }
  const std::size_t n = static_cast<std::size_t>(area.Width()) * static_cast<std::size_t>(area.Height());
  if (!same_area || depth_.size() != n) {
    depth_.assign(n, 0.0f);
    ids_.assign(n, -1);
  } else if (clear) {
    ClearBuffers();
  }
}

void Renderer::ClearBuffers() {
  std::fill(depth_.begin(), depth_.end(), 0.0f);
  std::fill(ids_.begin(), ids_.end(), -1);
}

void Renderer::SetDepthRect(const graphics::PixelRect& r, double distance) {
  if (depth_.empty() || !(distance > 0) || !std::isfinite(distance)) return;
  const graphics::PixelRect cut{std::max(r.left, area_.left), std::max(r.top, area_.top),
                                std::min(r.right, area_.right), std::min(r.bottom, area_.bottom)};
  const auto z = static_cast<float>(1.0 / distance);
  const auto width = static_cast<std::size_t>(area_.Width());
  for (int y = cut.top; y <= cut.bottom; ++y) {
    for (int x = cut.left; x <= cut.right; ++x) {
      const std::size_t i = static_cast<std::size_t>(y - area_.top) * width + static_cast<std::size_t>(x - area_.left);
      depth_[i] = z;
      ids_[i] = -1;
    }
  }
}

std::optional<std::int32_t> Renderer::FaceAt(int x, int y) const {
  if (ids_.empty() || x < area_.left || x > area_.right || y < area_.top || y > area_.bottom) return std::nullopt;
  const std::int32_t id = ids_[static_cast<std::size_t>(y - area_.top) * static_cast<std::size_t>(area_.Width()) +
                               static_cast<std::size_t>(x - area_.left)];
  if (id < 0) return std::nullopt;
  return id;
}

Renderer::ClipVertex Renderer::ToClip(Vec3 q, float light, float s, float t) const {
  const Vec3 rel = q - camera_.eye;
  const double w = Dot(camera_.forward, rel);
  const double cx = (camera_.left + camera_.eye_x) * w + camera_.scale * Dot(camera_.row_x, rel);
  const double cy = (camera_.bottom - camera_.eye_y) * w - camera_.scale * Dot(camera_.row_y, rel);
  return {cx, cy, w, light, s, t};
}

void Renderer::DrawFaces(std::span<const Face> faces, std::size_t first_index, const DrawSettings& settings,
                         const TextureLookup& textures) {
  if (bank_ == nullptr || depth_.empty()) return;
  const std::int32_t mode = settings.mode;
  std::optional<SmoothNormals> smooth;
  if (mode == kDrawSmooth) smooth.emplace(faces);
  const Light& light = settings.light;
  // Mode 7 spreads the greys over the depths of the corners in front of
  // the eye: 1 / depth from the farthest to the nearest.
  std::array<double, 2> depth_range{0, 0};
  if (mode == kDrawDepth) {
    depth_range = {std::numeric_limits<double>::max(), 0};
    for (const Face& f : faces) {
      if (!KindOfShape(f.shape).drawn) continue;
      for (const Vec3 q : {f.base, f.base + f.edge_h, f.base + f.edge_v, f.base + f.edge_h + f.edge_v}) {
        const double w = Dot(camera_.forward, q - camera_.eye);
        if (!(w >= near_) || !std::isfinite(w)) continue;
        depth_range[0] = std::min(depth_range[0], 1.0 / w);
        depth_range[1] = std::max(depth_range[1], 1.0 / w);
      }
    }
  }
  const bool texturable =
      mode != kDrawEdges && mode != kDrawDepth && mode != kDrawNormals && mode != kDrawTranslucent;
  auto skipped = [](const Face& f) {
    const double length = Length(Cross(f.edge_h, f.edge_v));
    return !KindOfShape(f.shape).drawn || !(length > 0) || !std::isfinite(length) || !Finite(f.base) ||
           !Finite(f.rgb);
  };

  // Sets up face k of `faces` into `job`; the job's image was looked up
  // before. Reads only shared state, so faces are set up in parallel.
  auto set_up = [&](std::size_t k, FaceJob& job) {
    const Face& f = faces[k];
    const ShapeKind kind = KindOfShape(f.shape);
    const Vec3 cross = Cross(f.edge_h, f.edge_v);
    const double length = Length(cross);
    std::array<Vec3, 4> corner{f.base, f.base + f.edge_h, f.base + f.edge_h + f.edge_v, f.base + f.edge_v};
    std::array<std::array<float, 2>, 4> st{{{0, 0}, {1, 0}, {1, 1}, {0, 1}}};
    if (kind.triangle) {
      corner[2] = f.base + f.edge_v;
      st[2] = {0, 1};
    }
    const int corners = kind.triangle ? 3 : 4;
    Vec3 centre{};
    for (int i = 0; i < corners; ++i) centre = centre + corner[static_cast<std::size_t>(i)];
    centre = centre / corners;
    // Faces show both sides: the normal is the one facing the eye.
    Vec3 normal = cross / length;
    if (Dot(normal, camera_.eye - centre) < 0) normal = normal * -1.0;

    const bool lit = kind.lit && mode != kDrawUnlit;
    const Vec3 light_rgb = lit ? light.colour : Vec3{1, 1, 1};
    std::array<float, 4> level{1, 1, 1, 1};
    if (lit) {
      for (int i = 0; i < corners; ++i) {
        const auto c = static_cast<std::size_t>(i);
        Vec3 n = normal;
        if (smooth) {
          const std::optional<Vec3> shared = Unit(smooth->At(k, i), 1e-300);
          if (shared) n = Dot(*shared, normal) < 0 ? *shared * -1.0 : *shared;
          level[c] = static_cast<float>(LightLevel(light, corner[c], n));
        } else {
          level[c] = static_cast<float>(LightLevel(light, centre, n));
        }
      }
    }
    const double flat_level = lit && !smooth ? level[0] : 1.0;

    FaceShading& shade = job.shade;
    shade = FaceShading{};
    shade.id = static_cast<std::int32_t>(first_index + k);
    const Vec3 rgb255 = Vec3{f.rgb.x * light_rgb.x, f.rgb.y * light_rgb.y, f.rgb.z * light_rgb.z} * 255.0;
    shade.colour =
        graphics::Color{Byte(rgb255.z * flat_level), Byte(rgb255.y * flat_level), Byte(rgb255.x * flat_level)};
    shade.base[0] = static_cast<float>(rgb255.z);
    shade.base[1] = static_cast<float>(rgb255.y);
    shade.base[2] = static_cast<float>(rgb255.x);
    if (job.textured) {
      shade.shader = kShadeTexture;
      shade.texture = &job.texture;
      shade.base[0] = static_cast<float>(light_rgb.z);
      shade.base[1] = static_cast<float>(light_rgb.y);
      shade.base[2] = static_cast<float>(light_rgb.x);
    } else if (mode == kDrawDepth) {
      shade.shader = kShadeDepth;
      shade.depth_far = depth_range[0];
      shade.depth_scale = 255.0 / std::max(depth_range[1] - depth_range[0], 1e-300);
    } else if (mode == kDrawNormals) {
      shade.colour = graphics::Color{Byte((normal.z * 0.5 + 0.5) * 255), Byte((normal.y * 0.5 + 0.5) * 255),
                                     Byte((normal.x * 0.5 + 0.5) * 255)};
    } else if (mode == kDrawTranslucent) {
      shade.shader = kShadeTranslucent;
    } else if (smooth && lit) {
      shade.shader = kShadeSmooth;
    }

    std::array<ClipVertex, 4> clip{};
    for (int i = 0; i < corners; ++i) {
      const auto c = static_cast<std::size_t>(i);
      // Image coordinates in image sizes; the shader multiplies by the size.
      const ImageMapping& m = settings.mapping;
      const double w = shade.texture ? shade.texture->width : 1;
      const double h = shade.texture ? shade.texture->height : 1;
      clip[c] = ToClip(corner[c], level[c], static_cast<float>(m.origin_u / w + st[c][0] * m.zoom_u),
                       static_cast<float>(m.origin_v / h + (1.0f - st[c][1]) * m.zoom_v));
    }
    job.top = std::numeric_limits<int>::max();
    job.bottom = std::numeric_limits<int>::min();
    auto cover_rows = [&job](double y0, double y1) {
      job.top = std::min(job.top, static_cast<int>(std::floor(std::min(y0, y1))) - 1);
      job.bottom = std::max(job.bottom, static_cast<int>(std::ceil(std::max(y0, y1))) + 1);
    };
    const std::span<const ClipVertex> polygon(clip.data(), static_cast<std::size_t>(corners));
    const bool edges_only = kind.edges_only || mode == kDrawEdges;
    job.vertices = edges_only ? 0 : ProjectPolygon(polygon, job.screen);
    for (std::size_t i = 0; i < job.vertices; ++i) cover_rows(job.screen[i].y, job.screen[i].y);
    job.edge_count = 0;
    if (edges_only || mode == kDrawOutlined) {
      job.edge_colour = edges_only ? shade.colour : settings.edge_colour;
      for (int i = 0; i < corners; ++i) {
        const std::optional<EdgeLine> line =
            CutEdge(clip[static_cast<std::size_t>(i)], clip[static_cast<std::size_t>((i + 1) % corners)]);
        if (!line) continue;
        job.edges[static_cast<std::size_t>(job.edge_count++)] = *line;
        cover_rows(line->p[1], line->q[1]);
      }
    }
  };

  std::vector<FaceJob> jobs(std::min(faces.size(), kFacesPerBatch));
  std::vector<std::size_t> face_of(jobs.size());
  for (std::size_t next = 0; next < faces.size();) {
    // In order on this thread: skipped faces counted, images looked up (the
    // lookup loads files and reuses a buffer). A face whose image is the
    // bank drawn into ends the batch: it must see the faces before it drawn
    // everywhere and the ones after it nowhere, so it is drawn on its own.
    std::size_t count = 0;
    bool last_alone = false;
    while (next < faces.size() && count < jobs.size() && !last_alone) {
      const std::size_t k = next++;
      const Face& f = faces[k];
      if (skipped(f)) {
        ++stats_.faces_skipped;
        continue;
      }
      FaceJob& job = jobs[count];
      face_of[count++] = k;
      job.textured = false;
      std::optional<TextureView> texture;
      if (f.image != 0 && texturable && textures) texture = textures(f);
      if (!texture || !(texture->width > 0 && texture->height > 0)) continue;
      job.textured = true;
      job.texture = *texture;
      last_alone = ReadsTarget(job.texture);
      if (!last_alone && job.texture.width == 1 && job.texture.height == 1) {
        std::copy_n(job.texture.row0, 3, job.texel.begin());
        job.texture.row0 = job.texel.data();
      }
    }
    const std::span<FaceJob> batch(jobs.data(), count);
    platform::ForBands(0, static_cast<int>(count), kFaceSetUpCost, [&](int first, int last) {
      for (int j = first; j < last; ++j) set_up(face_of[static_cast<std::size_t>(j)], batch[static_cast<std::size_t>(j)]);
    });
    if (last_alone) {
      DrawJobs(batch.first(count - 1), true);
      DrawJobs(batch.last(1), false);
    } else {
      DrawJobs(batch, true);
    }
  }
}

bool Renderer::ReadsTarget(const TextureView& texture) const {
  const std::uint8_t* first = texture.row0;
  const std::uint8_t* last = texture.row0 + texture.stride * (texture.height - 1);
  if (first > last) std::swap(first, last);
  last += static_cast<std::ptrdiff_t>(texture.width) * 3;
  return first < bank_ + graphics::VRAM_BANK_BYTES && bank_ < last;
}

void Renderer::DrawJobs(std::span<const FaceJob> jobs, bool in_bands) {
  if (jobs.empty()) return;
  std::vector<std::atomic<std::int64_t>> pixels(jobs.size());
  auto draw_rows = [&](int first, int last) {
    Band band{area_.top + first, area_.top + last - 1, 0};
    for (std::size_t j = 0; j < jobs.size(); ++j) {
      const FaceJob& job = jobs[j];
      if (job.bottom < band.top || job.top > band.bottom) continue;
      band.pixels = 0;
      DrawJob(job, band);
      if (band.pixels > 0) pixels[j].fetch_add(band.pixels, std::memory_order_relaxed);
    }
  };
  const int rows = area_.Height();
  if (in_bands) {
    const std::int64_t work_per_row =
        static_cast<std::int64_t>(area_.Width()) + static_cast<std::int64_t>(jobs.size()) * kFaceCostPerBand;
    platform::ForBands(0, rows, work_per_row, draw_rows);
  } else {
    draw_rows(0, rows);
  }
  for (const std::atomic<std::int64_t>& n : pixels) {
    const std::int64_t drawn = n.load(std::memory_order_relaxed);
    if (drawn > 0) ++stats_.faces_drawn;
    stats_.pixels += drawn;
  }
}

void Renderer::DrawJob(const FaceJob& job, Band& band) {
  const ScreenVertex* v = job.screen.data();
  for (std::size_t i = 1; i + 1 < job.vertices; ++i) FillTriangle(v[0], v[i], v[i + 1], job.shade, band);
  for (int i = 0; i < job.edge_count; ++i) {
    DrawEdge(job.edges[static_cast<std::size_t>(i)], job.edge_colour, job.shade.id, band);
  }
}

namespace {

// Signed distances of a clip vertex from the cutting planes: the near plane
// and the four sides of the guard band; inside when all are >= 0.
struct Planes {
  double near, left, right, top, bottom;
  double Value(int plane, double cx, double cy, double w) const {
    switch (plane) {
      case 0:
        return w - near;
      case 1:
        return cx - left * w;
      case 2:
        return right * w - cx;
      case 3:
        return cy - top * w;
      default:
        return bottom * w - cy;
    }
  }
};
constexpr int kPlanes = 5;

}  // namespace

std::size_t Renderer::ProjectPolygon(std::span<const ClipVertex> corners,
                                     std::array<ScreenVertex, kClipVerticesMax>& screen) const {
  const Planes planes{near_, area_.left - kGuardBand, area_.right + kGuardBand, area_.top - kGuardBand,
                      area_.bottom + kGuardBand};
  std::array<ClipVertex, kClipVerticesMax> buffer_a{};
  std::array<ClipVertex, kClipVerticesMax> buffer_b{};
  std::size_t n = corners.size();
  std::copy(corners.begin(), corners.end(), buffer_a.begin());
  ClipVertex* in = buffer_a.data();
  ClipVertex* cut = buffer_b.data();
  for (int p = 0; p < kPlanes; ++p) {
    bool all_inside = true;
    for (std::size_t i = 0; i < n && all_inside; ++i) all_inside = planes.Value(p, in[i].cx, in[i].cy, in[i].w) >= 0;
    if (all_inside) continue;
    std::size_t m = 0;
    for (std::size_t i = 0; i < n; ++i) {
      const ClipVertex& a = in[i];
      const ClipVertex& b = in[(i + 1) % n];
      const double da = planes.Value(p, a.cx, a.cy, a.w);
      const double db = planes.Value(p, b.cx, b.cy, b.w);
      if (da >= 0) cut[m++] = a;
      if ((da >= 0) != (db >= 0)) {
        const double t = da / (da - db);
        const auto ft = static_cast<float>(t);
        cut[m++] = {a.cx + (b.cx - a.cx) * t,           a.cy + (b.cy - a.cy) * t, a.w + (b.w - a.w) * t,
                    a.light + (b.light - a.light) * ft, a.s + (b.s - a.s) * ft,   a.t + (b.t - a.t) * ft};
      }
    }
    n = m;
    std::swap(in, cut);
    if (n < 3) return 0;
  }
  for (std::size_t i = 0; i < n; ++i) {
    const double inv_w = 1.0 / in[i].w;
    if (!std::isfinite(in[i].cx * inv_w) || !std::isfinite(in[i].cy * inv_w)) return 0;
    screen[i] = {in[i].cx * inv_w,
                 in[i].cy * inv_w,
                 inv_w,
                 in[i].light,
                 static_cast<float>(in[i].s * inv_w),
                 static_cast<float>(in[i].t * inv_w)};
  }
  return n;
}

void Renderer::FillTriangle(const ScreenVertex& a, const ScreenVertex& b, const ScreenVertex& c,
                            const FaceShading& shade, Band& band) {
  switch (shade.shader) {
    case kShadeSmooth:
      return Raster<kShadeSmooth>(a, b, c, shade, band);
    case kShadeTexture:
      return Raster<kShadeTexture>(a, b, c, shade, band);
    case kShadeTranslucent:
      return Raster<kShadeTranslucent>(a, b, c, shade, band);
    case kShadeDepth:
      return Raster<kShadeDepth>(a, b, c, shade, band);
    default:
      return Raster<kShadeFlat>(a, b, c, shade, band);
  }
}

namespace {

// An attribute as a plane over the screen: value at (x, y) =
// at0 + dx * (x - x0) + dy * (y - y0).
struct Gradient {
  double at0 = 0, dx = 0, dy = 0;
  Gradient() = default;
  Gradient(double f0, double f1, double f2, double ex1, double ey1, double ex2, double ey2, double inv_det)
      : at0(f0), dx(((f1 - f0) * ey2 - (f2 - f0) * ey1) * inv_det), dy(((f2 - f0) * ex1 - (f1 - f0) * ex2) * inv_det) {}
  double At(double ox, double oy) const { return at0 + dx * ox + dy * oy; }
};

struct Edge {
  std::int64_t step_x, step_y, value;  // value at the first sample of the box
  Edge(std::int64_t px, std::int64_t py, std::int64_t qx, std::int64_t qy, std::int64_t sx, std::int64_t sy) {
    const std::int64_t dx = qx - px;
    const std::int64_t dy = qy - py;
    step_x = -dy * kSub;
    step_y = dx * kSub;
    const bool top_left = dy < 0 || (dy == 0 && dx > 0);
    value = dx * (sy - py) - dy * (sx - px) + (top_left ? 0 : -1);
  }
};

inline int Wrap(int v, int size) {
  const int r = v % size;
  return r < 0 ? r + size : r;
}

}  // namespace

template <int kShader>
void Renderer::Raster(const ScreenVertex& a, const ScreenVertex& b0, const ScreenVertex& c0, const FaceShading& shade,
                      Band& band) {
  std::int64_t ax = std::llround(a.x * kSub), ay = std::llround(a.y * kSub);
  std::int64_t bx = std::llround(b0.x * kSub), by = std::llround(b0.y * kSub);
  std::int64_t cx = std::llround(c0.x * kSub), cy = std::llround(c0.y * kSub);
  const ScreenVertex* b = &b0;
  const ScreenVertex* c = &c0;
  std::int64_t area2 = (bx - ax) * (cy - ay) - (by - ay) * (cx - ax);
  if (area2 == 0) return;
  if (area2 < 0) {
    std::swap(b, c);
    std::swap(bx, cx);
    std::swap(by, cy);
    area2 = -area2;
  }
  const int min_x =
      static_cast<int>(std::max<std::int64_t>(FloorDiv(std::min({ax, bx, cx}) + kSub - 1, kSub), area_.left));
  const int max_x = static_cast<int>(std::min<std::int64_t>(FloorDiv(std::max({ax, bx, cx}), kSub), area_.right));
  // Rows outside the band are another thread's; the edge values start at
  // the first row drawn, exactly as if stepped down to it.
  const int min_y =
      static_cast<int>(std::max<std::int64_t>(FloorDiv(std::min({ay, by, cy}) + kSub - 1, kSub), band.top));
  const int max_y = static_cast<int>(std::min<std::int64_t>(FloorDiv(std::max({ay, by, cy}), kSub), band.bottom));
  if (min_x > max_x || min_y > max_y) return;

  const std::int64_t sx = static_cast<std::int64_t>(min_x) * kSub;
  const std::int64_t sy = static_cast<std::int64_t>(min_y) * kSub;
  Edge e0(bx, by, cx, cy, sx, sy);
  Edge e1(cx, cy, ax, ay, sx, sy);
  Edge e2(ax, ay, bx, by, sx, sy);

  // Attribute planes from the snapped positions.
  const double x0 = static_cast<double>(ax) / kSub, y0 = static_cast<double>(ay) / kSub;
  const double ex1 = static_cast<double>(bx) / kSub - x0, ey1 = static_cast<double>(by) / kSub - y0;
  const double ex2 = static_cast<double>(cx) / kSub - x0, ey2 = static_cast<double>(cy) / kSub - y0;
  const double inv_det = 1.0 / (ex1 * ey2 - ex2 * ey1);
  const Gradient gz(a.inv_w, b->inv_w, c->inv_w, ex1, ey1, ex2, ey2, inv_det);
  Gradient gl, gs, gt;
  if constexpr (kShader == kShadeSmooth || kShader == kShadeTexture) {
    gl = Gradient(a.light, b->light, c->light, ex1, ey1, ex2, ey2, inv_det);
  }
  if constexpr (kShader == kShadeTexture) {
    gs = Gradient(a.s_w, b->s_w, c->s_w, ex1, ey1, ex2, ey2, inv_det);
    gt = Gradient(a.t_w, b->t_w, c->t_w, ex1, ey1, ex2, ey2, inv_det);
  }
  const auto zdx = static_cast<float>(gz.dx);
  const auto ldx = static_cast<float>(gl.dx);
  const auto sdx = static_cast<float>(gs.dx);
  const auto tdx = static_cast<float>(gt.dx);
  const std::size_t width = static_cast<std::size_t>(area_.Width());
  const graphics::Color flat = shade.colour;
  const TextureView* tex = shade.texture;
  std::int64_t pixels = 0;

  for (int y = min_y; y <= max_y; ++y) {
    std::int64_t w0 = e0.value, w1 = e1.value, w2 = e2.value;
    const double oy = y - y0;
    float z = static_cast<float>(gz.At(min_x - x0, oy));
    float light = static_cast<float>(gl.At(min_x - x0, oy));
    float s_w = static_cast<float>(gs.At(min_x - x0, oy));
    float t_w = static_cast<float>(gt.At(min_x - x0, oy));
    float* depth =
        depth_.data() + static_cast<std::size_t>(y - area_.top) * width + static_cast<std::size_t>(min_x - area_.left);
    std::int32_t* ids = ids_.data() + (depth - depth_.data());
    std::uint8_t* px = graphics::PixelAt(bank_, min_x, y);
    bool entered = false;
    for (int x = min_x; x <= max_x; ++x) {
      if ((w0 | w1 | w2) >= 0) {
        entered = true;
        if (z > *depth) {
          if constexpr (kShader != kShadeTranslucent) *depth = z;
          *ids = shade.id;
          ++pixels;
          if constexpr (kShader == kShadeFlat) {
            px[0] = flat.b;
            px[1] = flat.g;
            px[2] = flat.r;
          } else if constexpr (kShader == kShadeSmooth) {
            px[0] = Byte(shade.base[0] * light);
            px[1] = Byte(shade.base[1] * light);
            px[2] = Byte(shade.base[2] * light);
          } else if constexpr (kShader == kShadeTexture) {
            const float inv = 1.0f / z;
            double u = tex->width * static_cast<double>(s_w * inv);
            double v = tex->height * static_cast<double>(t_w * inv);
            if (!(std::fabs(u) < 1e9)) u = 0;
            if (!(std::fabs(v) < 1e9)) v = 0;
            const int tu = Wrap(static_cast<int>(std::floor(u)), tex->width);
            const int tv = Wrap(static_cast<int>(std::floor(v)), tex->height);
            const std::uint8_t* texel = tex->row0 + tex->stride * tv + tu * 3;
            px[0] = Byte(texel[0] * shade.base[0] * light);
            px[1] = Byte(texel[1] * shade.base[1] * light);
            px[2] = Byte(texel[2] * shade.base[2] * light);
          } else if constexpr (kShader == kShadeTranslucent) {
            px[0] = static_cast<std::uint8_t>((px[0] + flat.b + 1) / 2);
            px[1] = static_cast<std::uint8_t>((px[1] + flat.g + 1) / 2);
            px[2] = static_cast<std::uint8_t>((px[2] + flat.r + 1) / 2);
          } else {
            const std::uint8_t grey = Byte((z - shade.depth_far) * shade.depth_scale);
            px[0] = px[1] = px[2] = grey;
          }
        }
      } else if (entered) {
        break;  // a triangle's row is one run: past it nothing more is inside
      }
      w0 += e0.step_x;
      w1 += e1.step_x;
      w2 += e2.step_x;
      z += zdx;
      if constexpr (kShader == kShadeSmooth || kShader == kShadeTexture) light += ldx;
      if constexpr (kShader == kShadeTexture) {
        s_w += sdx;
        t_w += tdx;
      }
      ++depth;
      ++ids;
      px += 3;
    }
    e0.value += e0.step_y;
    e1.value += e1.step_y;
    e2.value += e2.step_y;
  }
  band.pixels += pixels;
}

std::optional<Renderer::EdgeLine> Renderer::CutEdge(const ClipVertex& a0, const ClipVertex& b0) const {
  const Planes planes{near_, area_.left - 1.0, area_.right + 1.0, area_.top - 1.0, area_.bottom + 1.0};
  double t0 = 0, t1 = 1;
  for (int p = 0; p < kPlanes; ++p) {
    const double da = planes.Value(p, a0.cx, a0.cy, a0.w);
    const double db = planes.Value(p, b0.cx, b0.cy, b0.w);
    if (da < 0 && db < 0) return std::nullopt;
    if (da < 0) t0 = std::max(t0, da / (da - db));
    if (db < 0) t1 = std::min(t1, da / (da - db));
  }
  if (t0 > t1) return std::nullopt;
  auto at = [&](double t) {
    const double w = a0.w + (b0.w - a0.w) * t;
    return std::array<double, 3>{(a0.cx + (b0.cx - a0.cx) * t) / w, (a0.cy + (b0.cy - a0.cy) * t) / w, 1.0 / w};
  };
  const std::array<double, 3> p = at(t0);
  const std::array<double, 3> q = at(t1);
  const double steps = std::ceil(std::max(std::fabs(q[0] - p[0]), std::fabs(q[1] - p[1])));
  if (!std::isfinite(steps)) return std::nullopt;
  return EdgeLine{p, q, static_cast<int>(std::min(steps, 1e6))};
}

void Renderer::DrawEdge(const EdgeLine& line, graphics::Color colour, std::int32_t id, Band& band) {
  const std::array<double, 3>& p = line.p;
  const std::array<double, 3>& q = line.q;
  const int n = line.steps;
  const std::size_t width = static_cast<std::size_t>(area_.Width());
  for (int i = 0; i <= n; ++i) {
    const double t = n == 0 ? 0 : static_cast<double>(i) / n;
    const int x = static_cast<int>(std::lround(p[0] + (q[0] - p[0]) * t));
    const int y = static_cast<int>(std::lround(p[1] + (q[1] - p[1]) * t));
    if (x < area_.left || x > area_.right || y < band.top || y > band.bottom) continue;
    const auto z = static_cast<float>(p[2] + (q[2] - p[2]) * t);
    const std::size_t k = static_cast<std::size_t>(y - area_.top) * width + static_cast<std::size_t>(x - area_.left);
    if (z < depth_[k] * (1.0f - static_cast<float>(kEdgeDepthSlack))) continue;
    depth_[k] = std::max(depth_[k], z);
    ids_[k] = id;
    std::uint8_t* px = graphics::PixelAt(bank_, x, y);
    px[0] = colour.b;
    px[1] = colour.g;
    px[2] = colour.r;
    ++band.pixels;
  }
}

}  // namespace vx::geometry3d
