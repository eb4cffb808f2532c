#include <algorithm>
#include <array>
#include <cstdio>

#include "recognition/qr.hpp"
#include "recognition/reed_solomon.hpp"

namespace vx::recognition {
namespace {

// Per level (L, M, Q, H) and version 1-40.
constexpr int kEcPerBlock[4][41] = {
    {-1, 7,  10, 15, 20, 26, 18, 20, 24, 30, 18, 20, 24, 26, 30, 22, 24, 28, 30, 28, 28,
     28, 28, 30, 30, 26, 28, 30, 30, 30, 30, 30, 30, 30, 30, 30, 30, 30, 30, 30, 30},
    {-1, 10, 16, 26, 18, 24, 16, 18, 22, 22, 26, 30, 22, 22, 24, 24, 28, 28, 26, 26, 26,
     26, 28, 28, 28, 28, 28, 28, 28, 28, 28, 28, 28, 28, 28, 28, 28, 28, 28, 28, 28},
    {-1, 13, 22, 18, 26, 18, 24, 18, 22, 20, 24, 28, 26, 24, 20, 30, 24, 28, 28, 26, 30,
     28, 30, 30, 30, 30, 28, 30, 30, 30, 30, 30, 30, 30, 30, 30, 30, 30, 30, 30, 30},
    {-1, 17, 28, 22, 16, 22, 28, 26, 26, 24, 28, 24, 28, 22, 24, 24, 30, 28, 28, 26, 28,
     30, 24, 30, 30, 30, 30, 30, 30, 30, 30, 30, 30, 30, 30, 30, 30, 30, 30, 30, 30},
};
constexpr int kBlockCount[4][41] = {
    {-1, 1, 1, 1, 1, 1, 2, 2, 2, 2, 4, 4, 4, 4, 4, 6, 6, 6, 6, 7, 8,
     8, 9, 9, 10, 12, 12, 12, 13, 14, 15, 16, 17, 18, 19, 19, 20, 21, 22, 24, 25},
    {-1, 1, 1, 1, 2, 2, 4, 4, 4, 5, 5, 5, 8, 9, 9, 10, 10, 11, 13, 14, 16,
     17, 17, 18, 20, 21, 23, 25, 26, 28, 29, 31, 33, 35, 37, 38, 40, 43, 45, 47, 49},
    {-1, 1, 1, 2, 2, 4, 4, 6, 6, 8, 8, 8, 10, 12, 16, 12, 17, 16, 18, 21, 20,
     23, 23, 25, 27, 29, 34, 34, 35, 38, 40, 43, 45, 48, 51, 53, 56, 59, 62, 65, 68},
    {-1, 1, 1, 2, 4, 4, 4, 5, 6, 8, 8, 11, 11, 16, 16, 18, 16, 19, 21, 25, 25,
     25, 34, 30, 32, 35, 37, 40, 42, 45, 48, 51, 54, 57, 60, 63, 66, 70, 74, 77, 81},
};

constexpr char kAlphanumeric[] = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ $%*+-./:";
constexpr int kFormatMask = 0x5412;  // 101010000010010

// Level from the two format bits: 01 L, 00 M, 11 Q, 10 H.
constexpr int kLevelOfBits[4] = {QR_LEVEL_M, QR_LEVEL_L, QR_LEVEL_H, QR_LEVEL_Q};

int RawDataModules(int version) {
  int result = (16 * version + 128) * version + 64;
  if (version >= 2) {
    const int align = version / 7 + 2;
    result -= (25 * align - 10) * align - 55;
    if (version >= 7) result -= 36;
  }
  return result;
}

int FormatCodeword(int data) {
  int rem = data;
  for (int i = 0; i < 10; ++i) rem = (rem << 1) ^ ((rem >> 9) * 0x537);
  return (data << 10 | rem) ^ kFormatMask;
}

// The five format data bits nearest to `bits` (at most three bits apart);
// -1 otherwise. `distance` gets how many bits were wrong.
int CorrectFormat(int bits, int& best_distance) {
  int best = -1;
  best_distance = 4;
  for (int data = 0; data < 32; ++data) {
    const int distance = __builtin_popcount(static_cast<unsigned>(FormatCodeword(data) ^ bits));
    if (distance < best_distance) {
      best = data;
      best_distance = distance;
    }
  }
  return best;
}

int FirstFormatCopy(const QrMatrix& m) {
  int bits = 0;
  auto take = [&](int row, int column) { bits = bits << 1 | (m.At(row, column) ? 1 : 0); };
  for (int c = 0; c <= 5; ++c) take(8, c);
  take(8, 7);
  take(8, 8);
  take(7, 8);
  for (int r = 5; r >= 0; --r) take(r, 8);
  return bits;
}

int SecondFormatCopy(const QrMatrix& m) {
  int bits = 0;
  auto take = [&](int row, int column) { bits = bits << 1 | (m.At(row, column) ? 1 : 0); };
  for (int r = m.size - 1; r >= m.size - 7; --r) take(r, 8);
  for (int c = m.size - 8; c < m.size; ++c) take(8, c);
  return bits;
}

// 1 for modules that carry no data.
std::vector<std::uint8_t> FunctionMap(int size, int version) {
  std::vector<std::uint8_t> f(static_cast<std::size_t>(size * size), 0);
  auto mark = [&](int r0, int c0, int rows, int columns) {
    for (int r = std::max(r0, 0); r < std::min(r0 + rows, size); ++r) {
      for (int c = std::max(c0, 0); c < std::min(c0 + columns, size); ++c) f[static_cast<std::size_t>(r * size + c)] = 1;
    }
  };
  mark(0, 0, 9, 9);              // finder, separator, format
  mark(0, size - 8, 9, 8);
  mark(size - 8, 0, 8, 9);
  mark(6, 0, 1, size);           // timing
  mark(0, 6, size, 1);
  const std::vector<int> centres = AlignmentCentres(version);
  const int last = static_cast<int>(centres.size()) - 1;
  for (int i = 0; i <= last; ++i) {
    for (int j = 0; j <= last; ++j) {
      if ((i == 0 && j == 0) || (i == 0 && j == last) || (i == last && j == 0)) continue;
      mark(centres[static_cast<std::size_t>(i)] - 2, centres[static_cast<std::size_t>(j)] - 2, 5, 5);
    }
  }
  if (version >= 7) {
    mark(0, size - 11, 6, 3);    // version information
    mark(size - 11, 0, 3, 6);
  }
  return f;
}

bool MaskBit(int mask, int r, int c) {
  switch (mask) {
    case 0: return (r + c) % 2 == 0;
    case 1: return r % 2 == 0;
    case 2: return c % 3 == 0;
    case 3: return (r + c) % 3 == 0;
    case 4: return (r / 2 + c / 3) % 2 == 0;
    case 5: return r * c % 2 + r * c % 3 == 0;
    case 6: return (r * c % 2 + r * c % 3) % 2 == 0;
    default: return ((r + c) % 2 + r * c % 3) % 2 == 0;
  }
}

std::vector<std::uint8_t> ReadCodewords(const QrMatrix& m, const std::vector<std::uint8_t>& function, int mask,
                                        int count) {
  std::vector<std::uint8_t> out(static_cast<std::size_t>(count), 0);
  const int size = m.size;
  int bit = 0;
  for (int right = size - 1; right >= 1; right -= 2) {
    if (right == 6) right = 5;
    const bool upward = ((right + 1) & 2) == 0;
    for (int vert = 0; vert < size; ++vert) {
      const int r = upward ? size - 1 - vert : vert;
      for (int j = 0; j < 2; ++j) {
        const int c = right - j;
        if (function[static_cast<std::size_t>(r * size + c)] != 0) continue;
        if (bit >= count * 8) return out;
        const bool dark = m.At(r, c) != MaskBit(mask, r, c);
        if (dark) out[static_cast<std::size_t>(bit / 8)] |= static_cast<std::uint8_t>(0x80 >> (bit % 8));
        ++bit;
      }
    }
  }
  return out;
}

class BitReader {
 public:
  explicit BitReader(const std::vector<std::uint8_t>& bytes) : bytes_(bytes) {}
  int Left() const { return static_cast<int>(bytes_.size()) * 8 - position_; }
  int Read(int n) {
    int v = 0;
    for (int i = 0; i < n; ++i, ++position_) {
      v = v << 1 | ((bytes_[static_cast<std::size_t>(position_ / 8)] >> (7 - position_ % 8)) & 1);
    }
    return v;
  }

