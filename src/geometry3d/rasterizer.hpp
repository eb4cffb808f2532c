#pragma once
// The face renderer: faces of a store projected through the view, clipped at
// the near plane and the drawing area, and filled into a bank with a depth
// buffer (1 / depth, larger is nearer), flat or smooth light, image mapping
// and an id buffer that remembers which face owns each pixel (picking).
//
// Pixels are sampled at their centres (integer surface coordinates) with the
// top-left fill rule, so two faces sharing an edge never both draw a pixel of
// it and never both leave it out.
//
// Large draws are spread over the thread pool by bands of rows: the faces
// are set up in order on the calling thread, then every band draws every
// face cut to its own rows, in the same order, so each pixel sees the same
// writes in the same order as on one thread.
#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <vector>

#include "geometry3d/polygon_store.hpp"
#include "geometry3d/vector_math.hpp"
#include "geometry3d/view.hpp"
#include "graphics/vram.hpp"

namespace vx::geometry3d {

// Draw modes (DrwAllPgn, DrwPgn); any other value draws as kDrawFlat.
enum DrawMode : std::int32_t {
  kDrawFlat = 0,          // one lit colour per face
  kDrawSmooth = 1,        // light computed at the corners and blended (Gouraud)
  kDrawUnlit = 2,         // the face colour as it is
  kDrawOutlined = 3,      // flat, with the edges in the edge colour
  kDrawEdges = 4,         // edges only, each in its face's lit colour
  kDrawDepth = 7,         // grey by nearness
  kDrawNormals = 8,       // the normal seen, as a colour
  kDrawTranslucent = 21,  // flat, averaged with the picture, depth not written
};

// Shape codes: 0, 1, 16 are lit, 2, 3, 18 take their colour unlit; 0 and 2
// are parallelograms (VB, VB+VH, VB+VH+VV, VB+VV), 1 and 3 triangles (VB,
// VB+VH, VB+VV), 16 and 18 the parallelogram's outline. Others are skipped.
struct ShapeKind {
  bool drawn = false;
  bool triangle = false;
  bool edges_only = false;
  bool lit = true;
};
ShapeKind KindOfShape(std::int32_t shape);

struct Light {
  bool directional = false;
  Vec3 position{480, 130, 390};
  Vec3 direction{-1, -1, -2};  // the way a directional light travels
  Vec3 colour{1, 1, 1};        // multipliers, 1 for 255
  double ambient = 0.25;       // brightness of a side the light does not reach
};

// How an image lies on a face: VB + s·VH + t·VV shows image pixel
// (origin_u + s·W·zoom_u, origin_v + (1 − t)·H·zoom_v), repeated.
struct ImageMapping {
  double origin_u = 0;
  double origin_v = 0;
  double zoom_u = 1;
  double zoom_v = 1;
};

// An image read in place: `row0` is its top row, rows `stride` bytes apart
// (negative for the bottom-up banks), blue, green, red.
struct TextureView {
  const std::uint8_t* row0 = nullptr;
  std::ptrdiff_t stride = 0;
  int width = 0;
  int height = 0;
};
using TextureLookup = std::function<std::optional<TextureView>(const Face&)>;

struct DrawSettings {
  std::int32_t mode = kDrawFlat;
  Light light;
  ImageMapping mapping;
  graphics::Color edge_colour{255, 255, 255};
};

struct DrawStats {
  std::int32_t faces_drawn = 0;    // faces with at least one pixel
  std::int32_t faces_skipped = 0;  // unknown shape, zero normal or not finite
  std::int64_t pixels = 0;
};

inline constexpr double kNearRatio = 1e-3;  // near plane, as a share of the eye-to-screen distance

class Renderer {
 public:
  // Targets `bank` inside `area` (surface coordinates, inside the bank).
  // The depth and id buffers are kept while the area stays the same and
  // `clear` is false, so several draws make one picture.
  void Begin(std::uint8_t* bank, const graphics::PixelRect& area, const Camera& camera, bool clear);
  // Draws faces[k] as face number first_index + k.
  void DrawFaces(std::span<const Face> faces, std::size_t first_index, const DrawSettings& settings,
                 const TextureLookup& textures);
  // Empties the depth and id buffers.
  void ClearBuffers();
  // Pixels of `r` (cut to the area) behave as if a surface `distance` in
  // front of the eye covered them, owned by no face.
  void SetDepthRect(const graphics::PixelRect& r, double distance);
  // The face that owns surface pixel (x, y) after the draws so far.
  std::optional<std::int32_t> FaceAt(int x, int y) const;
  const DrawStats& Stats() const { return stats_; }
  const graphics::PixelRect& Area() const { return area_; }

  // A vertex after projection: surface x, y, 1 / depth and what is blended.
  struct ScreenVertex {
    double x, y, inv_w;
    float light, s_w, t_w;  // light level; image s and t over depth
  };

 private:
  struct ClipVertex {
    double cx, cy, w;
    float light, s, t;
  };
  struct FaceShading;
  struct FaceJob;
  // Rows [top, bottom] of the area one thread draws, and the pixels it drew
  // for the current face.
  struct Band {
    int top = 0;
    int bottom = 0;
    std::int64_t pixels = 0;
  };

  // An edge cut to the area: from p to q in `steps` pixel steps (x, y and
  // 1 / depth).
  struct EdgeLine {
    std::array<double, 3> p, q;
    int steps;
  };

  ClipVertex ToClip(Vec3 q, float light, float s, float t) const;
  // Draws jobs in order over the whole area, in bands when it is worth it.
  void DrawJobs(std::span<const FaceJob> jobs, bool in_bands);
  void DrawJob(const FaceJob& job, Band& band);
  // Cuts a polygon at the near plane and the guard band and writes its
  // corners on the screen; returns how many (0 when nothing is left to
  // fill).
  static constexpr std::size_t kClipVerticesMax = 16;  // 4 corners + one per cutting plane, with room
  std::size_t ProjectPolygon(std::span<const ClipVertex> corners,
                             std::array<ScreenVertex, kClipVerticesMax>& screen) const;
  std::optional<EdgeLine> CutEdge(const ClipVertex& a, const ClipVertex& b) const;
  void DrawEdge(const EdgeLine& line, graphics::Color colour, std::int32_t id, Band& band);
  void FillTriangle(const ScreenVertex& a, const ScreenVertex& b, const ScreenVertex& c, const FaceShading& shade,
                    Band& band);
  template <int kShader>
  void Raster(const ScreenVertex& a, const ScreenVertex& b, const ScreenVertex& c, const FaceShading& shade,
              Band& band);
  // True when the image reads the bank being drawn into: such a face must
  // see the faces before it drawn and the ones after it not yet.
  bool ReadsTarget(const TextureView& texture) const;

  std::uint8_t* bank_ = nullptr;
  graphics::PixelRect area_;
  Camera camera_;
  double near_ = 0;
  std::vector<float> depth_;
  std::vector<std::int32_t> ids_;
  DrawStats stats_;
};

}  // namespace vx::geometry3d
