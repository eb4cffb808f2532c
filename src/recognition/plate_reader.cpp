#include "recognition/plate_reader.hpp"

#include <algorithm>
#include <string_view>
#include <utility>

#include "text/encoding.hpp"

namespace vx::recognition {
namespace {

constexpr int OCR_HEIGHT = 48;               // character height handed to the OCR engine
constexpr std::size_t CANDIDATES_READ = 3;   // candidates read before the best is kept
constexpr double DIGIT_SHARE = 0.6;
constexpr int KANA_REPEAT = 3;
constexpr int KATAKANA_FIRST = 0x30A1;
constexpr int KATAKANA_LAST = 0x30F6;
constexpr int KATAKANA_OFFSET = 0x60;  // katakana minus hiragana          // serial digits against dots and hyphen
constexpr const char* kDigits = "0123456789";
// Class numbers: digits and, since their numbers ran out, some capitals.
constexpr const char* kClassCharacters = "0123456789ACFHKLMPXY";
constexpr const char* kLatinCharacters = "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
// The hiragana used on plates (not o, shi, he, n).
constexpr const char* kPlateKana =
    "あいうえかきくけこさすせそたちつてとなにぬねのはひふほまみむめもやゆよらりるれろわを";

std::string Keep(const std::string& utf8, const std::string& allowed) {
  std::string out;
  for (char c : utf8) {
    if (allowed.find(c) != std::string::npos) out += c;
  }
  return out;
}

PlateText Field(OcrEngine& ocr, const PlateLayout& layout, const std::vector<Box>& characters, const char* language,
                OcrMode mode, const std::string& allowed) {
  const OcrText r = ocr.Read(FieldPicture(layout, characters, OCR_HEIGHT), language, mode, allowed);
  return PlateText{r.utf8, r.confidence};
}

// A lone kana gives the line recogniser no context and is often missed or
// taken for its look-alike; written three times in a row it is read
// reliably. The kana read most often wins; confidence falls with the
// readings that disagree.
PlateText ReadKana(OcrEngine& ocr, const PlateLayout& l) {
  const std::vector<Box>& parts = l.characters[FIELD_KANA];
  if (parts.empty()) return {};
  Box kana = parts[0];
  for (const Box& b : parts) {
    const int right = std::max(kana.x + kana.w, b.x + b.w), bottom = std::max(kana.y + kana.h, b.y + b.h);
    kana.x = std::min(kana.x, b.x), kana.y = std::min(kana.y, b.y);
    kana.w = right - kana.x, kana.h = bottom - kana.y;
  }
  const std::vector<Box> repeated(KANA_REPEAT, kana);
  const PlateText r = Field(ocr, l, repeated, "jpn", OcrMode::kLine, "");
  const std::string_view allowed = kPlateKana;
  std::vector<std::pair<std::string, int>> votes;
  for (std::size_t i = 0; i + 3 <= r.text.size(); ++i) {
    std::string c = r.text.substr(i, 3);  // kana are three bytes in UTF-8
    if (static_cast<unsigned char>(c[0]) != 0xE3) continue;
    int code = (c[0] & 0x0F) << 12 | (c[1] & 0x3F) << 6 | (c[2] & 0x3F);
    if (code >= KATAKANA_FIRST && code <= KATAKANA_LAST) {
      // A katakana look-alike (ka, he, ri...) stands for its hiragana.
      code -= KATAKANA_OFFSET;
      c = {static_cast<char>(0xE0 | code >> 12), static_cast<char>(0x80 | ((code >> 6) & 0x3F)),
           static_cast<char>(0x80 | (code & 0x3F))};
    }
    const std::size_t at = allowed.find(c);
    if (at == std::string_view::npos || at % 3 != 0) continue;
    auto found = std::find_if(votes.begin(), votes.end(), [&](const auto& v) { return v.first == c; });
    if (found == votes.end()) {
      votes.emplace_back(c, 1);
    } else {
      ++found->second;
    }
    i += 2;
  }
  if (votes.empty()) return {};
  const auto best = std::max_element(votes.begin(), votes.end(), [](const auto& a, const auto& b) { return a.second < b.second; });
  return PlateText{best->first, r.confidence * std::min(best->second, KANA_REPEAT) / KANA_REPEAT};
}

void ReadJapanese(OcrEngine& ocr, PlateReading& out) {
  const PlateLayout& l = out.layout;
  // Limited to the characters of the office names first; when that gives no
  // name (the list can push a stroke-heavy kanji off), freely.
  PlateText region = Field(ocr, l, l.characters[FIELD_REGION], "jpn", OcrMode::kLine, RegionCharacters());
  int distance = 0;
  std::string name = NearestRegion(region.text, distance);
  if (name.empty()) {
    const PlateText free = Field(ocr, l, l.characters[FIELD_REGION], "jpn", OcrMode::kLine, "");
    const std::string again = NearestRegion(free.text, distance);
    if (!again.empty() || region.text.empty()) {
      region = free;
      name = again;
    }
  }
  if (!name.empty()) {
    const int length = static_cast<int>(text::Utf8ToCp932(name).size() / 2);
    region.confidence = region.confidence * (length - distance) / std::max(length, 1);
    region.text = name;
  } else {
    region.confidence /= 2;  // not a known office
  }
  PlateText klass = Field(ocr, l, l.characters[FIELD_CLASS], "eng", OcrMode::kLine, kClassCharacters);
  klass.text = Keep(klass.text, kClassCharacters);
  PlateText kana = ReadKana(ocr, l);
  PlateText serial = Field(ocr, l, TallCharacters(l.characters[FIELD_SERIAL], DIGIT_SHARE), "eng", OcrMode::kLine,
                           kDigits);
  serial.text = Keep(serial.text, kDigits);
  out.fields[FIELD_REGION] = region;
  out.fields[FIELD_CLASS] = klass;
  out.fields[FIELD_KANA] = kana;
  out.fields[FIELD_SERIAL] = serial;
  for (PlateText& f : out.fields) {
    f.text = text::Utf8ToCp932(f.text);
    if (f.text.empty()) f.confidence = 0;
  }
  out.fields[FIELD_SERIAL].text = FormatSerial(out.fields[FIELD_SERIAL].text);
}

void ReadLatin(OcrEngine& ocr, PlateReading& out) {
  const PlateLayout& l = out.layout;
  // Lines of characters: a second line starts below the first one's bottom.
  std::vector<Box> first, second;
  const std::vector<Box> tall = TallCharacters(l.characters[FIELD_REGION], 0.4);
  int first_bottom = 0;
  for (const Box& b : tall) first_bottom = std::max(first_bottom, b.y + b.h);
  int top = l.binary.height;
  for (const Box& b : tall) top = std::min(top, b.y);
  for (const Box& b : tall) {
    (b.y > top + (first_bottom - top) * 3 / 5 && b.y > top + b.h / 2 ? second : first).push_back(b);
  }
  PlateText line = Field(ocr, l, first, "eng", OcrMode::kLine, kLatinCharacters);
  line.text = Keep(line.text, kLatinCharacters);
  if (!second.empty()) {
    PlateText more = Field(ocr, l, second, "eng", OcrMode::kLine, kLatinCharacters);
    more.text = Keep(more.text, kLatinCharacters);
    if (!more.text.empty()) {
      line.text += " " + more.text;
      line.confidence = std::min(line.confidence, more.confidence);
    }
  }
  out.fields[FIELD_REGION] = line;
}

void Summarise(PlateReading& r) {
  r.text.clear();
  r.confidence = 100;
  const int used = r.style == PlateStyle::kJapanese ? FIELD_COUNT : 1;
  for (int i = 0; i < used; ++i) {
    const PlateText& f = r.fields[static_cast<std::size_t>(i)];
    if (!r.text.empty()) r.text += ' ';
    r.text += f.text;
    r.confidence = std::min(r.confidence, f.confidence);
  }
  if (r.text.size() > PLATE_TEXT_MAX) r.text.resize(PLATE_TEXT_MAX);
}

// A reading counts when its characters are there: Japanese plates need the
// serial digits, Latin ones at least two characters.
bool Usable(const PlateReading& r) {
  if (r.style == PlateStyle::kLatin) return r.fields[FIELD_REGION].text.size() >= 2;
  return !r.fields[FIELD_SERIAL].text.empty();
}

}  // namespace

PlateReading ReadPlate(const Plane& plane, const Region& region, PlateStyle style, OcrEngine& ocr) {
  PlateReading best;
  best.style = style;
  best.region = Normalized(region);
  std::string error;
  const bool ready = ocr.Ready("eng", error) && (style == PlateStyle::kLatin || ocr.Ready("jpn", error));
  if (!ready) {
    best.status = PLATE_NO_OCR;
    best.error = error;
    return best;
  }
  best.candidates = FindPlates(plane, best.region, style, &best.search, &best.search_scale);
  if (best.candidates.empty()) {
    best.error = "no plate found";
    return best;
  }
  bool found = false;
  for (std::size_t i = 0; i < best.candidates.size() && i < CANDIDATES_READ; ++i) {
    PlateReading r;
    r.style = style;
    r.quad = best.candidates[i];
    int w = 0, h = 0;
    RectifiedSize(r.quad, style, w, h);
    r.rectified = Rectify(plane, r.quad, w, h);
    r.layout = SegmentPlate(r.rectified, style);
    if (style == PlateStyle::kJapanese) {
      ReadJapanese(ocr, r);
    } else {
      ReadLatin(ocr, r);
    }
    Summarise(r);
    if (!Usable(r) || (found && r.confidence <= best.confidence)) continue;
    found = true;
    best.quad = r.quad;
    best.rectified = std::move(r.rectified);
    best.layout = std::move(r.layout);
    best.fields = r.fields;
    best.text = r.text;
    best.confidence = r.confidence;
  }
  if (!found) {
    best.error = "no characters read";
    return best;
  }
  best.status = PLATE_READ;
  return best;
}

}  // namespace vx::recognition
