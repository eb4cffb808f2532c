#pragma once
// 24-bit BMP files and packed device-independent bitmaps (the clipboard's
// form: the same information header without the file header).
//
// The reader never trusts the header: sizes are 64-bit, only the rows and
// columns asked for are read, a row is handed out only when the data holds
// it completely, and a picture whose data ends early says so.
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>

#include "graphics/byte_source.hpp"
#include "graphics/vram.hpp"

namespace vx::graphics {

inline constexpr std::size_t BMP_FILE_HEADER_BYTES = 14;
inline constexpr std::size_t BMP_INFO_HEADER_BYTES = 40;
inline constexpr std::size_t BMP_HEADERS_BYTES = BMP_FILE_HEADER_BYTES + BMP_INFO_HEADER_BYTES;  // 54
inline constexpr std::uint32_t BMP_BI_RGB = 0;
inline constexpr std::uint32_t BMP_BI_BITFIELDS = 3;
// The widest row window one read may ask for (a bank's width is far below).
inline constexpr int BMP_WINDOW_COLUMNS_MAX = 1 << 16;

// Bytes of one stored row: 3 (or bits / 8) bytes a pixel, padded to 4.
std::uint64_t BmpStride(std::int64_t width, int bit_count);

struct BmpHeader {
  std::int32_t width = 0;
  std::int32_t height = 0;  // as stored: negative for a top-down picture
  std::uint16_t bit_count = 0;
  std::uint32_t compression = 0;
  std::uint32_t info_size = 0;
  std::uint32_t size_image = 0;
  std::uint64_t pixel_offset = 0;  // where the first stored row starts

  std::int64_t Rows() const { return height < 0 ? -static_cast<std::int64_t>(height) : height; }
  std::int64_t Columns() const { return width < 0 ? 0 : width; }
  bool TopDown() const { return height < 0; }
  std::uint64_t Stride() const { return BmpStride(Columns(), bit_count); }
};

// A BMP file's headers: "BM", a 14-byte file header and an information
// header of at least 40 bytes. The pixels start at the file header's
// offset, or right after the 54 header bytes when that offset points into
// the headers. nullopt: not a BMP file, or shorter than its headers.
std::optional<BmpHeader> ReadBmpHeader(ByteSource& source);

// A packed DIB's header (information header at offset 0). The pixels follow
// the header, its colour masks (BI_BITFIELDS with a 40-byte header) and its
// colour table. nullopt: too short or not a DIB.
std::optional<BmpHeader> ReadDibHeader(ByteSource& source);

// Part of a picture in picture coordinates (row 0 at the top); the end
// values are exclusive.
struct BmpWindow {
  std::int64_t col_begin = 0;
  std::int64_t col_end = 0;
  std::int64_t row_begin = 0;
  std::int64_t row_end = 0;
};

// One picture row of the window: blue, green, red for columns col_begin to
// col_end - 1.
using BmpRowSink = std::function<void(std::int64_t row, std::span<const std::uint8_t> bgr)>;

enum class BmpRead {
  kOk,
  kShortRead,    // the data ended inside a row: the rows stored after it are missing
  kUnsupported,  // not 24 or 32 bits a pixel, or compressed
};

// Hands every row of the window (cut to the picture) that the data holds
// completely to `sink`, in stored order. For 32-bit pixels the first three
// bytes of each are used.
BmpRead ReadBmpRows(ByteSource& source, const BmpHeader& header, const BmpWindow& window,
                    const BmpRowSink& sink);

// The BMP file of a rectangle of a whole bank (the rectangle must lie
// inside it): the 54-byte headers (bottom-up, 24 bits, BI_RGB, resolutions
// and colour counts 0) and the rows from the bottom one up, each a full
// stride of bank memory from the row's left end (zeros past the bank's end).
std::string EncodeBmp(const BankPixels& bank, const PixelRect& area);
// The same picture as a packed DIB (no file header), rows padded with zeros.
std::string EncodeDib(const BankPixels& bank, const PixelRect& area);

}  // namespace vx::graphics
