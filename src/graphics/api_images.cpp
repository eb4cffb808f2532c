// The picture family: BMP and JPEG files in and out, the raw 16-bit dump,
// the screen and the clipboard (ids 295-305, 378-380).
//
// Statuses go to G_ERROR: 0 success, 1 failure; the clipboard APIs use -1
// for "no such bank" and "no picture". Pictures load into the current
// bank, cut to the VRAM width and height.
#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "api/api_ids.hpp"
#include "api/call.hpp"
#include "api/os_results.hpp"
#include "engine/runtime.hpp"
#include "engine/system_variables.hpp"
#include "graphics/picture_files.hpp"
#include "graphics/print_page.hpp"
#include "platform/files.hpp"
#include "text/messages.hpp"
#include "values/values.hpp"

namespace vx::api {
namespace {

using graphics::BmpLoadResult;
using graphics::BmpLoadStatus;
using graphics::Color;
using graphics::PixelRect;
using graphics::Vram;

constexpr std::string_view kNot24Bit = "Not 24 bit data(%d) [5439]";
constexpr std::string_view kShortRead = "ERROR[OpenBitmap-1] [5481]";
constexpr std::string_view kNegativePosition = "Position must be over or equal zero. [5402]";
constexpr double kLoadJpgScaleMin = 0.01;
// A side longer than this only ever marks the whole surface.
constexpr std::int64_t kDirtyExtentMax = 1 << 24;

Vram& V(Call& call) { return call.rt().vram; }
graphics::ImageState& Pictures(Call& call) { return call.rt().images; }

std::span<const std::uint8_t> Bytes(const std::string& s) {
  return {reinterpret_cast<const std::uint8_t*>(s.data()), s.size()};
}

void Message(Call& call, std::string_view text) {
  call.rt().window->ShowMessage(msg::Text(msg::Id::kCaptionMessageJa), text);
}

std::string Printf(std::string_view pattern, long value) {
  std::string out(pattern);
  const std::size_t at = out.find("%d");
  if (at != std::string::npos) out.replace(at, 2, std::to_string(value));
  return out;
}

int Extent(std::int64_t v) { return static_cast<int>(std::clamp<std::int64_t>(v, 0, kDirtyExtentMax)); }

void SetImageSize(Call& call, int width, int height) {
  values::SetLong(call.rt(), sysvar::G_IMG_WD, width);
  values::SetLong(call.rt(), sysvar::G_IMG_HT, height);
}

// The extension of a file name after its last dot, in lower case.
std::string Extension(std::string_view file) {
  const std::size_t slash = file.find_last_of("\\/");
  const std::size_t dot = file.rfind('.');
  if (dot == std::string_view::npos || (slash != std::string_view::npos && dot < slash)) return {};
  std::string ext(file.substr(dot));
  std::transform(ext.begin(), ext.end(), ext.begin(), [](char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
  });
  return ext;
}

// A rectangle x, y, width, height that must lie inside the surface with
// both sides at least 1.
std::optional<PixelRect> InsideRect(Vram& v, std::int32_t x, std::int32_t y, std::int32_t w, std::int32_t h) {
  const graphics::Surface s = graphics::SurfaceOf(v, nullptr);
  if (x < 0 || y < 0 || w < 1 || h < 1 || static_cast<std::int64_t>(x) + w > s.width ||
      static_cast<std::int64_t>(y) + h > s.height) {
    return std::nullopt;
  }
  return PixelRect{x, y, x + w - 1, y + h - 1};
}

// --- BMP

// The common tail of the BMP loaders: the last picture size and the dirty
// area once the headers are read, then the refusals and their messages.
// G_ERROR 0 only when the whole picture was read.
void ReportBmp(Call& call, const BmpLoadResult& r, int x, int y, bool into_bank = true) {
  if (r.status == BmpLoadStatus::kUnreadable) {
    call.SetError(1);
    return;
  }
  Pictures(call).last_width = static_cast<int>(r.header.Columns());
  Pictures(call).last_height = static_cast<int>(std::min<std::int64_t>(r.header.Rows(), INT32_MAX));
  if (into_bank) V(call).MarkDirty(x, y, Extent(r.header.Columns()), Extent(r.header.Rows()));
  switch (r.status) {
    case BmpLoadStatus::kNot24Bit:
      Message(call, Printf(kNot24Bit, r.header.bit_count));
      call.SetError(1);
      return;
    case BmpLoadStatus::kShortRead:
      Message(call, kShortRead);
      call.SetError(1);
      return;
    case BmpLoadStatus::kOk:
      call.SetError(0);
      return;
    default:
      call.SetError(1);
      return;
  }
}

void LoadBmpFile(Call& call, std::int32_t x, std::int32_t y, std::int32_t max_w, std::int32_t max_h,
                 const std::string& file, const Color* transparent) {
  graphics::FileSource source(file);
  if (!source.Ok()) {
    call.SetError(1);
    return;
  }
  const graphics::Surface surface = graphics::SurfaceOf(V(call), V(call).BankTracked(-1));
  const BmpLoadResult r = graphics::LoadBmp(source, surface, x, y, max_w, max_h, transparent);
  V(call).AddDrawn(-1, r.placed);
  ReportBmp(call, r, x, y);
}

// The "x, y, width, height, file" that the BMP functions begin with; the
// file name is kept in the call's first small buffer.
struct RectAndFile {
  std::int32_t x, y, width, height;
  const std::string& file;
};

RectAndFile FetchRectAndFile(Call& call) {
  const RectAndFile args{call.Int(0), call.Int(1), call.Int(2), call.Int(3), call.Small(0)};
  call.String(4, call.Small(0));
  return args;
}

// While a print job is open the picture goes on the page at (x, y), which
// must not be negative; the bank is left alone. Like every printing call it
// leaves the reason of a failure in G_ERR_TXT, and none after a success.
void PrintBmpFile(Call& call, std::int32_t x, std::int32_t y, std::int32_t max_w, std::int32_t max_h,
                  const std::string& file) {
  if (x < 0 || y < 0) {
    Message(call, kNegativePosition);
    call.SetErrText(kNegativePosition);
    call.SetError(1);
    return;
  }
  errno = 0;
  graphics::FileSource source(file);
  if (!source.Ok()) {
    ReportSystemResult(call, errno != 0 ? errno : ENOENT);
    return;
  }
  graphics::Image picture;
  const BmpLoadResult r = graphics::ReadBmpImage(source, std::clamp(max_w, 0, graphics::VRAM_WIDTH),
                                                 std::clamp(max_h, 0, graphics::VRAM_HEIGHT), &picture);
  if (r.status == BmpLoadStatus::kOk || r.status == BmpLoadStatus::kShortRead) {
    PrintOnPage(call.rt(), x, y, picture);
  }
  ReportBmp(call, r, x, y, false);
  switch (r.status) {
    case BmpLoadStatus::kOk: call.SetErrText({}); break;
    case BmpLoadStatus::kNot24Bit: call.SetErrText(Printf(kNot24Bit, r.header.bit_count)); break;
    case BmpLoadStatus::kShortRead: call.SetErrText(kShortRead); break;
    case BmpLoadStatus::kUnsupported: call.SetErrText("compressed BMP files cannot be printed"); break;
    case BmpLoadStatus::kUnreadable: call.SetErrText("not a BMP file"); break;
  }
}

// LoadBMPImage x, y, max width, max height, file.
void LoadBMPImage(Call& call) {
  const auto [x, y, max_w, max_h, file] = FetchRectAndFile(call);
  if (PrintJobOpen(call.rt())) return PrintBmpFile(call, x, y, max_w, max_h, file);
  LoadBmpFile(call, x, y, max_w, max_h, file, nullptr);
}

// LoadBMPMask x, y, max width, max height, file [, transparent 0xRRGGBB (white)].
void LoadBMPMask(Call& call) {
  const auto [x, y, max_w, max_h, file] = FetchRectAndFile(call);
  const Color key = graphics::FromPacked(static_cast<std::uint32_t>(call.OptInt(5, 0xFFFFFF)));
  LoadBmpFile(call, x, y, max_w, max_h, file, &key);
}

// LoadBMPFill x, y, width, height, file [, tile origin x, y (x, y)]: the
// picture repeated over the rectangle; a width or height below 1 reaches
// to the surface's edge.
void LoadBMPFill(Call& call) {
  const RectAndFile args = FetchRectAndFile(call);
  const std::int32_t x = args.x, y = args.y;
  std::int32_t w = args.width, h = args.height;
  const std::string& file = args.file;
  const graphics::Point origin{graphics::ClampCoord(call.OptInt(5, x)), graphics::ClampCoord(call.OptInt(6, y))};
  graphics::FileSource source(file);
  if (!source.Ok()) {
    call.SetError(1);
    return;
  }
  const graphics::Surface surface = graphics::SurfaceOf(V(call), V(call).Current());
  // To the surface's edge, worked in 64 bits: x may be any 32-bit value.
  const auto to_edge = [](int extent, std::int32_t at) {
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(std::int64_t{extent} - at, 0, INT32_MAX));
  };
  if (w < 1) w = to_edge(surface.width, x);
  if (h < 1) h = to_edge(surface.height, y);
  graphics::Image tile;
  const BmpLoadResult r = graphics::ReadBmpImage(source, graphics::VRAM_WIDTH, graphics::VRAM_HEIGHT, &tile);
  if (r.status == BmpLoadStatus::kOk || r.status == BmpLoadStatus::kShortRead) {
    graphics::Canvas canvas(surface.bank, PixelRect{0, 0, surface.width - 1, surface.height - 1});
    graphics::TileImage(canvas, tile, graphics::NormalizedRect(x, y, w, h), origin);
  }
  ReportBmp(call, r, x, y);
  if (r.status != BmpLoadStatus::kUnreadable) V(call).MarkDirty(x, y, w, h);
}

// LoadImage x, y, file [, a, b]: ".bmp" as LoadBMPImage with maximum size
// a x b (the surface when left out), setting G_IMG_WD and G_IMG_HT;
// ".jpg"/".jpeg" as LoadJpg, scaled to fit a x b when both are given, else
// with scale a (1.0); a scale below 0.1 becomes 1.0.
void LoadJpegFile(Call& call, std::int32_t x, std::int32_t y, const std::string& file, double scale,
                  bool fit, std::int32_t box_w, std::int32_t box_h);

void LoadImage(Call& call) {
  const std::int32_t x = call.Int(0);
  const std::int32_t y = call.Int(1);
  std::string& file = call.Small(0);
  call.String(2, file);
  const std::string ext = Extension(file);
  const graphics::Surface surface = graphics::SurfaceOf(V(call), nullptr);
  if (ext == ".bmp") {
    const std::int32_t max_w = call.OptInt(3, surface.width);
    const std::int32_t max_h = call.OptInt(4, surface.height);
    LoadBmpFile(call, x, y, max_w, max_h, file, nullptr);
    SetImageSize(call, Pictures(call).last_width, Pictures(call).last_height);
    return;
  }
  if (ext == ".jpg" || ext == ".jpeg") {
    if (call.Has(4)) {
      const std::int32_t box_w = call.Int(3);
      const std::int32_t box_h = call.Int(4);
      LoadJpegFile(call, x, y, file, 1.0, true, box_w, box_h);
    } else {
      LoadJpegFile(call, x, y, file, call.OptDouble(3, 1.0), false, 0, 0);
    }
    SetImageSize(call, Pictures(call).last_width, Pictures(call).last_height);
    return;
  }
  call.SetError(1);
}

// GetBMPSize file, out width, out height.
void GetBMPSize(Call& call) {
  std::string& file = call.Small(0);
  call.String(0, file);
  const std::int32_t out_w = call.Resource(1);
  const std::int32_t out_h = call.Resource(2);
  if (out_w < 0 || out_h < 0) return;
  graphics::FileSource source(file);
  const std::optional<graphics::BmpHeader> h =
      source.Ok() ? graphics::ReadBmpHeader(source) : std::nullopt;
  if (!h) {
    call.SetError(1);
    return;
  }
  call.WriteInt(out_w, h->width);
  call.WriteInt(out_h, static_cast<std::int32_t>(std::min<std::int64_t>(h->Rows(), INT32_MAX)));
  call.SetError(0);
}

// RefBMPSize out width, out height: the last picture loaded.
void RefBMPSize(Call& call) {
  const std::int32_t out_w = call.Resource(0);
  const std::int32_t out_h = call.Resource(1);
  if (out_w < 0 || out_h < 0) return;
  call.WriteInt(out_w, Pictures(call).last_width);
  call.WriteInt(out_h, Pictures(call).last_height);
  call.SetError(0);
}

// OutBMPImage x, y, width, height, file [, bank (current)]: banks 0 to 5
// (or the current one); the rectangle must lie inside the surface.
void OutBMPImage(Call& call) {
  const auto [x, y, w, h, file] = FetchRectAndFile(call);
  const std::int32_t bank_index = call.OptInt(5, -1);
  const graphics::BankPixels bank =
      bank_index < graphics::VRAM_STATIC_BANKS ? V(call).Pixels(bank_index) : graphics::BankPixels();
  const std::optional<PixelRect> area = InsideRect(V(call), x, y, w, h);
  if (!bank || !area) {
    call.SetError(1);
    return;
  }
  ReportSystemResult(call, files::ReplaceFile(file, graphics::EncodeBmp(bank, *area)));
}

// Out16BitImage x, y, width, height, file, format: format 1, RGB565.
void Out16BitImage(Call& call) {
  const auto [x, y, w, h, file] = FetchRectAndFile(call);
  const std::int32_t format = call.Int(5);
  const std::optional<PixelRect> area = InsideRect(V(call), x, y, w, h);
  const std::uint8_t* bank = V(call).Current();
  if (format != 1 || !area || bank == nullptr) {
    call.SetError(1);
    return;
  }
  ReportSystemResult(call, files::ReplaceFile(file, graphics::EncodeRgb565(bank, *area)));
}

// --- JPEG

void LoadJpegFile(Call& call, std::int32_t x, std::int32_t y, const std::string& file, double scale, bool fit,
                  std::int32_t box_w, std::int32_t box_h) {
  const std::optional<std::string> data = files::ReadAll(file, graphics::JPEG_FILE_BYTES_MAX + 1);
  if (!data || data->size() > graphics::JPEG_FILE_BYTES_MAX) {
    call.SetError(1);
    return;
  }
  if (fit) {
    graphics::JpegInfo info;
    std::string error;
    scale = 1.0;
    if (graphics::ReadJpegInfo(Bytes(*data), &info, &error)) {
      const double sx = box_w > 0 ? static_cast<double>(info.width) / box_w : 0.0;
      const double sy = box_h > 0 ? static_cast<double>(info.height) / box_h : 0.0;
      scale = std::max(sx, sy);
    }
  }
  if (!(scale >= graphics::JPEG_SCALE_MIN)) scale = 1.0;
  std::string log = "start load jpeg\r\n";
  const graphics::Surface surface = graphics::SurfaceOf(V(call), V(call).Current());
  const graphics::JpegDecoded r = graphics::LoadJpeg(Bytes(*data), surface, x, y, scale);
  if (r.info.width > 0) {
    log += "image_width=" + std::to_string(r.info.width) + "\r\n";
    log += "jpeg_color_space=" + std::to_string(r.info.color_space) + "\r\n";
    log += "num_components=" + std::to_string(r.info.components) + "\r\n";
  }
  if (!r.ok) log += "jpeg error: " + r.error + "\r\n";
  call.AppendDebugLog(log);
  if (!r.ok) {
    call.SetError(1);
    return;
  }
  Pictures(call).last_width = r.out_width;
  Pictures(call).last_height = r.out_height;
  V(call).MarkDirty(x, y, r.out_width, r.out_height);
  call.SetError(0);
}

// LoadJpg x, y, file [, scale (1.0)]: the picture reduced by the scale (a
// scale below 1 enlarges it).
void LoadJpg(Call& call) {
  const std::int32_t x = call.Int(0);
  const std::int32_t y = call.Int(1);
  std::string& file = call.Small(0);
  call.String(2, file);
  const double scale = call.OptDouble(3, 1.0);
  if (!(scale >= kLoadJpgScaleMin) || !(scale >= graphics::JPEG_SCALE_MIN)) {
    call.SetError(1);
    return;
  }
  LoadJpegFile(call, x, y, file, scale, false, 0, 0);
}

// JpgSize file, out width, out height: from the header alone.
void JpgSize(Call& call) {
  std::string& file = call.Small(0);
  call.String(0, file);
  const std::int32_t out_w = call.Resource(1);
  const std::int32_t out_h = call.Resource(2);
  if (out_w < 0 || out_h < 0) return;
  const std::optional<std::string> data = files::ReadAll(file, graphics::JPEG_FILE_BYTES_MAX);
  graphics::JpegInfo info;
  std::string error;
  if (!data || !graphics::ReadJpegInfo(Bytes(*data), &info, &error)) {
    call.SetError(1);
    return;
  }
  call.WriteInt(out_w, info.width);
  call.WriteInt(out_h, info.height);
  call.SetError(0);
}

// SaveJpg file, x, y, width, height: from the current bank.
void SaveJpg(Call& call) {
  std::string& file = call.Small(0);
  call.String(0, file);
  const std::int32_t x = call.Int(1);
  const std::int32_t y = call.Int(2);
  const std::int32_t w = call.Int(3);
  const std::int32_t h = call.Int(4);
  const std::optional<PixelRect> area = InsideRect(V(call), x, y, w, h);
  const std::uint8_t* bank = V(call).Current();
  std::string jpeg;
  std::string error;
  if (!area || bank == nullptr || !graphics::EncodeJpeg(bank, *area, &jpeg, &error)) {
    if (!error.empty()) call.AppendDebugLog("jpeg error: " + error + "\r\n");
    call.SetError(1);
    return;
  }
  ReportSystemResult(call, files::ReplaceFile(file, jpeg));
}

// --- screen and clipboard

// GetScreenShot bank [, screen x, y, width, height]: a width or height
// below 1 means the whole screen's; the area is cut to the screen. The
// picture lands at (0, 0) of the capture surface, which then replaces the
// whole bank.
void GetScreenShot(Call& call) {
  const std::int32_t bank_index = call.Int(0);
  const std::int32_t sx = call.OptInt(1, 0);
  const std::int32_t sy = call.OptInt(2, 0);
  std::int32_t w = call.OptInt(3, 0);
  std::int32_t h = call.OptInt(4, 0);
  std::uint8_t* bank = V(call).Bank(bank_index);
  if (bank == nullptr) {
    call.SetError(1);
    return;
  }
  int screen_w = 0;
  int screen_h = 0;
  call.rt().window->ScreenSize(&screen_w, &screen_h);
  if (w < 1) w = screen_w;
  if (h < 1) h = screen_h;
  if (static_cast<std::int64_t>(sx) + w > screen_w) w = static_cast<std::int32_t>(std::max<std::int64_t>(0, static_cast<std::int64_t>(screen_w) - sx));
  if (static_cast<std::int64_t>(sy) + h > screen_h) h = static_cast<std::int32_t>(std::max<std::int64_t>(0, static_cast<std::int64_t>(screen_h) - sy));
  w = std::min(w, graphics::VRAM_WIDTH);
  h = std::min(h, graphics::VRAM_HEIGHT);
  if (w < 1 || h < 1) {
    call.AppendDebugLog("Error 2");
    call.SetError(1);
    return;
  }
  if (sx < 0 || sy < 0) {
    call.AppendDebugLog("Error 3");
    call.SetError(1);
    return;
  }
  std::string dib;
  if (!call.rt().window->GrabScreen(sx, sy, w, h, &dib)) {
    call.SetError(1);
    return;
  }
  std::vector<std::uint8_t>& capture = Pictures(call).capture;
  if (capture.empty()) capture.assign(graphics::VRAM_BANK_BYTES, 0);
  const BmpLoadResult r = graphics::LoadDib(Bytes(dib), capture.data());
  if (r.status != BmpLoadStatus::kOk) {
    call.SetError(1);
    return;
  }
  std::copy(capture.begin(), capture.end(), bank);
  V(call).MarkDirty(0, 0, w - 1, h - 1);
  SetImageSize(call, w, h);
  call.SetError(0);
}

// ClipBdToVRam bank: the clipboard's picture with its top-left at (0, 0).
// G_ERROR -1: no such bank, or no usable picture.
void ClipBdToVRam(Call& call) {
  const std::int32_t bank_index = call.Int(0);
  std::uint8_t* bank = V(call).Bank(bank_index);
  if (bank == nullptr) {
    call.SetError(-1);
    return;
  }
  const std::string dib = call.rt().window->ClipboardPicture();
  graphics::SpanSource source(dib);
  const std::optional<graphics::BmpHeader> h = graphics::ReadDibHeader(source);
  if (!h) {
    call.SetError(-1);
    return;
  }
  const int rows = static_cast<int>(std::min<std::int64_t>(h->Rows(), INT32_MAX));
  SetImageSize(call, h->width, rows);
  values::AppendText(call.rt(), sysvar::G_TXT, "biBitCount=" + std::to_string(h->bit_count) + ", \r\n");
  values::AppendText(call.rt(), sysvar::G_TXT,
                     "biSize=" + std::to_string(h->info_size) + ", biSizeImage=" + std::to_string(h->size_image) +
                         ", \r\n");
  const BmpLoadResult r = graphics::LoadDib(Bytes(dib), bank);
  if (r.status == BmpLoadStatus::kUnsupported) {
    call.SetError(-1);
    return;
  }
  if (bank == V(call).Current()) {
    V(call).MarkDirty(0, 0, std::min<int>(static_cast<int>(h->Columns()), graphics::VRAM_WIDTH),
                      std::min(rows, graphics::VRAM_HEIGHT));
  }
  call.SetError(r.status == BmpLoadStatus::kOk ? 0 : 1);
}

// VRamToClipBd bank, x, y, width, height: the rectangle (cut to the bank)
// onto the clipboard. G_ERROR -1: no such bank; 1: nothing to put or the
// clipboard refused it.
void VRamToClipBd(Call& call) {
  const std::int32_t bank_index = call.Int(0);
  const std::int32_t x = call.Int(1);
  const std::int32_t y = call.Int(2);
  const std::int32_t w = call.Int(3);
  const std::int32_t h = call.Int(4);
  const graphics::BankPixels bank = V(call).Pixels(bank_index);
  if (!bank) {
    call.SetError(-1);
    return;
  }
  const PixelRect area = graphics::Intersect(graphics::NormalizedRect(x, y, w, h), graphics::kBankRect);
  if (area.Empty()) {
    call.SetError(1);
    return;
  }
  call.SetError(call.rt().window->SetClipboardPicture(graphics::EncodeDib(bank, area)) ? 0 : 1);
}

constexpr Registration kImageApis[] = {
    {Id("LoadBMPImage"), LoadBMPImage},
    {Id("LoadImage"), LoadImage},
    {Id("GetBMPSize"), GetBMPSize},
    {Id("RefBMPSize"), RefBMPSize},
    {Id("LoadBMPFill"), LoadBMPFill},
    {Id("LoadBMPMask"), LoadBMPMask},
    {Id("OutBMPImage"), OutBMPImage},
    {Id("Out16BitImage"), Out16BitImage},
    {Id("GetScreenShot"), GetScreenShot},
    {Id("ClipBdToVRam"), ClipBdToVRam},
    {Id("VRamToClipBd"), VRamToClipBd},
    {Id("LoadJpg"), LoadJpg},
    {Id("JpgSize"), JpgSize},
    {Id("SaveJpg"), SaveJpg},
};

}  // namespace

void RegisterImageApis(Registry& registry) { registry.AddAll(kImageApis); }

}  // namespace vx::api
