// The picture-processing family (ids 352-377): copies between banks and
// stored pictures, masks, turns, zooms, colour processing, thresholds,
// areas of one colour, and whole banks to and from files.
//
// Rectangles are x, y, width, height in script coordinates (a negative
// width or height reaches left or up). A source rectangle is read from its
// bank through a copy, cut to the bank; results are drawn into the current
// bank through the drawing clip and marked dirty. G_ERROR is 0 on success
// and 1 when a bank does not exist, nothing is left to work on, or an
// argument is out of its range.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <optional>
#include <string>

#include "api/api_ids.hpp"
#include "api/call.hpp"
#include "api/os_results.hpp"
#include "engine/runtime.hpp"
#include "graphics/image_analysis.hpp"
#include "graphics/picture_files.hpp"
#include "platform/files.hpp"

namespace vx::api {
namespace {

using graphics::Canvas;
using graphics::Color;
using graphics::Image;
using graphics::PixelRect;
using graphics::Point;
using graphics::Sampling;
using graphics::Vram;

Vram& V(Call& call) { return call.rt().vram; }
graphics::ImageState& State(Call& call) { return call.rt().images; }
Canvas Surface(Call& call) { return Canvas::Current(V(call)); }

int Coord(Call& call, int n) { return graphics::ClampCoord(call.Int(n)); }
int OptCoord(Call& call, int n, int fallback) { return graphics::ClampCoord(call.OptInt(n, fallback)); }

PixelRect RectArg(Call& call, int n) {
  const int x = Coord(call, n);
  const int y = Coord(call, n + 1);
  const int w = Coord(call, n + 2);
  const int h = Coord(call, n + 3);
  return graphics::NormalizedRect(x, y, w, h);
}

Color PackedArg(Call& call, int n, Color fallback) {
  return graphics::FromPacked(static_cast<std::uint32_t>(call.OptInt(n, static_cast<std::int32_t>(graphics::ToPacked(fallback)))));
}

void Touch(Vram& v, const PixelRect& r) {
  if (!r.Empty()) v.MarkDirty(r);
}

// Marks the area and reports success.
void Done(Call& call, const PixelRect& r) {
  Touch(V(call), r);
  call.SetError(0);
}

// A picture of the part of `rect` inside an existing bank; `shift` is where
// that part starts relative to the rectangle. nullopt (and G_ERROR 1) when
// the bank does not exist or the part is empty.
std::optional<Image> SourcePicture(Call& call, std::int32_t bank_index, const PixelRect& rect, Point* shift = nullptr) {
  const std::uint8_t* bank = V(call).Bank(bank_index);
  const PixelRect cut = graphics::Intersect(rect, graphics::kBankRect);
  if (bank == nullptr || rect.Empty() || cut.Empty()) {
    call.SetError(1);
    return std::nullopt;
  }
  if (shift != nullptr) *shift = Point{cut.left - rect.left, cut.top - rect.top};
  return graphics::CopyFromBank(bank, cut);
}

Point Moved(Point p, Point by) { return Point{p.x + by.x, p.y + by.y}; }

// A target size: 1 to IMAGE_EXTENT_MAX, else nullopt.
std::optional<int> Extent(std::int32_t v) {
  if (v < 1 || v > graphics::IMAGE_EXTENT_MAX) return std::nullopt;
  return v;
}

// --- copies

// RGBPCpy bank, x, y, width, height, planes [, to x, to y]: only the colour
// planes of the mask (1 red, 2 green, 4 blue) are copied.
void RGBPCpy(Call& call) {
  const std::int32_t bank = call.Int(0);
  const PixelRect from = RectArg(call, 1);
  const std::int32_t planes = call.Int(5);
  const Point to{OptCoord(call, 6, from.left), OptCoord(call, 7, from.top)};
  Point shift;
  const std::optional<Image> source = SourcePicture(call, bank, from, &shift);
  if (!source) return;
  Canvas canvas = Surface(call);
  const Point at = Moved(to, shift);
  graphics::CopyPlanes(canvas, *source, at, static_cast<unsigned>(planes));
  Done(call, PixelRect{at.x, at.y, at.x + source->width - 1, at.y + source->height - 1});
}

// VRamMulti bank, x, y, width, height [, to x, to y]: the current bank is
// multiplied by the source (component x component / 255).
void VRamMulti(Call& call) {
  const std::int32_t bank = call.Int(0);
  const PixelRect from = RectArg(call, 1);
  const Point to{OptCoord(call, 5, from.left), OptCoord(call, 6, from.top)};
  Point shift;
  const std::optional<Image> source = SourcePicture(call, bank, from, &shift);
  if (!source) return;
  Canvas canvas = Surface(call);
  const Point at = Moved(to, shift);
  graphics::Multiply(canvas, *source, at);
  Done(call, PixelRect{at.x, at.y, at.x + source->width - 1, at.y + source->height - 1});
}

// MaskCopy bank, mask bank, x, y, width, height [, to x, to y]: the mask's
// rectangle decides per component: black copies the source, white keeps
// the current bank, grey mixes.
void MaskCopy(Call& call) {
  const std::int32_t bank = call.Int(0);
  const std::int32_t mask_bank = call.Int(1);
  const PixelRect from = RectArg(call, 2);
  const Point to{OptCoord(call, 6, from.left), OptCoord(call, 7, from.top)};
  Point shift;
  const std::optional<Image> source = SourcePicture(call, bank, from, &shift);
  if (!source) return;
  const std::optional<Image> mask = SourcePicture(call, mask_bank, from);
  if (!mask) return;
  Canvas canvas = Surface(call);
  const Point at = Moved(to, shift);
  graphics::MaskedCopy(canvas, *source, *mask, at);
  Done(call, PixelRect{at.x, at.y, at.x + source->width - 1, at.y + source->height - 1});
}

// SetPicture index, bank, x, y, width, height: keeps a copy of the
// rectangle as picture `index` (0 to 63); an empty rectangle frees it.
void SetPicture(Call& call) {
  const std::int32_t index = call.Int(0);
  const std::int32_t bank = call.Int(1);
  const PixelRect from = RectArg(call, 2);
  if (index < 0 || index >= graphics::PICTURE_SLOTS || !V(call).Bank(bank)) {
    call.SetError(1);
    return;
  }
  graphics::ImageState& s = State(call);
  Image& slot = s.pictures[static_cast<std::size_t>(index)];
  Image copy = graphics::CopyFromBank(V(call).Bank(bank), from);
  if (s.picture_bytes - slot.Bytes() + copy.Bytes() > graphics::PICTURE_STORE_BYTES_MAX) {
    call.SetError(1);
    return;
  }
  s.picture_bytes = s.picture_bytes - slot.Bytes() + copy.Bytes();
  slot = std::move(copy);
  call.SetError(slot.Empty() ? 1 : 0);
}

// PutPicture index, x, y [, transparent 0xRRGGBB]: draws a kept picture.
void PutPicture(Call& call) {
  const std::int32_t index = call.Int(0);
  const Point to{Coord(call, 1), Coord(call, 2)};
  const bool keyed = call.Has(3);
  const Color key = PackedArg(call, 3, graphics::kWhite);
  if (index < 0 || index >= graphics::PICTURE_SLOTS || State(call).pictures[static_cast<std::size_t>(index)].Empty()) {
    call.SetError(1);
    return;
  }
  Canvas canvas = Surface(call);
  Done(call, graphics::DrawImage(canvas, State(call).pictures[static_cast<std::size_t>(index)], to, keyed ? &key : nullptr));
}

// CopyRect bank, x, y, width, height, to bank, to x, to y [, to width, to
// height]: a copy between banks; with a target size the rectangle is
// repeated over it (tiles start at to x, to y).
void CopyRect(Call& call) {
  const std::int32_t bank = call.Int(0);
  const PixelRect from = RectArg(call, 1);
  const std::int32_t to_bank = call.Int(5);
  const Point to{Coord(call, 6), Coord(call, 7)};
  const bool tiled = call.Has(8) || call.Has(9);
  const int tw = OptCoord(call, 8, from.Width());
  const int th = OptCoord(call, 9, from.Height());
  Point shift;
  const std::optional<Image> source = SourcePicture(call, bank, from, &shift);
  if (!source) return;
  std::uint8_t* target = V(call).Bank(to_bank);
  if (target == nullptr) {
    call.SetError(1);
    return;
  }
  const bool current = target == V(call).Current();
  const graphics::Surface s = graphics::SurfaceOf(V(call), target);
  Canvas canvas = current ? Surface(call) : Canvas(target, PixelRect{0, 0, s.width - 1, s.height - 1});
  PixelRect drawn;
  if (tiled) {
    drawn = graphics::NormalizedRect(to.x, to.y, tw, th);
    graphics::TileImage(canvas, *source, drawn, to);
  } else {
    drawn = graphics::DrawImage(canvas, *source, Moved(to, shift));
  }
  if (current) Touch(V(call), drawn);
  call.SetError(0);
}

// --- turns

double Degrees(Call& call, int n) {
  const double d = call.Double(n);
  return std::isfinite(d) ? d : 0.0;
}

Point CentreOf(const PixelRect& r) { return Point{r.left + (r.Width() - 1) / 2, r.top + (r.Height() - 1) / 2}; }

// RotateImg bank, x, y, width, height, degrees [, centre x, centre y]: the
// rectangle turned counter-clockwise about its centre, drawn centred on the
// given point (its own centre when left out). SetExGrPrm 0 chooses nearest
// pixel or bilinear sampling.
void RotateImg(Call& call) {
  const std::int32_t bank = call.Int(0);
  const PixelRect from = RectArg(call, 1);
  const double degrees = Degrees(call, 5);
  const Point c0 = from.Empty() ? Point{} : CentreOf(from);
  const Point centre{OptCoord(call, 6, c0.x), OptCoord(call, 7, c0.y)};
  const std::optional<Image> source = SourcePicture(call, bank, from);
  if (!source) return;
  Canvas canvas = Surface(call);
  Done(call, graphics::DrawRotated(canvas, *source, degrees, centre, State(call).settings.sampling, nullptr));
}

// RotateMskdImg bank, x, y, width, height, degrees, centre x, centre y [,
// transparent 0xRRGGBB]: as RotateImg, leaving out the transparent colour
// (SetExGrPrm 1, white at first).
void RotateMskdImg(Call& call) {
  const std::int32_t bank = call.Int(0);
  const PixelRect from = RectArg(call, 1);
  const double degrees = Degrees(call, 5);
  const Point centre{Coord(call, 6), Coord(call, 7)};
  const Color key = PackedArg(call, 8, State(call).settings.transparent);
  const std::optional<Image> source = SourcePicture(call, bank, from);
  if (!source) return;
  Canvas canvas = Surface(call);
  Done(call, graphics::DrawRotated(canvas, *source, degrees, centre, Sampling::kNearest, &key));
}

// RotateMskdShdw bank, x, y, width, height, degrees, centre x, centre y,
// dx, dy [, transparent, percent]: the shadow RotateMskdImg's picture
// would cast at (dx, dy): the current bank keeps `percent` (SetExGrPrm 2,
// 50 at first) of its brightness under it.
void RotateMskdShdw(Call& call) {
  const std::int32_t bank = call.Int(0);
  const PixelRect from = RectArg(call, 1);
  const double degrees = Degrees(call, 5);
  const Point centre{Coord(call, 6), Coord(call, 7)};
  const Point offset{Coord(call, 8), Coord(call, 9)};
  const Color key = PackedArg(call, 10, State(call).settings.transparent);
  const std::int32_t percent = call.OptInt(11, State(call).settings.shadow_percent);
  const std::optional<Image> source = SourcePicture(call, bank, from);
  if (!source) return;
  Canvas canvas = Surface(call);
  Done(call, graphics::DrawRotatedShadow(canvas, *source, degrees, centre, offset, percent, &key));
}

// SetExGrPrm which, value: 0 sampling of the turns and continuous zooms (0
// nearest, 1 bilinear); 1 the transparent colour of the masked turns; 2 the
// shadow's percent. G_WORK1 = the value before.
void SetExGrPrm(Call& call) {
  const std::int32_t which = call.Int(0);
  const std::int32_t value = call.Int(1);
  graphics::ImageSettings& s = State(call).settings;
  switch (which) {
    case 0:
      if (value != 0 && value != 1) break;
      call.SetWork(1, s.sampling == Sampling::kBilinear ? 1 : 0);
      s.sampling = value == 1 ? Sampling::kBilinear : Sampling::kNearest;
      call.SetError(0);
      return;
    case 1:
      call.SetWork(1, static_cast<std::int32_t>(graphics::ToPacked(s.transparent)));
      s.transparent = graphics::FromPacked(static_cast<std::uint32_t>(value));
      call.SetError(0);
      return;
    case 2:
      call.SetWork(1, s.shadow_percent);
      s.shadow_percent = std::clamp(value, 0, 100);
      call.SetError(0);
      return;
    default:
      break;
  }
  call.SetError(1);
}

// Circular bank, x, y, width, height, centre x, centre y, outer radius [,
// inner radius (0), start degrees (0)]: the rectangle wrapped into a ring,
// its columns clockwise from the start angle (0 = twelve o'clock), its top
// row outside.
void Circular(Call& call) {
  const std::int32_t bank = call.Int(0);
  const PixelRect from = RectArg(call, 1);
  const Point centre{Coord(call, 5), Coord(call, 6)};
  const int outer = graphics::ClampRadius(call.Int(7));
  const int inner = graphics::ClampRadius(call.OptInt(8, 0));
  const double start = call.OptDouble(9, 0.0);
  const std::optional<Image> source = SourcePicture(call, bank, from);
  if (!source) return;
  if (outer <= inner) {
    call.SetError(1);
    return;
  }
  Canvas canvas = Surface(call);
  Done(call, graphics::DrawRing(canvas, *source, centre, outer, inner, std::isfinite(start) ? start : 0.0));
}

// --- zooms

Image Cropped(const Image& image, int width, int height) {
  if (width == image.width && height == image.height) return image;
  Image out(width, height);
  for (int y = 0; y < height; ++y) std::copy_n(image.Row(y), static_cast<std::size_t>(width) * 3, out.Row(y));
  return out;
}

// ZoomDnImg bank, x, y, width, height, factor [, to x, to y]: reduced by a
// whole factor, each pixel the average of a factor x factor block; the
// columns and rows left over are dropped.
void ZoomDnImg(Call& call) {
  const std::int32_t bank = call.Int(0);
  const PixelRect from = RectArg(call, 1);
  const std::int32_t factor = call.Int(5);
  const Point to{OptCoord(call, 6, from.left), OptCoord(call, 7, from.top)};
  const std::optional<Image> source = SourcePicture(call, bank, from);
  if (!source) return;
  if (factor < 1 || source->width < factor || source->height < factor) {
    call.SetError(1);
    return;
  }
  const int ow = source->width / factor;
  const int oh = source->height / factor;
  Canvas canvas = Surface(call);
  const PixelRect target{to.x, to.y, to.x + ow - 1, to.y + oh - 1};
  Done(call, graphics::DrawResampled(canvas, Cropped(*source, ow * factor, oh * factor), target,
                                     Sampling::kNearest, true));
}

// The target rectangle of the zooms: to x, to y, to width, to height.
std::optional<PixelRect> TargetArg(Call& call, int n) {
  const Point to{Coord(call, n), Coord(call, n + 1)};
  const std::optional<int> w = Extent(call.Int(n + 2));
  const std::optional<int> h = Extent(call.Int(n + 3));
  if (!w || !h) return std::nullopt;
  return PixelRect{to.x, to.y, to.x + *w - 1, to.y + *h - 1};
}

void ZoomTo(Call& call, Sampling sampling, bool area_average) {
  const std::int32_t bank = call.Int(0);
  const PixelRect from = RectArg(call, 1);
  const std::optional<PixelRect> target = TargetArg(call, 5);
  const std::optional<Image> source = SourcePicture(call, bank, from);
  if (!source) return;
  if (!target) {
    call.SetError(1);
    return;
  }
  Canvas canvas = Surface(call);
  Done(call, graphics::DrawResampled(canvas, *source, *target, sampling, area_average));
}

// InstantZoom bank, x, y, width, height, to x, to y, to width, to height:
// nearest pixel, the quickest.
void InstantZoom(Call& call) { ZoomTo(call, Sampling::kNearest, false); }
// ZoomWdHt (same arguments): area averaging, for any size.
void ZoomWdHt(Call& call) { ZoomTo(call, Sampling::kNearest, true); }
// ZoomUpWdHt (same arguments): bilinear interpolation, for enlarging.
void ZoomUpWdHt(Call& call) { ZoomTo(call, Sampling::kBilinear, false); }

// ZoomContinuous bank, x, y, width, height, factor, centre x, centre y: the
// rectangle times the factor (any positive real), centred on the point;
// reductions average areas, enlargements sample as SetExGrPrm 0 says.
void ZoomContinuous(Call& call) {
  const std::int32_t bank = call.Int(0);
  const PixelRect from = RectArg(call, 1);
  const double factor = call.Double(5);
  const Point centre{Coord(call, 6), Coord(call, 7)};
  const std::optional<Image> source = SourcePicture(call, bank, from);
  if (!source) return;
  if (!(factor > 0.0) || !std::isfinite(factor)) {
    call.SetError(1);
    return;
  }
  const double limit = graphics::IMAGE_EXTENT_MAX;
  const int ow = static_cast<int>(std::clamp(std::round(source->width * factor), 1.0, limit));
  const int oh = static_cast<int>(std::clamp(std::round(source->height * factor), 1.0, limit));
  const int left = std::clamp(centre.x - (ow - 1) / 2, -graphics::COORD_LIMIT, graphics::COORD_LIMIT);
  const int top = std::clamp(centre.y - (oh - 1) / 2, -graphics::COORD_LIMIT, graphics::COORD_LIMIT);
  const PixelRect target{left, top, left + ow - 1, top + oh - 1};
  Canvas canvas = Surface(call);
  Done(call, graphics::DrawResampled(canvas, *source, target, State(call).settings.sampling, factor <= 1.0));
}

// RefractImg x, y, width, height, centre x, centre y, radius, strength: a
// lens over the area (strength -100 to 100 percent; positive magnifies).
void RefractImg(Call& call) {
  const PixelRect area = RectArg(call, 0);
  const Point centre{Coord(call, 4), Coord(call, 5)};
  const int radius = graphics::ClampRadius(call.Int(6));
  const std::int32_t strength = call.Int(7);
  if (radius < 1 || area.Empty()) {
    call.SetError(1);
    return;
  }
  Canvas canvas = Surface(call);
  graphics::Refract(canvas, area, centre, radius, strength);
  Done(call, area);
}

// --- colour processing in place

// PlaneExpand x, y, width, height, plane: the plane (0 red, 1 green, 2
// blue) shown as grey.
void PlaneExpand(Call& call) {
  const PixelRect area = RectArg(call, 0);
  const std::int32_t plane = call.Int(4);
  if (plane < 0 || plane > 2) {
    call.SetError(1);
    return;
  }
  Canvas canvas = Surface(call);
  graphics::ExpandPlane(canvas, area, plane);
  Done(call, area);
}

// PlaneShift x, y, width, height, planes, dx, dy: the planes of the mask
// (1 red, 2 green, 4 blue) move by (dx, dy) inside the area.
void PlaneShift(Call& call) {
  const PixelRect area = RectArg(call, 0);
  const std::int32_t planes = call.Int(4);
  const int dx = Coord(call, 5);
  const int dy = Coord(call, 6);
  Canvas canvas = Surface(call);
  graphics::ShiftPlanes(canvas, area, static_cast<unsigned>(planes), dx, dy);
  Done(call, area);
}

// ColProcess x, y, width, height, mode [, parameter]: 0 grey, 1 negative,
// 2 sepia, 3 brightness + parameter, 4 contrast in percent, 5 gamma x 100,
// 6 red and blue swapped, 7 tinted by the packed colour.
void ColProcess(Call& call) {
  const PixelRect area = RectArg(call, 0);
  const std::int32_t mode = call.Int(4);
  const std::int32_t parameter = call.OptInt(5, mode == graphics::COLOUR_CONTRAST || mode == graphics::COLOUR_GAMMA ? 100 : 0);
  Canvas canvas = Surface(call);
  if (!graphics::ProcessColours(canvas, area, mode, parameter)) {
    call.SetError(1);
    return;
  }
  Done(call, area);
}

// ReduceCol x, y, width, height, levels [, dither]: each component to
// `levels` values (2 to 256); dithered with a 4 x 4 pattern when asked.
void ReduceCol(Call& call) {
  const PixelRect area = RectArg(call, 0);
  const std::int32_t levels = call.Int(4);
  const bool dither = call.OptInt(5, 0) != 0;
  if (levels < 2 || levels > 256) {
    call.SetError(1);
    return;
  }
  Canvas canvas = Surface(call);
  graphics::ReduceColours(canvas, area, levels, dither);
  Done(call, area);
}

// ThreCol x, y, width, height, threshold [, high 0xRRGGBB (white), low
// (black)]: two colours by brightness. G_WORK1 = pixels at or above.
void ThreCol(Call& call) {
  const PixelRect area = RectArg(call, 0);
  const std::int32_t threshold = call.Int(4);
  const Color high = PackedArg(call, 5, graphics::kWhite);
  const Color low = PackedArg(call, 6, graphics::kBlack);
  Canvas canvas = Surface(call);
  const std::int64_t n = graphics::Threshold(canvas, area, threshold, high, low);
  call.SetWork(1, static_cast<std::int32_t>(std::min<std::int64_t>(n, INT32_MAX)));
  Done(call, area);
}

// --- areas of one colour

void ReportRegion(Call& call, const graphics::Region& region, std::int32_t out_count) {
  const PixelRect& b = region.box;
  const bool found = region.pixels > 0;
  call.SetWork(1, found ? b.left : 0);
  call.SetWork(2, found ? b.top : 0);
  call.SetWork(3, found ? b.Width() : 0);
  call.SetWork(4, found ? b.Height() : 0);
  if (out_count >= 0) call.WriteInt(out_count, static_cast<std::int32_t>(std::min<std::int64_t>(region.pixels, INT32_MAX)));
  call.SetError(found ? 0 : 1);
}

PixelRect SurfaceRect(Call& call) {
  const graphics::Surface s = graphics::SurfaceOf(V(call), nullptr);
  return PixelRect{0, 0, s.width - 1, s.height - 1};
}

// GetOneClrArea x, y [, tolerance (0), out count, bank]: the 4-connected
// area around the point of colours within the tolerance of its colour.
// G_WORK1-4 = left, top, width, height; the count in the output.
void GetOneClrArea(Call& call) {
  const Point seed{Coord(call, 0), Coord(call, 1)};
  const std::int32_t tolerance = call.OptInt(2, 0);
  const std::int32_t out = call.OptResource(3);
  const std::int32_t bank = call.OptInt(4, -1);
  const std::uint8_t* b = V(call).Bank(bank);
  const graphics::Region region =
      b == nullptr ? graphics::Region{} : graphics::ConnectedArea(b, SurfaceRect(call), seed, tolerance);
  ReportRegion(call, region, out);
}

// GetClrRangeArea x, y, width, height, low 0xRRGGBB, high 0xRRGGBB [, out
// count, bank]: the pixels whose components all lie in the range.
void GetClrRangeArea(Call& call) {
  const PixelRect area = RectArg(call, 0);
  const Color low = graphics::FromPacked(static_cast<std::uint32_t>(call.Int(4)));
  const Color high = graphics::FromPacked(static_cast<std::uint32_t>(call.Int(5)));
  const std::int32_t out = call.OptResource(6);
  const std::int32_t bank = call.OptInt(7, -1);
  const std::uint8_t* b = V(call).Bank(bank);
  const graphics::Region region = b == nullptr ? graphics::Region{}
                                               : graphics::ColourRangeArea(b, graphics::Intersect(area, SurfaceRect(call)), low, high);
  ReportRegion(call, region, out);
}

// --- whole banks and files

// BankLoadFile bank, file: a 24-bit BMP with its top-left at (0, 0) of the
// bank, cut to the bank.
void BankLoadFile(Call& call) {
  const std::int32_t bank_index = call.Int(0);
  std::string& file = call.Small(0);
  call.String(1, file);
  std::uint8_t* bank = V(call).Bank(bank_index);
  graphics::FileSource source(file);
  if (bank == nullptr || !source.Ok()) {
    call.SetError(1);
    return;
  }
  const graphics::Surface whole{bank, graphics::VRAM_WIDTH, graphics::VRAM_HEIGHT};
  const graphics::BmpLoadResult r = graphics::LoadBmp(source, whole, 0, 0, graphics::VRAM_WIDTH, graphics::VRAM_HEIGHT);
  if (r.status != graphics::BmpLoadStatus::kUnreadable) {
    State(call).last_width = static_cast<int>(r.header.Columns());
    State(call).last_height = static_cast<int>(std::min<std::int64_t>(r.header.Rows(), INT32_MAX));
  }
  if (bank == V(call).Current()) V(call).MarkAllDirty();
  call.SetError(r.status == graphics::BmpLoadStatus::kOk ? 0 : 1);
}

// BankBackFile bank, file: the whole bank as a 24-bit BMP (2600 x 2000).
void BankBackFile(Call& call) {
  const std::int32_t bank_index = call.Int(0);
  std::string& file = call.Small(0);
  call.String(1, file);
  const graphics::BankPixels bank = V(call).Pixels(bank_index);
  if (!bank) {
    call.SetError(1);
    return;
  }
  ReportSystemResult(call, files::ReplaceFile(file, graphics::EncodeBmp(bank, graphics::kBankRect)));
}

constexpr Registration kImageProcessingApis[] = {
    {Id("RGBPCpy"), RGBPCpy},
    {Id("VRamMulti"), VRamMulti},
    {Id("MaskCopy"), MaskCopy},
    {Id("SetPicture"), SetPicture},
    {Id("PutPicture"), PutPicture},
    {Id("RotateImg"), RotateImg},
    {Id("Circular"), Circular},
    {Id("PlaneExpand"), PlaneExpand},
    {Id("PlaneShift"), PlaneShift},
    {Id("ZoomDnImg"), ZoomDnImg},
    {Id("InstantZoom"), InstantZoom},
    {Id("RotateMskdImg"), RotateMskdImg},
    {Id("RotateMskdShdw"), RotateMskdShdw},
    {Id("SetExGrPrm"), SetExGrPrm},
    {Id("CopyRect"), CopyRect},
    {Id("ColProcess"), ColProcess},
    {Id("ReduceCol"), ReduceCol},
    {Id("ThreCol"), ThreCol},
    {Id("GetOneClrArea"), GetOneClrArea},
    {Id("GetClrRangeArea"), GetClrRangeArea},
    {Id("BankLoadFile"), BankLoadFile},
    {Id("BankBackFile"), BankBackFile},
    {Id("ZoomWdHt"), ZoomWdHt},
    {Id("ZoomUpWdHt"), ZoomUpWdHt},
    {Id("ZoomContinuous"), ZoomContinuous},
    {Id("RefractImg"), RefractImg},
};

}  // namespace

void RegisterImageProcessingApis(Registry& registry) { registry.AddAll(kImageProcessingApis); }

}  // namespace vx::api
