// Number-plate reading (ids 572-576) on the recognition store: RcgCarNbr
// reads a Japanese plate, CarNbrIntrNtnl a Latin-alphabet one, CarNbrRslt
// hands out the fields of the last reading, CarNbrDbg draws how it was
// found, SRecord appends it to a record file.
//
// G_ERROR after a reading: 0 read, 1 no plate or no characters, 2 the OCR
// library or its language data is missing (G_ERR_TXT says which).
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "api/api_ids.hpp"
#include "api/call.hpp"
#include "api/os_results.hpp"
#include "engine/runtime.hpp"
#include "graphics/bmp.hpp"
#include "graphics/vram.hpp"
#include "platform/calendar.hpp"
#include "platform/files.hpp"
#include "recognition/plate_reader.hpp"
#include "recognition/store.hpp"

namespace vx::api {
namespace {

namespace rc = recognition;
using graphics::Color;

constexpr int RESULT_CORNERS = 5;  // CarNbrRslt part with the plate's corners
constexpr int DEBUG_PICTURES = 3;  // search, rectified, fields
constexpr std::array<const char*, DEBUG_PICTURES> kDebugFiles = {
    "tmp00.plate_search.debug.bmp", "tmp00.plate_rect.debug.bmp", "tmp00.plate_fields.debug.bmp"};
constexpr Color kCandidateColour{0, 0, 255};  // blue, green, red bytes: red
constexpr Color kPlateColour{0, 200, 0};
constexpr std::array<Color, rc::FIELD_COUNT> kFieldColours = {
    Color{0, 0, 255}, Color{255, 0, 0}, Color{0, 160, 0}, Color{200, 0, 200}};

rc::Store& S(Call& call) {
  if (!call.rt().recognition) call.rt().recognition = std::make_shared<rc::Store>();
  return *call.rt().recognition;
}

// A colour picture, rows top-down, blue, green, red.
struct ColourPicture {
  int width = 0;
  int height = 0;
  std::vector<Color> pixels;
  void Set(int x, int y, Color c) {
    if (x >= 0 && y >= 0 && x < width && y < height) pixels[static_cast<std::size_t>(y * width + x)] = c;
  }
};

ColourPicture FromGrey(const rc::GreyImage& g) {
  ColourPicture p{g.width, g.height, std::vector<Color>(g.pixels.size())};
  for (std::size_t i = 0; i < g.pixels.size(); ++i) p.pixels[i] = Color{g.pixels[i], g.pixels[i], g.pixels[i]};
  return p;
}

void Line(ColourPicture& p, double x0, double y0, double x1, double y1, Color c) {
  const int steps = static_cast<int>(std::max(std::abs(x1 - x0), std::abs(y1 - y0))) + 1;
  for (int i = 0; i <= steps; ++i) {
    const double t = static_cast<double>(i) / steps;
    p.Set(static_cast<int>(std::lround(x0 + (x1 - x0) * t)), static_cast<int>(std::lround(y0 + (y1 - y0) * t)), c);
  }
}

void Outline(ColourPicture& p, const rc::Box& b, Color c) {
  Line(p, b.x - 1, b.y - 1, b.x + b.w, b.y - 1, c);
  Line(p, b.x - 1, b.y + b.h, b.x + b.w, b.y + b.h, c);
  Line(p, b.x - 1, b.y - 1, b.x - 1, b.y + b.h, c);
  Line(p, b.x + b.w, b.y - 1, b.x + b.w, b.y + b.h, c);
}

// The quad's outline in the search picture's pixels.
void OutlineQuad(ColourPicture& p, const rc::PlateReading& r, const rc::PlateQuad& q, Color c) {
  const auto corners = q.Corners();
  const double s = r.search_scale;
  for (std::size_t i = 0; i < corners.size(); ++i) {
    const auto& a = corners[i];
    const auto& b = corners[(i + 1) % corners.size()];
    Line(p, (a[0] - r.region.x1) / s, (a[1] - r.region.y1) / s, (b[0] - r.region.x1) / s, (b[1] - r.region.y1) / s, c);
  }
}

// Debug picture 0: the black-and-white search picture with every candidate
// outlined in red and the plate read in green; 1: the plate rectified;
// 2: its strokes (frame removed) with the fields boxed, region red, class
// blue, kana green, serial purple (a Latin plate's lines red and blue).
ColourPicture DebugPicture(const rc::PlateReading& r, int which) {
  if (which == 0) {
    ColourPicture p = FromGrey(r.search);
    for (const rc::PlateQuad& q : r.candidates) OutlineQuad(p, r, q, kCandidateColour);
    if (r.status == rc::PLATE_READ) OutlineQuad(p, r, r.quad, kPlateColour);
    return p;
  }
  if (which == 1) return FromGrey(r.rectified);
  ColourPicture p = FromGrey(r.layout.binary);
  for (int f = 0; f < rc::FIELD_COUNT; ++f) {
    if (!r.layout.fields[static_cast<std::size_t>(f)].Empty()) {
      Outline(p, r.layout.fields[static_cast<std::size_t>(f)], kFieldColours[static_cast<std::size_t>(f)]);
    }
  }
  return p;
}

// Copies a picture into a bank at (x, y), cut to the bank; the part drawn.
graphics::PixelRect Blit(std::uint8_t* bank, const ColourPicture& p, int x, int y) {
  const graphics::PixelRect r = graphics::Intersect(graphics::PixelRect{x, y, x + p.width - 1, y + p.height - 1},
                                                    graphics::PixelRect{0, 0, graphics::VRAM_WIDTH - 1, graphics::VRAM_HEIGHT - 1});
  for (int py = r.top; py <= r.bottom && !r.Empty(); ++py) {
    for (int px = r.left; px <= r.right; ++px) {
      const Color c = p.pixels[static_cast<std::size_t>((py - y) * p.width + (px - x))];
      std::uint8_t* to = graphics::PixelAt(bank, px, py);
      to[0] = c.b, to[1] = c.g, to[2] = c.r;
    }
  }
  return r;
}

// With RcgDebug's saving on, every reading leaves its three pictures in
// the current directory; a file that cannot be written is noted in the log.
void SaveDebugPictures(Call& call, const rc::PlateReading& r) {
  if (!S(call).debug) return;
  std::vector<std::uint8_t> scratch(graphics::VRAM_BANK_BYTES, 255);
  std::string log;
  for (int i = 0; i < DEBUG_PICTURES; ++i) {
    const ColourPicture p = DebugPicture(r, i);
    if (p.width <= 0 || p.height <= 0) continue;
    const graphics::PixelRect area = Blit(scratch.data(), p, 0, 0);
    const char* name = kDebugFiles[static_cast<std::size_t>(i)];
    if (!files::WriteAll(name, graphics::EncodeBmp(scratch.data(), area))) {
      log += std::string("debug picture not written: ") + name + " \r\n";
    }
  }
  call.AppendDebugLog(log);
}

// RcgCarNbr / CarNbrIntrNtnl plane [, x, y, w, h]: a plate in the rectangle,
// or in the plane's decode region. G_TXT = the text, G_WORK1 = its
// confidence (0-100), G_WORK2 = the candidates found, G_WORK3-4 = the
// plate's centre.
void ReadPlateApi(Call& call, rc::PlateStyle style) {
  const int index = rc::PlaneIndex(call.Int(0));
  if (index < 0) {
    call.SetErrText("plane out of range");
    call.SetError(1);
    return;
  }
  rc::Store& s = S(call);
  rc::Region region = s.regions[static_cast<std::size_t>(index)];
  if (call.Has(1)) {
    const std::int64_t x = call.Int(1), y = call.Int(2), w = call.Int(3), h = call.Int(4);
    if (w <= 0 || h <= 0) {
      call.SetErrText("empty rectangle");
      call.SetError(1);
      return;
    }
    const auto clamp = [](std::int64_t v) { return static_cast<int>(std::clamp<std::int64_t>(v, -1, 1 << 20)); };
    region = rc::Region{clamp(x), clamp(y), clamp(x + w - 1), clamp(y + h - 1)};
  }
  auto reading = std::make_shared<rc::PlateReading>(
      rc::ReadPlate(s.planes[static_cast<std::size_t>(index)], region, style, rc::OcrEngine::Shared()));
  s.plate = reading;
  SaveDebugPictures(call, *reading);
  call.SetWork(1, reading->confidence);
  call.SetWork(2, static_cast<std::int32_t>(reading->candidates.size()));
  call.SetWork(3, static_cast<std::int32_t>(std::lround(reading->quad.cx)));
  call.SetWork(4, static_cast<std::int32_t>(std::lround(reading->quad.cy)));
  if (reading->status != rc::PLATE_READ) {
    call.SetErrText(reading->error);
    call.SetError(reading->status);
    return;
  }
  call.SetTxt(reading->text);
  call.SetError(0);
}

void RcgCarNbr(Call& call) { ReadPlateApi(call, rc::PlateStyle::kJapanese); }
void CarNbrIntrNtnl(Call& call) { ReadPlateApi(call, rc::PlateStyle::kLatin); }

std::string CornersText(const rc::PlateQuad& q) {
  std::string out;
  for (const auto& c : q.Corners()) {
    if (!out.empty()) out += ',';
    out += std::to_string(std::lround(c[0])) + "," + std::to_string(std::lround(c[1]));
  }
  return out;
}

// CarNbrRslt part, text var [, confidence var]: part 0 the whole text,
// 1 region name (a Latin plate: its text), 2 class number, 3 kana,
// 4 serial number, 5 the corners "x1,y1,...,x4,y4" (top-left first,
// clockwise). G_WORK1 = the confidence. G_ERROR 1, vars unchanged, when
// no plate has been read or the part is out of range.
void CarNbrRslt(Call& call) {
  const std::int32_t part = call.Int(0);
  const std::int32_t text_out = call.Resource(1);
  if (text_out < 0) return;
  const std::int32_t confidence_out = call.Has(2) ? call.Resource(2) : -1;
  if (call.Has(2) && confidence_out < 0) return;
  const std::shared_ptr<rc::PlateReading>& r = S(call).plate;
  if (!r || r->status != rc::PLATE_READ || part < 0 || part > RESULT_CORNERS) {
    call.SetError(1);
    return;
  }
  std::string text = r->text;
  int confidence = r->confidence;
  if (part == RESULT_CORNERS) {
    text = CornersText(r->quad);
  } else if (part > 0) {
    const bool latin = r->style == rc::PlateStyle::kLatin;
    const rc::PlateText& f = r->fields[static_cast<std::size_t>(part - 1)];
    text = latin && part > 1 ? std::string() : f.text;
    confidence = latin && part > 1 ? 0 : f.confidence;
  }
  call.WriteText(text_out, text);
  if (confidence_out >= 0) call.WriteInt(confidence_out, confidence);
  call.SetWork(1, confidence);
  call.SetError(0);
}

// CarNbrDbg picture, x, y: debug picture 0-2 of the last reading drawn
// into the current bank at (x, y). G_WORK1-4 = x, y, width, height drawn.
void CarNbrDbg(Call& call) {
  const std::int32_t which = call.Int(0);
  const int x = graphics::ClampCoord(call.OptInt(1, 0));
  const int y = graphics::ClampCoord(call.OptInt(2, 0));
  const std::shared_ptr<rc::PlateReading>& r = S(call).plate;
  std::uint8_t* bank = call.rt().vram.Current();
  if (!r || which < 0 || which >= DEBUG_PICTURES || bank == nullptr) {
    call.SetError(1);
    return;
  }
  const ColourPicture p = DebugPicture(*r, which);
  const graphics::PixelRect drawn = p.width > 0 ? Blit(bank, p, x, y) : graphics::PixelRect{0, 0, -1, -1};
  if (drawn.Empty()) {
    call.SetError(1);
    return;
  }
  call.rt().vram.MarkDirty(drawn);
  call.SetWork(1, drawn.left);
  call.SetWork(2, drawn.top);
  call.SetWork(3, drawn.right - drawn.left + 1);
  call.SetWork(4, drawn.bottom - drawn.top + 1);
  call.SetError(0);
}

// SRecord file: appends the last plate read as one line,
// "YYYY/MM/DD HH:MM:SS,STYLE,TEXT,CONFIDENCE,x1,y1,...,x4,y4" + CR LF
// (STYLE JP or INTL). G_ERROR 1 when no plate has been read or the file
// cannot be written.
void SRecord(Call& call) {
  std::string& file = call.Small(0);
  if (!call.String(0, file)) return;
  const std::shared_ptr<rc::PlateReading>& r = S(call).plate;
  if (!r || r->status != rc::PLATE_READ) {
    call.SetErrText("no plate read");
    call.SetError(1);
    return;
  }
  const std::string line = calendar::FormatDateTime(calendar::LocalNow(), true) + "," +
                           (r->style == rc::PlateStyle::kJapanese ? "JP" : "INTL") + "," + r->text + "," +
                           std::to_string(r->confidence) + "," + CornersText(r->quad) + "\r\n";
  ReportSystemResult(call, files::Write(file, line, true));
}

constexpr Registration kPlateApis[] = {
    {Id("RcgCarNbr"), RcgCarNbr}, {Id("CarNbrRslt"), CarNbrRslt},         {Id("CarNbrDbg"), CarNbrDbg},
    {Id("CarNbrIntrNtnl"), CarNbrIntrNtnl}, {Id("SRecord"), SRecord},
};

}  // namespace

void RegisterPlateApis(Registry& registry) { registry.AddAll(kPlateApis); }

}  // namespace vx::api
