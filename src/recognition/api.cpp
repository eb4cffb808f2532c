// The recognition family (ids 560-571): the recognition image store and its
// setup APIs, barcode reading (RcgBCD), QR code reading (QRPrePrc, QRRead)
// and symbol drawing (MkBCD).
//
// The store holds grey planes 0 to 7 (a negative plane is plane 5), each
// with a decode region (initially 0, 1119 - 640, 1599), in script
// coordinates. G_ERROR is 0 on success and 1 otherwise.
#include <algorithm>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "api/api_ids.hpp"
#include "api/call.hpp"
#include "engine/runtime.hpp"
#include "graphics/bmp.hpp"
#include "graphics/canvas.hpp"
#include "graphics/drawing.hpp"
#include "graphics/raster.hpp"
#include "graphics/vram.hpp"
#include "platform/files.hpp"
#include "recognition/barcode.hpp"
#include "recognition/locate.hpp"
#include "recognition/qr.hpp"
#include "recognition/store.hpp"
#include "recognition/symbols.hpp"

namespace vx::api {
namespace {

namespace rc = recognition;
using graphics::PixelRect;

constexpr std::size_t TXT_TEXT_MAX = 15999;  // G_TXT with its terminating NUL
constexpr int CCL_KEPT_MAX = 4096;           // components listed by RcgCcl

constexpr const char* QR_DEBUG_CONVERTED = "tmp00.cvt.debug.bmp";
constexpr const char* QR_DEBUG_MARKS = "tmp00.smark_fill.debug.bmp";
constexpr std::uint8_t DEBUG_MARK_GREY = 128;

enum SymbolKind : std::int32_t { SYMBOL_EAN13 = 1, SYMBOL_ITF = 3, SYMBOL_QR = 10 };

rc::Store& S(Call& call) {
  if (!call.rt().recognition) call.rt().recognition = std::make_shared<rc::Store>();
  return *call.rt().recognition;
}

// The plane of argument n; null and G_ERROR 1 when out of range.
rc::Plane* PlaneArg(Call& call, int n, int* index = nullptr) {
  const int i = rc::PlaneIndex(call.Int(n));
  if (i < 0) {
    call.SetError(1);
    return nullptr;
  }
  if (index != nullptr) *index = i;
  return &S(call).planes[static_cast<std::size_t>(i)];
}

// Optional x, y, w, h from argument n, cut to the surface; the whole surface
// when absent.
PixelRect OptRect(Call& call, int n) {
  const graphics::Vram& v = call.rt().vram;
  const PixelRect surface{0, 0, std::min(v.width, rc::PLANE_WIDTH) - 1, std::min(v.height, rc::PLANE_HEIGHT) - 1};
  if (!call.Has(n)) return surface;
  const PixelRect r = graphics::NormalizedRect(graphics::ClampCoord(call.Int(n)), graphics::ClampCoord(call.Int(n + 1)),
                                               graphics::ClampCoord(call.Int(n + 2)),
                                               graphics::ClampCoord(call.Int(n + 3)));
  return graphics::Intersect(r, surface);
}

// The current bank as the readers' picture, with what it holds besides
// its clear colour; reading it counts nothing as drawn.
rc::Picture CurrentPicture(Call& call) {
  graphics::Vram& v = call.rt().vram;
  rc::Picture p{v.BankTracked(-1), std::min(v.width, rc::PLANE_WIDTH), std::min(v.height, rc::PLANE_HEIGHT)};
  const graphics::Vram::Ground ground = v.GroundOf(-1);
  const std::uint8_t bgr[3] = {ground.colour.b, ground.colour.g, ground.colour.r};
  p.ground = rc::GreyOfBgr(bgr);
  p.drawn = ground.drawn.Empty() ? std::nullopt
                                 : std::optional<rc::Region>(rc::Region{ground.drawn.left, ground.drawn.top,
                                                                        ground.drawn.right, ground.drawn.bottom});
  return p;
}

// RcgSet plane [, x, y, w, h]: the current bank (or that rectangle of it)
// into the plane at the same place, as grey; the decode region stays.
void RcgSet(Call& call) {
  rc::Plane* plane = PlaneArg(call, 0);
  if (plane == nullptr) return;
  const PixelRect r = OptRect(call, 1);
  const rc::Picture picture = CurrentPicture(call);
  if (picture.bank == nullptr || r.Empty()) {
    call.SetError(1);
    return;
  }
  rc::CopyPictureGrey(*plane, picture, rc::Region{r.left, r.top, r.right, r.bottom});
  call.SetError(0);
}

// RcgArea plane, x1, y1, x2, y2: the decode region (corners in any order,
// cut to the plane).
void RcgArea(Call& call) {
  int index = 0;
  if (PlaneArg(call, 0, &index) == nullptr) return;
  const rc::Region r{call.Int(1), call.Int(2), call.Int(3), call.Int(4)};
  S(call).regions[static_cast<std::size_t>(index)] = rc::Normalized(r);
  call.SetError(0);
}

// RcgGet plane [, x, y, w, h]: the plane (or that rectangle) shown in the
// current bank as grey, at the same place.
void RcgGet(Call& call) {
  rc::Plane* plane = PlaneArg(call, 0);
  if (plane == nullptr) return;
  const PixelRect r = OptRect(call, 1);
  graphics::Vram& v = call.rt().vram;
  std::uint8_t* bank = v.Current();
  if (bank == nullptr || r.Empty()) {
    call.SetError(1);
    return;
  }
  for (int y = r.top; y <= r.bottom; ++y) {
    std::uint8_t* to = graphics::PixelAt(bank, r.left, y);
    const std::uint8_t* row = plane->Row(y);
    for (int x = r.left; x <= r.right; ++x, to += 3) {
      to[0] = to[1] = to[2] = row == nullptr ? 255 : row[static_cast<std::size_t>(x) * rc::PLANE_PIXEL_BYTES];
    }
  }
  v.MarkDirty(r);
  call.SetError(0);
}

// RcgReg plane [, threshold]: the decode region made black and white;
// without a threshold (or 0), halfway between its darkest and lightest grey.
// G_WORK1 = the threshold used.
void RcgReg(Call& call) {
  int index = 0;
  rc::Plane* plane = PlaneArg(call, 0, &index);
  if (plane == nullptr) return;
  const rc::Region r = S(call).regions[static_cast<std::size_t>(index)];
  int threshold = std::clamp(call.OptInt(1, 0), 0, 256);
  if (threshold == 0) {
    int lo = 255, hi = 0;
    for (int y = r.y1; y <= r.y2; ++y) {
      for (int x = r.x1; x <= r.x2; ++x) {
        lo = std::min<int>(lo, plane->Grey(x, y));
        hi = std::max<int>(hi, plane->Grey(x, y));
      }
    }
    threshold = (lo + hi) / 2 + 1;
  }
  for (int y = r.y1; y <= r.y2; ++y) {
    for (int x = r.x1; x <= r.x2; ++x) plane->SetPixel(x, y, plane->Grey(x, y) < threshold ? 0 : 255);
  }
  call.SetWork(1, threshold);
  call.SetError(0);
}

// RcgCcl plane [, threshold (128), minimum pixels (1)]: the 8-connected
// components of dark pixels (grey below the threshold) in the decode region.
// G_WORK1 = how many; G_TXT one line each, "left,top,width,height,pixels",
// in the order their first pixel is met (rows top-down).
void RcgCcl(Call& call) {
  int index = 0;
  rc::Plane* plane = PlaneArg(call, 0, &index);
  if (plane == nullptr) return;
  const int threshold = call.OptInt(1, 128);
  const int minimum = std::max(call.OptInt(2, 1), 1);
  const rc::Region r = S(call).regions[static_cast<std::size_t>(index)];
  const int w = r.x2 - r.x1 + 1;
  const int h = r.y2 - r.y1 + 1;
  std::vector<std::uint8_t> seen(static_cast<std::size_t>(w) * static_cast<std::size_t>(h), 0);
  auto dark = [&](int x, int y) { return plane->Grey(r.x1 + x, r.y1 + y) < threshold; };
  std::string text;
  int count = 0;
  std::vector<std::pair<int, int>> stack;
  for (int y0 = 0; y0 < h; ++y0) {
    for (int x0 = 0; x0 < w; ++x0) {
      if (seen[static_cast<std::size_t>(y0 * w + x0)] != 0 || !dark(x0, y0)) continue;
      int left = x0, right = x0, top = y0, bottom = y0;
      std::int64_t pixels = 0;
      seen[static_cast<std::size_t>(y0 * w + x0)] = 1;
      stack.assign(1, {x0, y0});
      while (!stack.empty()) {
        const auto [x, y] = stack.back();
        stack.pop_back();
        ++pixels;
        left = std::min(left, x), right = std::max(right, x), top = std::min(top, y), bottom = std::max(bottom, y);
        for (int dy = -1; dy <= 1; ++dy) {
          for (int dx = -1; dx <= 1; ++dx) {
            const int nx = x + dx, ny = y + dy;
            if (nx < 0 || ny < 0 || nx >= w || ny >= h) continue;
            std::uint8_t& s = seen[static_cast<std::size_t>(ny * w + nx)];
            if (s == 0 && dark(nx, ny)) {
              s = 1;
              stack.push_back({nx, ny});
            }
          }
        }
      }
      if (pixels < minimum) continue;
      ++count;
      const std::string line = std::to_string(r.x1 + left) + "," + std::to_string(r.y1 + top) + "," +
                               std::to_string(right - left + 1) + "," + std::to_string(bottom - top + 1) + "," +
                               std::to_string(pixels) + "\r\n";
      if (count <= CCL_KEPT_MAX && text.size() + line.size() <= TXT_TEXT_MAX) text += line;
    }
  }
  call.SetTxt(text);
  call.SetWork(1, count);
  call.SetError(count > 0 ? 0 : 1);
}

// RcgScanOL plane, x, y, dx, dy: one scan line of the barcode reader from
// (x, y) in direction (dx, dy) inside the decode region. G_TXT = the
// element widths in samples, comma-separated on one line; G_WORK1 = the
// element count, G_WORK2 = the quiet-zone width.
void RcgScanOL(Call& call) {
  int index = 0;
  rc::Plane* plane = PlaneArg(call, 0, &index);
  if (plane == nullptr) return;
  const int x = call.Int(1), y = call.Int(2);
  const int dx = std::clamp(call.Int(3), -16, 16), dy = std::clamp(call.Int(4), -16, 16);
  const rc::Elements e = rc::ScanElements(*plane, S(call).regions[static_cast<std::size_t>(index)], x, y, dx, dy);
  std::string text;
  for (std::size_t i = 0; i < e.widths.size(); ++i) {
    if (i > 0) text += ',';
    text += std::to_string(e.widths[i]);
  }
  text += "\r\n";
  call.SetTxt(text);
  call.SetWork(1, static_cast<std::int32_t>(e.widths.size()));
  call.SetWork(2, e.quiet);
  call.SetError(e.widths.empty() ? 1 : 0);
}

// RcgSearch plane [, contrast (48)]: the locating pass. The plane is cut
// into 24 x 24 cells; a cell looks like code when its grey range reaches the
// contrast and it has, on average, a dark-light change on each of its rows
// and columns together. The largest 4-connected group of such cells, grown
// by two cells (room for the quiet zones), becomes the decode region. G_WORK1-4 =
// x1, y1, x2, y2; G_ERROR 1 when no cell qualifies.
void RcgSearch(Call& call) {
  int index = 0;
  rc::Plane* plane = PlaneArg(call, 0, &index);
  if (plane == nullptr) return;
  const std::optional<rc::Region> region = rc::LocateCode(*plane, std::max(call.OptInt(1, 48), 1));
  if (!region) {
    call.SetError(1);
    return;
  }
  S(call).regions[static_cast<std::size_t>(index)] = *region;
  call.SetWork(1, region->x1);
  call.SetWork(2, region->y1);
  call.SetWork(3, region->x2);
  call.SetWork(4, region->y2);
  call.SetError(0);
}

// RcgDebug plane [, save]: G_WORK1-4 = the plane's decode region; G_TXT one
// line per plane, "plane,x1,y1,x2,y2,used" (used 1 when the plane holds a
// picture). With `save`, non-zero turns the saving of the readers' debug
// pictures on and 0 off.
void RcgDebug(Call& call) {
  int index = 0;
  if (PlaneArg(call, 0, &index) == nullptr) return;
  rc::Store& s = S(call);
  if (call.Has(1)) s.debug = call.Int(1) != 0;
  std::string text;
  for (int i = 0; i < rc::PLANE_COUNT; ++i) {
    const rc::Region& r = s.regions[static_cast<std::size_t>(i)];
    for (const int value : {i, r.x1, r.y1, r.x2, r.y2}) {
      text += std::to_string(value);
      text += ',';
    }
    text += s.planes[static_cast<std::size_t>(i)].Used() ? "1\r\n" : "0\r\n";
  }
  const rc::Region& r = s.regions[static_cast<std::size_t>(index)];
  call.SetTxt(text);
  call.SetWork(1, r.x1);
  call.SetWork(2, r.y1);
  call.SetWork(3, r.x2);
  call.SetWork(4, r.y2);
  call.SetError(0);
}

// RcgBCD plane, text var, result var: an EAN-13 (result 1) or Interleaved
// 2 of 5 (result 3) symbol in the decode region; result 0 and the reason of
// the last attempt as the text when nothing was read.
void RcgBCD(Call& call) {
  int index = 0;
  rc::Plane* plane = PlaneArg(call, 0, &index);
  const std::int32_t text_out = call.Resource(1);
  const std::int32_t result_out = call.Resource(2);
  if (plane == nullptr || text_out < 0 || result_out < 0) return;
  const rc::BarcodeResult r = rc::ReadBarcode(*plane, S(call).regions[static_cast<std::size_t>(index)]);
  call.WriteText(text_out, r.text);
  call.WriteInt(result_out, r.kind);
  call.SetError(r.kind == rc::BARCODE_NONE ? 1 : 0);
}

// With RcgDebug's saving on, the QR pre-processing leaves its pictures in
// the current directory: the black-and-white work image, and the same with
// every finder mark found filled in grey (all of them, so a failed search
// shows what it found). A file that cannot be written is noted in the log.
void SaveQrDebugPictures(Call& call, const rc::Picture& picture, const std::vector<rc::FinderMark>& marks) {
  if (!S(call).debug || picture.width <= 0 || picture.height <= 0) return;
  const rc::Plane& work = S(call).planes[rc::PLANE_WORK];
  std::vector<std::uint8_t> bank(graphics::VRAM_BANK_BYTES, 255);
  for (int y = 0; y < picture.height; ++y) {
    const std::uint8_t* row = work.Row(y);
    std::uint8_t* to = graphics::PixelAt(bank.data(), 0, y);
    for (int x = 0; x < picture.width && row != nullptr; ++x, to += 3) {
      to[0] = to[1] = to[2] = row[static_cast<std::size_t>(x) * rc::PLANE_PIXEL_BYTES];
    }
  }
  const PixelRect area{0, 0, picture.width - 1, picture.height - 1};
  std::string log;
  if (!files::WriteAll(QR_DEBUG_CONVERTED, graphics::EncodeBmp(bank.data(), area))) {
    log += std::string("debug picture not written: ") + QR_DEBUG_CONVERTED + " \r\n";
  }
  for (const rc::FinderMark& m : marks) {
    const int half = static_cast<int>(m.size / 2);
    const int x0 = std::max(static_cast<int>(m.x) - half, 0), x1 = std::min(static_cast<int>(m.x) + half, area.right);
    const int y0 = std::max(static_cast<int>(m.y) - half, 0), y1 = std::min(static_cast<int>(m.y) + half, area.bottom);
    for (int y = y0; y <= y1; ++y) {
      for (int x = x0; x <= x1; ++x) std::fill_n(graphics::PixelAt(bank.data(), x, y), 3, DEBUG_MARK_GREY);
    }
  }
  if (!files::WriteAll(QR_DEBUG_MARKS, graphics::EncodeBmp(bank.data(), area))) {
    log += std::string("debug picture not written: ") + QR_DEBUG_MARKS + " \r\n";
  }
  call.AppendDebugLog(log);
}

// QRPrePrc [threshold]: the current picture made black and white (with a
// local threshold, or the given one, 1-255) and its finder marks found;
// with exactly three marks the work image replaces the current bank.
void QRPrePrc(Call& call) {
  const int threshold = std::clamp(call.OptInt(0, 0), 0, 255);
  const rc::Picture picture = CurrentPicture(call);
  if (picture.bank == nullptr) {
    call.SetError(1);
    return;
  }
  rc::Plane& work = S(call).planes[rc::PLANE_WORK];
  std::vector<rc::FinderMark> marks;
  std::string log;
  const bool ok = rc::PreprocessQr(picture, threshold, work, marks, log);
  call.AppendDebugLog(log);
  SaveQrDebugPictures(call, picture, marks);
  if (!ok) {
    call.SetError(1);
    return;
  }
  graphics::Vram& v = call.rt().vram;
  std::uint8_t* bank = v.Current();
  for (int y = 0; y < picture.height; ++y) {
    for (int x = 0; x < picture.width; ++x) {
      std::uint8_t* p = graphics::PixelAt(bank, x, y);
      p[0] = p[1] = p[2] = work.Grey(x, y);
    }
  }
  v.MarkDirty(0, 0, 1920, 1600);
  call.SetError(0);
}

// QRRead var [, threshold]: the text of the QR code in the current picture,
// followed by CR LF. G_ERROR 1 and var unchanged when none is read.
void QRRead(Call& call) {
  const std::int32_t out = call.Resource(0);
  if (out < 0) return;
  const int threshold = std::clamp(call.OptInt(1, 0), 0, 255);
  const rc::Picture picture = CurrentPicture(call);
  if (picture.bank == nullptr) {
    call.SetError(1);
    return;
  }
  std::string log;
  std::vector<rc::FinderMark> marks;
  const rc::QrOutcome r = rc::ReadQr(picture, threshold, S(call).planes[rc::PLANE_WORK], log, &marks);
  call.AppendDebugLog(log);
  SaveQrDebugPictures(call, picture, marks);
  if (!r.ok) {
    call.SetError(1);
    return;
  }
  call.WriteText(out, r.text + "\r\n");
  call.SetError(0);
}

// MkBCD kind, text, x, y [, module (2), height or QR level]: draws a symbol
// black on white, quiet zones included, with its top-left corner at (x, y):
// kind 1 EAN-13 (12 digits, or 13 with a right check digit), 3 Interleaved
// 2 of 5 (digits; an odd count gets a leading 0), 10 QR code (level 0-3 =
// L, M, Q, H; M by default). Bar heights default to 60 modules. G_WORK1-4
// = x, y, width, height drawn; G_TXT = the text encoded (EAN-13 with its
// check digit).
void MkBCD(Call& call) {
  const std::int32_t kind = call.Int(0);
  std::string& text = call.Small(0);
  if (!call.String(1, text)) return;
  const int x = graphics::ClampCoord(call.Int(2));
  const int y = graphics::ClampCoord(call.Int(3));
  const int module = std::clamp(call.OptInt(4, 2), 1, 64);
  std::string error;
  std::string encoded = text;
  std::vector<std::string> rows;  // module rows; one row repeated for barcodes
  int quiet = 0;
  int bar_height = 0;
  if (kind == SYMBOL_EAN13 || kind == SYMBOL_ITF) {
    const std::string m = kind == SYMBOL_EAN13 ? rc::EanModules(text, encoded, error) : rc::ItfModules(text, error);
    if (!m.empty()) rows.push_back(m);
    quiet = kind == SYMBOL_EAN13 ? rc::EAN_QUIET_LEFT : rc::ITF_QUIET;
    bar_height = std::clamp(call.OptInt(5, 60 * module), 1, graphics::VRAM_HEIGHT);
  } else if (kind == SYMBOL_QR) {
    const rc::QrMatrix q = rc::EncodeQr(text, call.OptInt(5, rc::QR_LEVEL_M), error);
    for (int r = 0; r < q.size; ++r) {
      std::string row;
      for (int c = 0; c < q.size; ++c) row += q.At(r, c) ? '1' : '0';
      rows.push_back(row);
    }
    quiet = rc::QR_QUIET;
  } else {
    error = "unknown symbol kind";
  }
  if (rows.empty()) {
    call.SetErrText(error);
    call.SetError(1);
    return;
  }
  const int right_quiet = kind == SYMBOL_EAN13 ? rc::EAN_QUIET_RIGHT : quiet;
  const int width = (quiet + static_cast<int>(rows[0].size()) + right_quiet) * module;
  const int height = kind == SYMBOL_QR ? (static_cast<int>(rows.size()) + 2 * quiet) * module : bar_height;
  const int top = kind == SYMBOL_QR ? quiet * module : 0;
  graphics::Canvas canvas = graphics::Canvas::Current(call.rt().vram);
  const graphics::Paint white{graphics::Color{255, 255, 255}};
  const graphics::Paint black{graphics::Color{0, 0, 0}};
  for (int py = 0; py < height; ++py) canvas.Span(y + py, x, x + width - 1, white);
  for (int py = top; py < height - top; ++py) {
    const std::string& row = rows.size() == 1 ? rows[0] : rows[static_cast<std::size_t>((py - top) / module)];
    for (std::size_t c = 0; c < row.size(); ++c) {
      if (row[c] != '1') continue;
      const int px = x + (quiet + static_cast<int>(c)) * module;
      canvas.Span(y + py, px, px + module - 1, black);
    }
  }
  call.rt().vram.MarkDirty(x, y, width, height);
  call.SetTxt(encoded);
  call.SetWork(1, x);
  call.SetWork(2, y);
  call.SetWork(3, width);
  call.SetWork(4, height);
  call.SetError(0);
}

constexpr Registration kRecognitionApis[] = {
    {Id("MkBCD"), MkBCD},         {Id("RcgSet"), RcgSet},   {Id("RcgArea"), RcgArea},
    {Id("RcgCcl"), RcgCcl},       {Id("RcgScanOL"), RcgScanOL}, {Id("RcgReg"), RcgReg},
    {Id("RcgSearch"), RcgSearch}, {Id("RcgGet"), RcgGet},   {Id("RcgDebug"), RcgDebug},
    {Id("RcgBCD"), RcgBCD},       {Id("QRPrePrc"), QRPrePrc}, {Id("QRRead"), QRRead},
};

}  // namespace

void RegisterRecognitionApis(Registry& registry) { registry.AddAll(kRecognitionApis); }

}  // namespace vx::api
