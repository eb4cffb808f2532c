// The picture-analysis family (ids 318-327): rectangles, content boxes,
// blobs, runs along a line, parts, histograms, comparisons, statistics,
// line profiles and neighbourhood filters.
//
// The measuring APIs read a bank (the current one unless a bank argument
// says otherwise; negative: current) and leave numbers in G_WORK1-4 and
// G_DBLWK1-6 and lists in G_TXT, one entry a line (CR LF), as many whole
// lines as G_TXT holds. G_ERROR is 0 on success, 1 when a bank does not
// exist, an argument is out of range or nothing was found.
#include <algorithm>
#include <cinttypes>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "api/api_ids.hpp"
#include "api/call.hpp"
#include "engine/runtime.hpp"
#include "graphics/image_analysis.hpp"
#include "graphics/image_state.hpp"
#include "graphics/picture_files.hpp"

namespace vx::api {
namespace {

using graphics::Canvas;
using graphics::Color;
using graphics::PixelRect;
using graphics::Point;
using graphics::Region;
using graphics::Vram;

// G_TXT's buffer holds 16000 bytes with the terminating NUL.
constexpr std::size_t TXT_TEXT_MAX = 15999;

Vram& V(Call& call) { return call.rt().vram; }
graphics::ImageState& State(Call& call) { return call.rt().images; }

int Coord(Call& call, int n) { return graphics::ClampCoord(call.Int(n)); }

PixelRect RectArg(Call& call, int n) {
  const int x = Coord(call, n);
  const int y = Coord(call, n + 1);
  const int w = Coord(call, n + 2);
  const int h = Coord(call, n + 3);
  return graphics::NormalizedRect(x, y, w, h);
}

PixelRect SurfaceRect(Call& call) {
  const graphics::Surface s = graphics::SurfaceOf(V(call), nullptr);
  return PixelRect{0, 0, s.width - 1, s.height - 1};
}

// The bank of an optional bank argument; null and G_ERROR 1 when it does
// not exist.
const std::uint8_t* BankArg(Call& call, int n) {
  const std::uint8_t* bank = V(call).Bank(call.OptInt(n, -1));
  if (bank == nullptr) call.SetError(1);
  return bank;
}

std::int32_t Narrow(std::int64_t v) { return static_cast<std::int32_t>(std::clamp<std::int64_t>(v, INT32_MIN, INT32_MAX)); }

// Whole lines while they fit in G_TXT.
class LineList {
 public:
  void Add(const std::string& line) {
    if (full_ || text_.size() + line.size() + 2 > TXT_TEXT_MAX) {
      full_ = true;
      return;
    }
    text_ += line;
    text_ += "\r\n";
  }
  const std::string& Text() const { return text_; }

