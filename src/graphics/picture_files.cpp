#include "graphics/picture_files.hpp"

#include <algorithm>
#include <cstring>

namespace vx::graphics {
namespace {

void WriteRow(std::uint8_t* dst, std::span<const std::uint8_t> bgr, const Color* transparent) {
  if (transparent == nullptr) {
    std::memcpy(dst, bgr.data(), bgr.size());
    return;
  }
  for (std::size_t i = 0; i < bgr.size(); i += 3) {
    if (bgr[i] != transparent->b || bgr[i + 1] != transparent->g || bgr[i + 2] != transparent->r) {
      std::memcpy(dst + i, &bgr[i], 3);
    }
  }
}

// Window ends are held below this (the decoder's "to the end" value).
constexpr std::int64_t kFar = 1 << 30;

BmpLoadStatus StatusOf(BmpRead read) {
  switch (read) {
    case BmpRead::kOk: return BmpLoadStatus::kOk;
    case BmpRead::kShortRead: return BmpLoadStatus::kShortRead;
    default: return BmpLoadStatus::kUnsupported;
  }
}

// Header checks shared by the BMP file loaders.
bool Usable(ByteSource& file, BmpLoadResult* result) {
  const std::optional<BmpHeader> header = ReadBmpHeader(file);
  if (!header) {
    result->status = BmpLoadStatus::kUnreadable;
    return false;
  }
  result->header = *header;
  if (header->bit_count != 24) {
    result->status = BmpLoadStatus::kNot24Bit;
    return false;
  }
  if (header->compression != BMP_BI_RGB) {
    result->status = BmpLoadStatus::kUnsupported;
    return false;
  }
  return true;
}

}  // namespace

Surface SurfaceOf(Vram& vram, std::uint8_t* bank) {
  return Surface{bank, std::clamp(vram.width, 0, VRAM_WIDTH), std::clamp(vram.height, 0, VRAM_HEIGHT)};
}

BmpLoadResult LoadBmp(ByteSource& file, const Surface& surface, int x, int y, int max_width, int max_height,
                      const Color* transparent) {
  BmpLoadResult result;
  if (!Usable(file, &result)) return result;
  const BmpHeader& h = result.header;
  const std::int64_t columns = std::min<std::int64_t>(h.Columns(), max_width);
  BmpWindow window;
  window.col_begin = x < 0 ? -static_cast<std::int64_t>(x) : 0;
  window.col_end = std::min<std::int64_t>(columns, static_cast<std::int64_t>(surface.width) - x);
  window.row_begin = y < 0 ? -static_cast<std::int64_t>(y) : 0;
  window.row_end = std::min({h.Rows(), static_cast<std::int64_t>(max_height),
                             static_cast<std::int64_t>(surface.height) - y});
  const BmpRead read = ReadBmpRows(file, h, window, [&](std::int64_t row, std::span<const std::uint8_t> bgr) {
    const int left = static_cast<int>(x + window.col_begin), top = static_cast<int>(y + row);
    WriteRow(PixelAt(surface.bank, left, top), bgr, transparent);
    const int right = left + static_cast<int>(bgr.size() / VRAM_PIXEL_BYTES) - 1;
    PixelRect& p = result.placed;
    p = p.Empty() ? PixelRect{left, top, right, top}
                  : PixelRect{std::min(p.left, left), std::min(p.top, top), std::max(p.right, right),
                              std::max(p.bottom, top)};
  });
  result.status = StatusOf(read);
  return result;
}

BmpLoadResult ReadBmpImage(ByteSource& file, int max_width, int max_height, Image* out) {
  BmpLoadResult result;
  *out = Image();
  if (!Usable(file, &result)) return result;
  const BmpHeader& h = result.header;
  const int width = static_cast<int>(std::min<std::int64_t>({h.Columns(), max_width, VRAM_WIDTH}));
  const int height = static_cast<int>(std::min<std::int64_t>({h.Rows(), max_height, VRAM_HEIGHT}));
  if (width <= 0 || height <= 0) {
    result.status = StatusOf(ReadBmpRows(file, h, BmpWindow{}, [](std::int64_t, std::span<const std::uint8_t>) {}));
    return result;
  }
  Image image(width, height);
  const BmpRead read = ReadBmpRows(file, h, BmpWindow{0, width, 0, height},
                                   [&](std::int64_t row, std::span<const std::uint8_t> bgr) {
                                     std::memcpy(image.Row(static_cast<int>(row)), bgr.data(), bgr.size());
                                   });
  result.status = StatusOf(read);
  *out = std::move(image);
  return result;
}

BmpLoadResult LoadDib(std::span<const std::uint8_t> dib, std::uint8_t* bank) {
  BmpLoadResult result;
  SpanSource source(dib);
  const std::optional<BmpHeader> header = ReadDibHeader(source);
  if (!header) return result;
  result.header = *header;
  const BmpWindow window{0, VRAM_WIDTH, 0, VRAM_HEIGHT};
  const BmpRead read = ReadBmpRows(source, *header, window, [&](std::int64_t row, std::span<const std::uint8_t> bgr) {
    std::memcpy(PixelAt(bank, 0, static_cast<int>(row)), bgr.data(), bgr.size());
  });
  result.status = StatusOf(read);
  return result;
}

JpegDecoded LoadJpeg(std::span<const std::uint8_t> data, const Surface& surface, int x, int y, double scale) {
  JpegDecodeOptions options;
  options.scale = scale;
  // Output columns (rows) before -at fall left of (above) the surface, those
  // from extent - at on right of (below) it; worked in 64 bits so that every
  // 32-bit position is placed, and held within the window's range.
  const auto begin = [](int at) { return static_cast<int>(std::clamp<std::int64_t>(-std::int64_t{at}, 0, kFar)); };
  const auto end = [](int at, int extent) {
    return static_cast<int>(std::clamp<std::int64_t>(std::int64_t{extent} - at, 0, kFar));
  };
  options.window = ResampleWindow{begin(x), end(x, surface.width), begin(y), end(y, surface.height)};
  options.place = [&](int row) {
    return PixelAt(surface.bank, static_cast<int>(std::int64_t{x} + options.window.col_begin),
                   static_cast<int>(std::int64_t{y} + row));
  };
  return DecodeJpeg(data, options, [&](int row, std::span<const std::uint8_t> pixels) {
    // Only rows and columns of the window come here, all inside the surface.
    const std::int64_t to_x = std::int64_t{x} + options.window.col_begin;
    const std::int64_t to_y = std::int64_t{y} + row;
    std::memcpy(PixelAt(surface.bank, static_cast<int>(to_x), static_cast<int>(to_y)), pixels.data(), pixels.size());
  });
}

std::string EncodeRgb565(const std::uint8_t* bank, const PixelRect& area) {
  std::string out;
  out.reserve(4 + static_cast<std::size_t>(area.Width()) * area.Height() * 2);
  const auto put16 = [&out](unsigned v) {
    out += static_cast<char>((v >> 8) & 0xFF);
    out += static_cast<char>(v & 0xFF);
  };
  put16(static_cast<unsigned>(area.Width()));
  put16(static_cast<unsigned>(area.Height()));
  for (int x = area.right; x >= area.left; --x) {
    for (int y = area.top; y <= area.bottom; ++y) {
      const Color c = ReadPixel(bank, x, y);
      put16(static_cast<unsigned>((c.r >> 3) << 11 | (c.g >> 2) << 5 | (c.b >> 3)));
    }
  }
  return out;
}

}  // namespace vx::graphics
