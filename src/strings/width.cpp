// Half-width and full-width forms of Hafe2Full: printable ASCII, the
// half-width katakana block 0xA1-0xDF with its voiced and semi-voiced marks,
// and the kana punctuation. Full-width codes are CP932 double-byte values.
#include <algorithm>
#include <array>

#include "strings/string_ops.hpp"

namespace vx::strops {
namespace {

constexpr std::uint8_t ASCII_FIRST = 0x20;
constexpr std::uint8_t ASCII_LAST = 0x7E;
constexpr std::uint8_t KANA_FIRST = 0xA1;
constexpr std::uint8_t KANA_LAST = 0xDF;
constexpr std::uint8_t VOICED_MARK = 0xDE;       // ﾞ
constexpr std::uint8_t SEMI_VOICED_MARK = 0xDF;  // ﾟ
constexpr std::uint8_t HALF_U = 0xB3;            // ｳ
constexpr std::uint16_t FULL_VU = 0x8394;        // ヴ

// Blank to tilde. The quotes take their JIS X 0208 forms ” and ’, the
// backslash ＼ and the tilde ～, as Japanese text writes them.
constexpr std::array<std::uint16_t, ASCII_LAST - ASCII_FIRST + 1> kAsciiFull = {
    0x8140, 0x8149, 0x8168, 0x8194, 0x8190, 0x8193, 0x8195, 0x8166, 0x8169, 0x816a, 0x8196, 0x817b,
    0x8143, 0x817c, 0x8144, 0x815e, 0x824f, 0x8250, 0x8251, 0x8252, 0x8253, 0x8254, 0x8255, 0x8256,
    0x8257, 0x8258, 0x8146, 0x8147, 0x8183, 0x8181, 0x8184, 0x8148, 0x8197, 0x8260, 0x8261, 0x8262,
    0x8263, 0x8264, 0x8265, 0x8266, 0x8267, 0x8268, 0x8269, 0x826a, 0x826b, 0x826c, 0x826d, 0x826e,
    0x826f, 0x8270, 0x8271, 0x8272, 0x8273, 0x8274, 0x8275, 0x8276, 0x8277, 0x8278, 0x8279, 0x816d,
    0x815f, 0x816e, 0x814f, 0x8151, 0x814d, 0x8281, 0x8282, 0x8283, 0x8284, 0x8285, 0x8286, 0x8287,
    0x8288, 0x8289, 0x828a, 0x828b, 0x828c, 0x828d, 0x828e, 0x828f, 0x8290, 0x8291, 0x8292, 0x8293,
    0x8294, 0x8295, 0x8296, 0x8297, 0x8298, 0x8299, 0x829a, 0x816f, 0x8162, 0x8170, 0x8160};

// ｡｢｣､･ｦｧｨｩｪｫｬｭｮｯｰ ｱ…ﾝ ﾞﾟ.
constexpr std::array<std::uint16_t, KANA_LAST - KANA_FIRST + 1> kKanaFull = {
    0x8142, 0x8175, 0x8176, 0x8141, 0x8145, 0x8392, 0x8340, 0x8342, 0x8344, 0x8346, 0x8348,
    0x8383, 0x8385, 0x8387, 0x8362, 0x815b, 0x8341, 0x8343, 0x8345, 0x8347, 0x8349, 0x834a,
    0x834c, 0x834e, 0x8350, 0x8352, 0x8354, 0x8356, 0x8358, 0x835a, 0x835c, 0x835e, 0x8360,
    0x8363, 0x8365, 0x8367, 0x8369, 0x836a, 0x836b, 0x836c, 0x836d, 0x836e, 0x8371, 0x8374,
    0x8377, 0x837a, 0x837d, 0x837e, 0x8380, 0x8381, 0x8382, 0x8384, 0x8386, 0x8388, 0x8389,
    0x838a, 0x838b, 0x838c, 0x838d, 0x838f, 0x8393, 0x814a, 0x814b};

constexpr std::uint16_t KanaFull(std::uint8_t half) { return kKanaFull[half - KANA_FIRST]; }

// ｶ to ﾄ and ﾊ to ﾎ have voiced forms one code above; ﾊ to ﾎ semi-voiced
// forms two above; ｳﾞ is ヴ.
constexpr std::uint16_t VoicedFull(std::uint8_t half) {
  if (half == HALF_U) return FULL_VU;
  if ((half >= 0xB6 && half <= 0xC4) || (half >= 0xCA && half <= 0xCE)) return KanaFull(half) + 1;
  return 0;
}
constexpr std::uint16_t SemiVoicedFull(std::uint8_t half) {
  return (half >= 0xCA && half <= 0xCE) ? KanaFull(half) + 2 : 0;
}

struct HalfForm {
  std::uint16_t full;
  char bytes[2];
  std::uint8_t length;
};

constexpr std::size_t REVERSE_EXTRAS = 5;
constexpr std::size_t REVERSE_SIZE = kAsciiFull.size() + kKanaFull.size() + 21 + 5 + REVERSE_EXTRAS;

// Full-width code to half-width bytes, sorted by code. Besides the exact
// inverse of the forward tables, the other common full-width forms of the
// quotes (＂＇ in both extension areas) and the yen sign ￥ fold to ASCII.
constexpr std::array<HalfForm, REVERSE_SIZE> BuildReverse() {
  std::array<HalfForm, REVERSE_SIZE> table{};
  std::size_t n = 0;
  auto add = [&](std::uint16_t full, std::uint8_t a, std::uint8_t b) {
    table[n++] = {full, {static_cast<char>(a), static_cast<char>(b)}, std::uint8_t(b ? 2 : 1)};
  };
  for (std::size_t i = 0; i < kAsciiFull.size(); ++i)
    add(kAsciiFull[i], static_cast<std::uint8_t>(ASCII_FIRST + i), 0);
  for (std::size_t i = 0; i < kKanaFull.size(); ++i)
    add(kKanaFull[i], static_cast<std::uint8_t>(KANA_FIRST + i), 0);
  for (std::uint16_t h = KANA_FIRST; h <= KANA_LAST; ++h) {
    const auto half = static_cast<std::uint8_t>(h);
    if (VoicedFull(half)) add(VoicedFull(half), half, VOICED_MARK);
    if (SemiVoicedFull(half)) add(SemiVoicedFull(half), half, SEMI_VOICED_MARK);
  }
  add(0xFA57, '"', 0);
  add(0xEEFC, '"', 0);
  add(0xFA56, '\'', 0);
  add(0xEEFB, '\'', 0);
  add(0x818F, '\\', 0);
  std::sort(table.begin(), table.end(), [](const HalfForm& a, const HalfForm& b) { return a.full < b.full; });
  return table;
}

constexpr std::array<HalfForm, REVERSE_SIZE> kReverse = BuildReverse();

constexpr bool EachCodeOnce() {
  for (std::size_t i = 0; i < kReverse.size(); ++i) {
    if (kReverse[i].full == 0 || (i > 0 && kReverse[i - 1].full == kReverse[i].full)) return false;
  }
  return true;
}
static_assert(EachCodeOnce(), "every full-width code has one half-width form");

const HalfForm* FindHalf(std::uint16_t full) {
  const auto it = std::lower_bound(kReverse.begin(), kReverse.end(), full,
                                   [](const HalfForm& f, std::uint16_t v) { return f.full < v; });
  return (it != kReverse.end() && it->full == full) ? &*it : nullptr;
}

void PutFull(std::string& out, std::uint16_t code) {
  out.push_back(static_cast<char>(code >> 8));
  out.push_back(static_cast<char>(code & 0xFF));
}

}  // namespace

std::string HalfToFull(std::string_view text) {
  std::string out;
  out.reserve(std::min(text.size() * 2, RESULT_MAX));
  for (std::size_t i = 0; i < text.size();) {
    const auto b = static_cast<std::uint8_t>(text[i]);
    std::size_t used = 1;
    std::uint16_t full = 0;
    if (IsLead(b)) {
      used = CharLength(text, i);
    } else if (b >= ASCII_FIRST && b <= ASCII_LAST) {
      full = kAsciiFull[b - ASCII_FIRST];
    } else if (b >= KANA_FIRST && b <= KANA_LAST) {
      full = KanaFull(b);
      const auto mark = i + 1 < text.size() ? static_cast<std::uint8_t>(text[i + 1]) : 0;
      if (mark == VOICED_MARK && VoicedFull(b)) full = VoicedFull(b), used = 2;
      else if (mark == SEMI_VOICED_MARK && SemiVoicedFull(b)) full = SemiVoicedFull(b), used = 2;
    }
    const std::size_t produced = full ? 2 : used;
    if (out.size() + produced > RESULT_MAX) break;
    if (full) PutFull(out, full);
    else out.append(text.substr(i, used));
    i += used;
  }
  return out;
}

std::string FullToHalf(std::string_view text) {
  std::string out;
  out.reserve(std::min(text.size(), RESULT_MAX));
  for (std::size_t i = 0; i < text.size();) {
    const std::size_t len = CharLength(text, i);
    const HalfForm* half = nullptr;
    if (len == 2) {
      const auto code = static_cast<std::uint16_t>((static_cast<std::uint8_t>(text[i]) << 8) |
                                                   static_cast<std::uint8_t>(text[i + 1]));
      half = FindHalf(code);
    }
    const std::string_view piece = half ? std::string_view(half->bytes, half->length) : text.substr(i, len);
    if (out.size() + piece.size() > RESULT_MAX) break;
    out.append(piece);
    i += len;
  }
  return out;
}

}  // namespace vx::strops
