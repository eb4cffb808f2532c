#include "pcb/silk.hpp"

#include <array>

#include "pcb/text_format.hpp"
#include "text/sjis.hpp"

namespace vx::pcb {
namespace {

struct GlyphRow {
  unsigned char c;
  Glyph glyph;
};

constexpr std::array<GlyphRow, 46> kGlyphs = {{
    {'0', {8, "51404010100101070718184848575751"}},
    {'1', {8, "202808480120"}},
    {'2', {8, "01101040405151535306060808585857"}},
    {'3', {8, "01101040405151535344445555575748481818074414"}},
    {'4', {8, "000505553038"}},
    {'5', {8, "00030343435454575748481818070050"}},
    {'6', {8, "5140401010010107071818484857575555444404"}},
    {'7', {8, "010000505052523434262628"}},
    {'8', {8, "100101030314144444535351514040101405050707181848485757555544"}},
    {'9', {8, "4010100101030314145440515157574848181807"}},
    {'A', {6, "200646201333"}},
    {'B', {6, "0006062626353534342323032332323131202000"}},
    {'C', {6, "3120201010010105051616262635"}},
    {'D', {6, "000606262635353131202000"}},
    {'E', {6, "0006360630003303"}},
    {'F', {6, "000630003303"}},
    {'G', {6, "312020101001010505161626263535333323"}},
    {'H', {6, "000603333036"}},
    {'I', {6, "002010160626"}},
    {'J', {6, "2025251610301606"}},
    {'K', {6, "000630030336"}},
    {'L', {6, "00060636"}},
    {'M', {6, "0006404600232340"}},
    {'N', {6, "060000363630"}},
    {'O', {6, "20101001010505161626263535313120"}},
    {'P', {6, "000620312000313232232303"}},
    {'Q', {6, "100101050516162626353531312020102536"}},
    {'R', {6, "0006003030414142423333033346"}},
    {'S', {6, "312020101001010202343435352626161605"}},
    {'T', {6, "40002026"}},
    {'U', {6, "00050516162626353530"}},
    {'V', {6, "00262640"}},
    {'W', {6, "0016162222363640"}},
    {'X', {6, "00363006"}},
    {'Y', {6, "002323402326"}},
    {'Z', {6, "003030060636"}},
    {'-', {6, "0323"}},
    {'_', {6, "0626"}},
    {'/', {6, "3006"}},
    {'#', {6, "0232043410162026"}},
    {'(', {6, "100101050516"}},
    {')', {6, "001111151506"}},
    {'\'', {6, "0001"}},
    {'<', {6, "30030336"}},
    {'>', {6, "00333306"}},
    {0xB5, {8, "0708082828262604040202202040406262646446464848686867"}},
}};

struct Turn {
  bool mirror = false;
  int quarter = 0;  // counter-clockwise quarter turns
};

Turn TurnOf(std::int32_t orientation) {
  if (orientation < SILK_ORIENTATION_MIN || orientation > SILK_ORIENTATION_MAX) orientation = 0;
  if (orientation >= 0) return {false, orientation};
  return {true, orientation + 4};
}

// Grid point (u to the right, v down, in grid units) to board millimetres.
void ToBoard(const SilkPlacement& p, Turn t, double u, double v, double* x, double* y) {
  double a = u * p.unit_x;
  const double b = -v * p.unit_y;  // the board's y axis points up
  if (t.mirror) a = -a;
  double rx = a, ry = b;
  switch (t.quarter) {
    case 1: rx = -b; ry = a; break;
    case 2: rx = -a; ry = -b; break;
    case 3: rx = b; ry = -a; break;
    default: break;
  }
  *x = p.x + rx;
  *y = p.y + ry;
}

void AppendStroke(std::string& out, const SilkPlacement& p, std::string_view layer, double x1,
                  double y1, double x2, double y2) {
  out += "GB_P:1, GB_PIN:0, GB_W:";
  AppendFixed(out, p.width, 5);
  out += ", GB_X:";
  AppendFixed(out, x1, 5);
  out += ", GB_Y:";
  AppendFixed(out, y1, 5);
  out += ", GB_XD:";
  AppendFixed(out, x2 - x1, 5);
  out += ", GB_YD:";
  AppendFixed(out, y2 - y1, 5);
  out += ", GB_PART:, GB_SIG:, GB_NET:, GB_LAY:";
  out += layer;
  out += ", GB_EX:0, \r\n";
}

}  // namespace

const Glyph* FindGlyph(unsigned char c) {
  for (const GlyphRow& row : kGlyphs)
    if (row.c == c) return &row.glyph;
  return nullptr;
}

std::string SilkText(std::string_view text, const SilkPlacement& place, std::string_view layer) {
  std::string out;
  const Turn turn = TurnOf(place.orientation);
  int pen = 0;  // grid units from the origin along the writing direction
  for (std::size_t i = 0; i < text.size();) {
    const std::size_t length = sjis::CharLengthStrict(text, i);
    const Glyph* glyph = length == 1 ? FindGlyph(static_cast<unsigned char>(text[i])) : nullptr;
    i += length;
    if (glyph == nullptr) continue;
    const std::string_view s = glyph->strokes;
    for (std::size_t k = 0; k + 4 <= s.size(); k += 4) {
      double x1, y1, x2, y2;
      ToBoard(place, turn, pen + (s[k] - '0'), s[k + 1] - '0', &x1, &y1);
      ToBoard(place, turn, pen + (s[k + 2] - '0'), s[k + 3] - '0', &x2, &y2);
      AppendStroke(out, place, layer, x1, y1, x2, y2);
    }
    pen += glyph->advance;
  }
  return out;
}

}  // namespace vx::pcb
