#include "graphics/bmp.hpp"

#include <algorithm>
#include <array>
#include <vector>

namespace vx::graphics {
namespace {

constexpr std::uint32_t kCoreHeaderBytes = 12;  // OS/2 headers: not read
constexpr std::uint32_t kBitfieldMaskBytes = 12;
constexpr std::uint32_t kPaletteEntryBytes = 4;
constexpr std::uint32_t kPaletteEntriesMax = 256;

std::uint16_t U16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | (p[1] << 8)); }
std::uint32_t U32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
         (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}
std::int32_t I32(const std::uint8_t* p) { return static_cast<std::int32_t>(U32(p)); }

void Put16(std::string& out, std::uint32_t v) {
  out += static_cast<char>(v & 0xFF);
  out += static_cast<char>((v >> 8) & 0xFF);
}
void Put32(std::string& out, std::uint32_t v) {
  Put16(out, v & 0xFFFF);
  Put16(out, v >> 16);
}

// The information header at `at`; the pixel offset is left to the caller.
std::optional<BmpHeader> ReadInfoHeader(ByteSource& source, std::uint64_t at) {
  std::array<std::uint8_t, BMP_INFO_HEADER_BYTES> info{};
  if (source.ReadAt(at, info) != info.size()) return std::nullopt;
  BmpHeader h;
  h.info_size = U32(&info[0]);
  if (h.info_size < BMP_INFO_HEADER_BYTES || h.info_size == kCoreHeaderBytes) return std::nullopt;
  h.width = I32(&info[4]);
  h.height = I32(&info[8]);
  h.bit_count = U16(&info[14]);
  h.compression = U32(&info[16]);
  h.size_image = U32(&info[20]);
  return h;
}

std::uint64_t PaletteBytes(ByteSource& source, std::uint64_t info_at, const BmpHeader& h) {
  std::array<std::uint8_t, 4> used{};
  if (source.ReadAt(info_at + 32, used) != used.size()) return 0;
  std::uint32_t entries = U32(used.data());
  if (entries == 0 && h.bit_count <= 8) entries = 1u << h.bit_count;
  return static_cast<std::uint64_t>(std::min(entries, kPaletteEntriesMax)) * kPaletteEntryBytes;
}

void AppendInfoHeader(std::string& out, int width, int height) {
  const std::uint64_t image_bytes = BmpStride(width, 24) * static_cast<std::uint64_t>(height);
  Put32(out, BMP_INFO_HEADER_BYTES);
  Put32(out, static_cast<std::uint32_t>(width));
  Put32(out, static_cast<std::uint32_t>(height));
  Put16(out, 1);   // planes
  Put16(out, 24);  // bits a pixel
  Put32(out, BMP_BI_RGB);
  Put32(out, static_cast<std::uint32_t>(image_bytes));
  Put32(out, 0);  // resolutions
  Put32(out, 0);
  Put32(out, 0);  // colour counts
  Put32(out, 0);
}

enum class RowPadding { kZeros, kBankBytes };

// The rows from the bottom one up, each padded to the stride. A file takes
// the padding from the bank bytes that follow the row in memory (as a
// stride-wide copy does); only what lies beyond the bank's end is zero.
void AppendRows(std::string& out, const BankPixels& bank, const PixelRect& area, RowPadding padding) {
  const std::size_t row_bytes = static_cast<std::size_t>(area.Width()) * VRAM_PIXEL_BYTES;
  const std::size_t stride = BmpStride(area.Width(), 24);
  // A one-colour bank reads as its colour repeated, its rows included.
  std::vector<std::uint8_t> pattern;
  if (bank.uniform) {
    pattern.resize(stride);
    for (std::size_t i = 0; i < stride; ++i) {
      const std::size_t component = i % VRAM_PIXEL_BYTES;
      pattern[i] = component == 0 ? bank.uniform->b : component == 1 ? bank.uniform->g : bank.uniform->r;
    }
  }
  for (int y = area.bottom; y >= area.top; --y) {
    const std::size_t offset = PixelOffset(area.left, y);
    const std::uint8_t* row = bank.uniform ? pattern.data() : bank.memory + offset;
    std::size_t taken = row_bytes;
    if (padding == RowPadding::kBankBytes) taken = std::min<std::size_t>(stride, VRAM_BANK_BYTES - offset);
    out.append(reinterpret_cast<const char*>(row), taken);
    out.append(stride - taken, '\0');
  }
}

}  // namespace

std::uint64_t BmpStride(std::int64_t width, int bit_count) {
  if (width <= 0 || bit_count <= 0) return 0;
  const std::uint64_t bits = static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(bit_count);
  return (bits + 31) / 32 * 4;
}