 private:
  const std::vector<std::uint8_t>& bytes_;
  int position_ = 0;
};

int CountBits(int mode, int version) {
  const int group = version <= 9 ? 0 : version <= 26 ? 1 : 2;
  switch (mode) {
    case 1: return std::array{10, 12, 14}[static_cast<std::size_t>(group)];
    case 2: return std::array{9, 11, 13}[static_cast<std::size_t>(group)];
    case 4: return std::array{8, 16, 16}[static_cast<std::size_t>(group)];
    default: return std::array{8, 10, 12}[static_cast<std::size_t>(group)];
  }
}

void Put(std::string& text, char c) {
  if (text.size() < QR_TEXT_MAX) text += c;
}

// False when the stream breaks off inside a segment.
bool DecodeSegments(const std::vector<std::uint8_t>& data, int version, std::string& text) {
  BitReader in(data);
  while (in.Left() >= 4 && text.size() < QR_TEXT_MAX) {
    const int mode = in.Read(4);
    if (mode == 0) break;
    if (mode == 5) continue;  // first-position FNC1: no payload
    if (mode == 3) {          // structured append: sequence, total, parity
      if (in.Left() < 16) return false;
      in.Read(16);
      continue;
    }
    if (mode == 7) {  // ECI designator of 1, 2 or 3 bytes
      if (in.Left() < 8) return false;
      const int first = in.Read(8);
      const int more = (first & 0x80) == 0 ? 0 : (first & 0x40) == 0 ? 1 : 2;
      if (in.Left() < 8 * more) return false;
      in.Read(8 * more);
      continue;
    }
    if (mode != 1 && mode != 2 && mode != 4 && mode != 8) break;
    const int width = CountBits(mode, version);
    if (in.Left() < width) return false;
    int count = in.Read(width);
    switch (mode) {
      case 1:
        for (; count >= 3; count -= 3) {
          if (in.Left() < 10) return false;
          const int v = in.Read(10);
          if (v > 999) return false;
          Put(text, static_cast<char>('0' + v / 100));
          Put(text, static_cast<char>('0' + v / 10 % 10));
          Put(text, static_cast<char>('0' + v % 10));
        }
        if (count > 0) {
          const int bits = count == 2 ? 7 : 4;
          if (in.Left() < bits) return false;
          const int v = in.Read(bits);
          if (v >= (count == 2 ? 100 : 10)) return false;
          if (count == 2) Put(text, static_cast<char>('0' + v / 10));
          Put(text, static_cast<char>('0' + v % 10));
        }
        break;
      case 2:
        for (; count >= 2; count -= 2) {
          if (in.Left() < 11) return false;
          const int v = in.Read(11);
          if (v >= 45 * 45) return false;
          Put(text, kAlphanumeric[v / 45]);
          Put(text, kAlphanumeric[v % 45]);
        }
        if (count == 1) {
          if (in.Left() < 6) return false;
          const int v = in.Read(6);
          if (v >= 45) return false;
          Put(text, kAlphanumeric[v]);
        }
        break;
      case 4:
        for (; count > 0; --count) {
          if (in.Left() < 8) return false;
          Put(text, static_cast<char>(in.Read(8)));
        }
        break;
      default:  // kanji: 13 bits back to a two-byte Shift-JIS code
        for (; count > 0; --count) {
          if (in.Left() < 13) return false;
          const int v = in.Read(13);
          int code = (v / 0xC0) << 8 | (v % 0xC0);
          code += code < 0x1F00 ? 0x8140 : 0xC140;
          Put(text, static_cast<char>(code >> 8));
          Put(text, static_cast<char>(code & 0xFF));
        }
        break;
    }
  }
  return true;
}

template <typename... A>
void Log(std::string& log, const char* format, A... args) {
  char buffer[160];
  std::snprintf(buffer, sizeof buffer, format, args...);
  log += buffer;
}

}  // namespace

bool DecodeQrSegments(const std::vector<std::uint8_t>& data, int version, std::string& text) {
  return DecodeSegments(data, version, text);
}

QrBlocks BlocksOf(int version, int level) {
  if (version < 1 || version > 40 || level < 0 || level > 3) return {};
  return QrBlocks{kEcPerBlock[level][version], kBlockCount[level][version], RawDataModules(version) / 8};
}

std::vector<int> AlignmentCentres(int version) {
  if (version < 2 || version > 40) return {};
  const int count = version / 7 + 2;
  const int size = version * 4 + 17;
  const int step = version == 32 ? 26 : (version * 4 + count * 2 + 1) / (count * 2 - 2) * 2;
  std::vector<int> centres(static_cast<std::size_t>(count));
  centres[0] = 6;
  for (int i = count - 1, pos = size - 7; i >= 1; --i, pos -= step) centres[static_cast<std::size_t>(i)] = pos;
  return centres;
}

QrOutcome DecodeQrMatrix(const QrMatrix& m, std::string& log) {
  if (m.size < QR_SIZE_MIN || m.size > QR_SIZE_MAX || (m.size - QR_SIZE_MIN) % 4 != 0 ||
      m.dark.size() != static_cast<std::size_t>(m.size * m.size)) {
    Log(log, "Error : symbol size %d \r\n", m.size);
    return {};
  }
  // The copy next to the top-left mark, unless the other one is closer to
  // a valid code.
  int first_distance = 0;
  int second_distance = 0;
  int format = CorrectFormat(FirstFormatCopy(m), first_distance);
  const int second = CorrectFormat(SecondFormatCopy(m), second_distance);
  if (format < 0 || (second >= 0 && second_distance < first_distance)) format = second;
  if (format < 0) {
    log += "Error[496] :  \r\n";
    return {};
  }
  const int level = kLevelOfBits[format >> 3];
  const int mask = format & 7;
  const int version = (m.size - 21) / 4 + 1;
  Log(log, "version %d, level %d, mask %d \r\n", version, level, mask);

  const QrBlocks blocks = BlocksOf(version, level);
  const std::vector<std::uint8_t> function = FunctionMap(m.size, version);
  const std::vector<std::uint8_t> codewords = ReadCodewords(m, function, mask, blocks.raw_codewords);

  // De-interleave: short blocks first, data then error correction.
  const int short_length = blocks.raw_codewords / blocks.blocks;
  const int short_blocks = blocks.blocks - blocks.raw_codewords % blocks.blocks;
  std::vector<std::vector<std::uint8_t>> parts(static_cast<std::size_t>(blocks.blocks));
  std::size_t next = 0;
  const int short_data = short_length - blocks.ec_per_block;
  for (int i = 0; i <= short_data; ++i) {
    for (int b = 0; b < blocks.blocks; ++b) {
      if (i == short_data && b < short_blocks) continue;
      parts[static_cast<std::size_t>(b)].push_back(codewords[next++]);
    }
  }
  for (int i = 0; i < blocks.ec_per_block; ++i) {
    for (int b = 0; b < blocks.blocks; ++b) parts[static_cast<std::size_t>(b)].push_back(codewords[next++]);
  }

  std::vector<std::uint8_t> data;
  bool sound = true;
  for (int b = 0; b < blocks.blocks; ++b) {
    log += "* * * * * processing one block * * * * * \r\n";
    std::vector<std::uint8_t>& part = parts[static_cast<std::size_t>(b)];
    const RsOutcome rs = RsCorrect(part, blocks.ec_per_block);
    if (!rs.ok) {
      Log(log, "Error : block %d cannot be corrected \r\n", b);
      sound = false;
    } else if (rs.corrected > 0) {
      Log(log, "block %d : %d errors corrected \r\n", b, rs.corrected);
    }
    data.insert(data.end(), part.begin(), part.end() - blocks.ec_per_block);
  }
  if (!sound) return {};
  QrOutcome out;
  if (!DecodeSegments(data, version, out.text)) {
    log += "Error : data segments break off \r\n";
    return {};
  }
  out.ok = true;
  return out;
}

}  // namespace vx::recognition