 private:
  std::string text_;
  bool full_ = false;
};

std::string Hex6(Color c) {
  char buffer[8];
  std::snprintf(buffer, sizeof buffer, "%06" PRIX32, graphics::ToPacked(c));
  return buffer;
}

std::string Join(std::initializer_list<std::int64_t> values) {
  std::string out;
  for (std::int64_t v : values) {
    if (!out.empty()) out += ',';
    out += std::to_string(v);
  }
  return out;
}

// RectCnv x, y, width, height [, form (0)]: the rectangle with negative
// sizes turned round and cut to the surface. Form 0: G_WORK1-4 = left,
// top, right, bottom; form 1: left, top, width, height.
void RectCnv(Call& call) {
  const PixelRect r = graphics::Intersect(RectArg(call, 0), SurfaceRect(call));
  const std::int32_t form = call.OptInt(4, 0);
  if (r.Empty() || (form != 0 && form != 1)) {
    call.SetError(1);
    return;
  }
  call.SetWork(1, r.left);
  call.SetWork(2, r.top);
  call.SetWork(3, form == 0 ? r.right : r.Width());
  call.SetWork(4, form == 0 ? r.bottom : r.Height());
  call.SetError(0);
}

// ScanArea x, y, width, height [, background 0xRRGGBB (white), tolerance
// (0), bank]: the box around everything that is not background. G_WORK1-4
// = left, top, width, height; G_DBLWK1 = the pixel count.
void ScanArea(Call& call) {
  const PixelRect area = graphics::Intersect(RectArg(call, 0), SurfaceRect(call));
  const Color background = graphics::FromPacked(static_cast<std::uint32_t>(call.OptInt(4, 0xFFFFFF)));
  const std::int32_t tolerance = call.OptInt(5, 0);
  const std::uint8_t* bank = BankArg(call, 6);
  if (bank == nullptr) return;
  const Region r = graphics::ContentArea(bank, area, background, tolerance);
  const bool found = r.pixels > 0;
  call.SetWork(1, found ? r.box.left : 0);
  call.SetWork(2, found ? r.box.top : 0);
  call.SetWork(3, found ? r.box.Width() : 0);
  call.SetWork(4, found ? r.box.Height() : 0);
  call.SetDblWork(1, static_cast<double>(r.pixels));
  call.SetError(found ? 0 : 1);
}

// ScanLoaf x, y, width, height [, background (white), tolerance (0),
// minimum pixels (1), bank]: the 8-connected blobs of non-background
// pixels. G_WORK1 = how many; G_TXT one line each, "left,top,width,
// height,pixels", top to bottom. ManageParts 5 makes parts of them.
void ScanLoaf(Call& call) {
  const PixelRect area = graphics::Intersect(RectArg(call, 0), SurfaceRect(call));
  const Color background = graphics::FromPacked(static_cast<std::uint32_t>(call.OptInt(4, 0xFFFFFF)));
  const std::int32_t tolerance = call.OptInt(5, 0);
  const std::int32_t minimum = std::max(call.OptInt(6, 1), 1);
  const std::int32_t bank_index = call.OptInt(7, -1);
  const std::uint8_t* bank = V(call).Bank(bank_index);
  if (bank == nullptr) {
    call.SetError(1);
    return;
  }
  std::int64_t total = 0;
  std::vector<Region> blobs =
      graphics::FindBlobs(bank, area, background, tolerance, minimum, graphics::BLOBS_KEPT_MAX, &total);
  LineList lines;
  for (const Region& b : blobs) lines.Add(Join({b.box.left, b.box.top, b.box.Width(), b.box.Height(), b.pixels}));
  call.SetTxt(lines.Text());
  call.SetWork(1, Narrow(total));
  State(call).blobs = std::move(blobs);
  State(call).blob_bank = bank_index < 0 ? V(call).CurrentIndex() : bank_index;
  call.SetError(0);
}

// ScanLine x, y, length [, vertical (0), tolerance (0), bank]: runs of
// like colours along a row (or a column). G_WORK1 = how many; G_TXT one
// line each, "start,length,RRGGBB" (start from 0 along the line).
void ScanLine(Call& call) {
  const Point start{Coord(call, 0), Coord(call, 1)};
  const std::int32_t length = std::clamp(call.Int(2), 0, graphics::VRAM_WIDTH + graphics::VRAM_HEIGHT);
  const bool vertical = call.OptInt(3, 0) != 0;
  const std::int32_t tolerance = call.OptInt(4, 0);
  const std::uint8_t* bank = BankArg(call, 5);
  if (bank == nullptr) return;
  const std::vector<graphics::Run> runs = graphics::ScanRuns(bank, start, length, vertical, tolerance);
  LineList lines;
  for (const graphics::Run& r : runs) lines.Add(Join({r.start, r.length}) + "," + Hex6(r.colour));
  call.SetTxt(lines.Text());
  call.SetWork(1, Narrow(static_cast<std::int64_t>(runs.size())));
  call.SetError(runs.empty() ? 1 : 0);
}

// ManageParts command, ...: a table of 256 parts, each a rectangle of a
// bank.
//   0 [index]                       forget one part, or all
//   1 index, bank, x, y, w, h       define a part
//   2 index, x, y [, transparent]   draw it into the current bank
//   3 index [, out bank]            G_WORK1-4 = its x, y, width, height
//   4                               G_WORK1 = the parts defined
//   5 [first (0)]                   the last ScanLoaf's blobs become parts
//                                   first, first + 1, ...; G_WORK1 = how many
graphics::Part* PartArg(Call& call, std::int32_t index) {
  if (index < 0 || index >= graphics::PARTS_MAX) return nullptr;
  return &State(call).parts[static_cast<std::size_t>(index)];
}

void DrawPart(Call& call) {
  const std::int32_t index = call.Int(1);
  const Point to{Coord(call, 2), Coord(call, 3)};
  const bool keyed = call.Has(4);
  const Color key = graphics::FromPacked(static_cast<std::uint32_t>(call.OptInt(4, 0xFFFFFF)));
  graphics::Part* part = PartArg(call, index);
  const std::uint8_t* bank = part != nullptr && part->used ? V(call).Bank(part->bank) : nullptr;
  if (bank == nullptr) {
    call.SetError(1);
    return;
  }
  const graphics::Image picture = graphics::CopyFromBank(bank, part->rect);
  Canvas canvas = Canvas::Current(V(call));
  const PixelRect drawn = graphics::DrawImage(canvas, picture, to, keyed ? &key : nullptr);
  if (!drawn.Empty()) V(call).MarkDirty(drawn);
  call.SetError(0);
}

void ManageParts(Call& call) {
  const std::int32_t command = call.Int(0);
  auto& parts = State(call).parts;
  switch (command) {
    case 0: {
      if (!call.Has(1)) {
        parts.fill(graphics::Part{});
        call.SetError(0);
        return;
      }
      graphics::Part* part = PartArg(call, call.Int(1));
      if (part != nullptr) *part = graphics::Part{};
      call.SetError(part != nullptr ? 0 : 1);
      return;
    }
    case 1: {
      const std::int32_t index = call.Int(1);
      const std::int32_t bank = call.Int(2);
      const PixelRect rect = graphics::Intersect(RectArg(call, 3), graphics::kBankRect);
      graphics::Part* part = PartArg(call, index);
      if (part == nullptr || V(call).Bank(bank) == nullptr || rect.Empty()) {
        call.SetError(1);
        return;
      }
      *part = graphics::Part{true, bank < 0 ? V(call).CurrentIndex() : bank, rect};
      call.SetError(0);
      return;
    }
    case 2:
      DrawPart(call);
      return;
    case 3: {
      graphics::Part* part = PartArg(call, call.Int(1));
      const std::int32_t out = call.OptResource(2);
      if (part == nullptr || !part->used) {
        call.SetError(1);
        return;
      }
      call.SetWork(1, part->rect.left);
      call.SetWork(2, part->rect.top);
      call.SetWork(3, part->rect.Width());
      call.SetWork(4, part->rect.Height());
      if (out >= 0) call.WriteInt(out, part->bank);
      call.SetError(0);
      return;
    }
    case 4:
      call.SetWork(1, static_cast<std::int32_t>(
                          std::count_if(parts.begin(), parts.end(), [](const graphics::Part& p) { return p.used; })));
      call.SetError(0);
      return;
    case 5: {
      const std::int32_t first = call.OptInt(1, 0);
      if (first < 0 || first >= graphics::PARTS_MAX) {
        call.SetError(1);
        return;
      }
      const auto& blobs = State(call).blobs;
      std::int32_t made = 0;
      for (std::size_t i = 0; i < blobs.size() && first + made < graphics::PARTS_MAX; ++i, ++made) {
        parts[static_cast<std::size_t>(first + made)] = graphics::Part{true, State(call).blob_bank, blobs[i].box};
      }
      call.SetWork(1, made);
      call.SetError(0);
      return;
    }
    default:
      call.SetError(1);
      return;
  }
}

// ColHistogram x, y, width, height [, plane (3), bank]: the counts of the
// 256 values of a plane (0 red, 1 green, 2 blue, 3 brightness) in G_TXT,
// comma-separated on one line. G_WORK1 = the most frequent value, G_WORK2
// its count, G_WORK3 the lowest value, G_WORK4 the highest; G_DBLWK1 =
// the mean, G_DBLWK2 = the standard deviation.
void ColHistogram(Call& call) {
  const PixelRect area = graphics::Intersect(RectArg(call, 0), SurfaceRect(call));
  const std::int32_t plane = call.OptInt(4, graphics::PLANE_BRIGHTNESS);
  const std::uint8_t* bank = BankArg(call, 5);
  if (bank == nullptr) return;
  if (plane < 0 || plane > graphics::PLANE_BRIGHTNESS || area.Empty()) {
    call.SetError(1);
    return;
  }
  const graphics::Histogram h = graphics::ComputeHistogram(bank, area, plane);
  std::string text;
  for (std::size_t v = 0; v < h.counts.size(); ++v) {
    if (v > 0) text += ',';
    text += std::to_string(h.counts[v]);
  }
  text += "\r\n";
  call.SetTxt(text);
  call.SetWork(1, h.mode);
  call.SetWork(2, Narrow(h.counts[static_cast<std::size_t>(h.mode)]));
  call.SetWork(3, h.minimum);
  call.SetWork(4, h.maximum);
  call.SetDblWork(1, h.mean);
  call.SetDblWork(2, h.deviation);
  call.SetError(0);
}

// CmpImage bank a, x, y, width, height, bank b, x b, y b [, tolerance
// (0)]: pixel by pixel. G_WORK1 = pixels that differ by more than the
// tolerance in some component, G_WORK2 = the largest component difference,
// G_WORK3 = pixels compared; G_DBLWK1 = mean component difference,
// G_DBLWK2 = percent of pixels that differ, G_DBLWK3-6 = left, top, width,
// height of the differences (in a's coordinates).
void CmpImage(Call& call) {
  const std::int32_t bank_a = call.Int(0);
  const PixelRect area = RectArg(call, 1);
  const std::int32_t bank_b = call.Int(5);
  const Point other{Coord(call, 6), Coord(call, 7)};
  const std::int32_t tolerance = call.OptInt(8, 0);
  const std::uint8_t* a = V(call).Bank(bank_a);
  const std::uint8_t* b = V(call).Bank(bank_b);
  const graphics::Comparison c = graphics::Compare(a, area, b, other, tolerance);
  if (a == nullptr || b == nullptr || c.pixels == 0) {
    call.SetError(1);
    return;
  }
  const bool any = c.different > 0;
  call.SetWork(1, Narrow(c.different));
  call.SetWork(2, c.largest);
  call.SetWork(3, Narrow(c.pixels));
  call.SetDblWork(1, c.mean);
  call.SetDblWork(2, 100.0 * static_cast<double>(c.different) / static_cast<double>(c.pixels));
  call.SetDblWork(3, any ? c.box.left : 0);
  call.SetDblWork(4, any ? c.box.top : 0);
  call.SetDblWork(5, any ? c.box.Width() : 0);
  call.SetDblWork(6, any ? c.box.Height() : 0);
  call.SetError(0);
}

// AnalyzeRect x, y, width, height [, bank]: G_DBLWK1-3 = mean red, green,
// blue; G_DBLWK4 = mean brightness, G_DBLWK5 = its standard deviation,
// G_DBLWK6 = the pixel count; G_WORK1 = distinct colours, G_WORK2 = the
// darkest brightness, G_WORK3 = the lightest, G_WORK4 = the most frequent
// colour (0xRRGGBB).
void AnalyzeRect(Call& call) {
  const PixelRect area = graphics::Intersect(RectArg(call, 0), SurfaceRect(call));
  const std::uint8_t* bank = BankArg(call, 4);
  if (bank == nullptr) return;
  if (area.Empty()) {
    call.SetError(1);
    return;
  }
  const graphics::AreaStatistics s = graphics::Analyze(bank, area);
  call.SetDblWork(1, s.mean_red);
  call.SetDblWork(2, s.mean_green);
  call.SetDblWork(3, s.mean_blue);
  call.SetDblWork(4, s.mean_brightness);
  call.SetDblWork(5, s.brightness_deviation);
  call.SetDblWork(6, static_cast<double>(s.pixels));
  call.SetWork(1, Narrow(s.distinct_colours));
  call.SetWork(2, s.darkest);
  call.SetWork(3, s.lightest);
  call.SetWork(4, static_cast<std::int32_t>(graphics::ToPacked(s.dominant)));
  call.SetError(0);
}

// PixelToWave x, y, length [, vertical (0), plane (3), bank]: the values
// of a plane along a row (or column) as a wave of samples 0 to 255, in
// G_TXT comma-separated on one line. G_WORK1 = the samples, G_WORK2 and
// G_WORK3 = the lowest and highest; G_DBLWK1 = the mean.
void PixelToWave(Call& call) {
  const Point start{Coord(call, 0), Coord(call, 1)};
  const std::int32_t length = std::clamp(call.Int(2), 0, graphics::VRAM_WIDTH + graphics::VRAM_HEIGHT);
  const bool vertical = call.OptInt(3, 0) != 0;
  const std::int32_t plane = call.OptInt(4, graphics::PLANE_BRIGHTNESS);
  const std::uint8_t* bank = BankArg(call, 5);
  if (bank == nullptr) return;
  if (plane < 0 || plane > graphics::PLANE_BRIGHTNESS) {
    call.SetError(1);
    return;
  }
  const std::vector<std::uint8_t> samples = graphics::Profile(bank, start, length, vertical, plane);
  if (samples.empty()) {
    call.SetError(1);
    return;
  }
  std::string text;
  double sum = 0.0;
  for (std::size_t i = 0; i < samples.size(); ++i) {
    if (i > 0) text += ',';
    text += std::to_string(samples[i]);
    sum += samples[i];
  }
  text += "\r\n";
  call.SetTxt(text);
  call.SetWork(1, static_cast<std::int32_t>(samples.size()));
  call.SetWork(2, *std::min_element(samples.begin(), samples.end()));
  call.SetWork(3, *std::max_element(samples.begin(), samples.end()));
  call.SetDblWork(1, sum / static_cast<double>(samples.size()));
  call.SetError(0);
}

// ImgProcess filter, x, y, width, height [, parameter]: 0 blur (radius,
// 1), 1 sharpen (percent, 100), 2 edges, 3 emboss, 4 median 3 x 3, 5
// dilate and 6 erode (repetitions, 1), 7 mosaic (block size, 8); on the
// current bank, inside the drawing clip.
void ImgProcess(Call& call) {
  const std::int32_t filter = call.Int(0);
  const PixelRect area = RectArg(call, 1);
  const std::int32_t fallback = filter == graphics::FILTER_SHARPEN ? 100 : filter == graphics::FILTER_MOSAIC ? 8 : 1;
  const std::int32_t parameter = call.OptInt(5, fallback);
  Canvas canvas = Canvas::Current(V(call));
  if (!graphics::ApplyFilter(canvas, area, filter, parameter)) {
    call.SetError(1);
    return;
  }
  if (!area.Empty()) V(call).MarkDirty(area);
  call.SetError(0);
}

constexpr Registration kImageAnalysisApis[] = {
    {Id("RectCnv"), RectCnv},
    {Id("ScanArea"), ScanArea},
    {Id("ScanLoaf"), ScanLoaf},
    {Id("ScanLine"), ScanLine},
    {Id("ManageParts"), ManageParts},
    {Id("ColHistogram"), ColHistogram},
    {Id("CmpImage"), CmpImage},
    {Id("AnalyzeRect"), AnalyzeRect},
    {Id("PixelToWave"), PixelToWave},
    {Id("ImgProcess"), ImgProcess},
};

}  // namespace

void RegisterImageAnalysisApis(Registry& registry) { registry.AddAll(kImageAnalysisApis); }

}  // namespace vx::api