std::optional<BmpHeader> ReadBmpHeader(ByteSource& source) {
  std::array<std::uint8_t, BMP_FILE_HEADER_BYTES> file{};
  if (source.ReadAt(0, file) != file.size() || file[0] != 'B' || file[1] != 'M') return std::nullopt;
  std::optional<BmpHeader> h = ReadInfoHeader(source, BMP_FILE_HEADER_BYTES);
  if (!h) return std::nullopt;
  h->pixel_offset = std::max<std::uint64_t>(U32(&file[10]), BMP_HEADERS_BYTES);
  return h;
}

std::optional<BmpHeader> ReadDibHeader(ByteSource& source) {
  std::optional<BmpHeader> h = ReadInfoHeader(source, 0);
  if (!h) return std::nullopt;
  std::uint64_t offset = h->info_size;
  if (h->compression == BMP_BI_BITFIELDS && h->info_size == BMP_INFO_HEADER_BYTES) offset += kBitfieldMaskBytes;
  offset += PaletteBytes(source, 0, *h);
  h->pixel_offset = offset;
  return h;
}

BmpRead ReadBmpRows(ByteSource& source, const BmpHeader& header, const BmpWindow& window,
                    const BmpRowSink& sink) {
  const bool bitfields32 = header.bit_count == 32 && header.compression == BMP_BI_BITFIELDS;
  if ((header.bit_count != 24 && header.bit_count != 32) ||
      (header.compression != BMP_BI_RGB && !bitfields32)) {
    return BmpRead::kUnsupported;
  }
  const std::int64_t rows = header.Rows();
  const std::uint64_t stride = header.Stride();
  const std::uint64_t size = source.Size();
  // Rows stored completely, counted in stored order.
  std::uint64_t complete = static_cast<std::uint64_t>(rows);
  if (stride > 0) {
    complete = size > header.pixel_offset ? (size - header.pixel_offset) / stride : 0;
    complete = std::min<std::uint64_t>(complete, static_cast<std::uint64_t>(rows));
  }

  const std::int64_t col_begin = std::max<std::int64_t>(window.col_begin, 0);
  const std::int64_t col_end = std::min({window.col_end, header.Columns(), col_begin + BMP_WINDOW_COLUMNS_MAX});
  const std::int64_t row_begin = std::max<std::int64_t>(window.row_begin, 0);
  const std::int64_t row_end = std::min(window.row_end, rows);
  if (col_begin < col_end && row_begin < row_end) {
    const std::size_t pixel_bytes = header.bit_count / 8u;
    const std::size_t count = static_cast<std::size_t>(col_end - col_begin);
    std::vector<std::uint8_t> raw(count * pixel_bytes);
    std::vector<std::uint8_t> bgr(pixel_bytes == 3 ? 0 : count * 3);
    // Stored order: bottom-up files hold the last picture row first.
    for (std::int64_t i = 0; i < row_end - row_begin; ++i) {
      const std::int64_t row = header.TopDown() ? row_begin + i : row_end - 1 - i;
      const std::uint64_t stored = static_cast<std::uint64_t>(header.TopDown() ? row : rows - 1 - row);
      if (stored >= complete) continue;
      const std::uint64_t at = header.pixel_offset + stored * stride +
                               static_cast<std::uint64_t>(col_begin) * pixel_bytes;
      if (source.ReadAt(at, raw) != raw.size()) return BmpRead::kShortRead;  // the file shrank under us
      if (pixel_bytes == 3) {
        sink(row, raw);
        continue;
      }
      for (std::size_t c = 0; c < count; ++c) {
        std::copy_n(&raw[c * pixel_bytes], 3, &bgr[c * 3]);
      }
      sink(row, bgr);
    }
  }
  return complete < static_cast<std::uint64_t>(rows) ? BmpRead::kShortRead : BmpRead::kOk;
}

std::string EncodeBmp(const BankPixels& bank, const PixelRect& area) {
  const std::uint64_t image_bytes = BmpStride(area.Width(), 24) * static_cast<std::uint64_t>(area.Height());
  std::string out;
  out.reserve(BMP_HEADERS_BYTES + image_bytes);
  out += "BM";
  Put32(out, static_cast<std::uint32_t>(image_bytes + BMP_HEADERS_BYTES));
  Put16(out, 0);
  Put16(out, 0);
  Put32(out, BMP_HEADERS_BYTES);
  AppendInfoHeader(out, area.Width(), area.Height());
  AppendRows(out, bank, area, RowPadding::kBankBytes);
  return out;
}

std::string EncodeDib(const BankPixels& bank, const PixelRect& area) {
  std::string out;
  out.reserve(BMP_INFO_HEADER_BYTES + BmpStride(area.Width(), 24) * static_cast<std::uint64_t>(area.Height()));
  AppendInfoHeader(out, area.Width(), area.Height());
  AppendRows(out, bank, area, RowPadding::kZeros);
  return out;
}

}  // namespace vx::graphics
