#include "recognition/plate_reader.hpp"

#include <algorithm>
#include <cmath>
#include <string_view>
#include <utility>

#include "text/encoding.hpp"

namespace vx::recognition {
namespace {

// Character height handed to the OCR engine. Its line models read a
// Japanese plate's characters best at about 32 pixels: at 48 a clear ほ
// reads as は as surely as a right reading, a face's 7 as 1 and 555 as
// 950; 28 and 36 lose other characters. Latin plates read best at 48 (at
// 32 zeros and 1s appear between their characters).
constexpr int JAPANESE_OCR_HEIGHT = 32;
constexpr int LATIN_OCR_HEIGHT = 48;
constexpr std::size_t CANDIDATES_READ = 3;   // candidates read before the best is kept
constexpr double DIGIT_SHARE = 0.6;
constexpr std::size_t SERIAL_DIGITS_MAX = 4;
constexpr std::size_t CLASS_CHARACTERS_MAX = 3;
constexpr double LATIN_SHARE = 0.4;          // Latin characters against the line's tallest
constexpr int CHARACTER_REPEAT = 3;          // a lone character is read written this many times
constexpr double DIGIT_WIDTH = 0.55;         // a serial digit's width against its height
constexpr double TOUCHING_WIDTH = 0.9;       // a part this much wider than tall holds two characters
constexpr int REGION_GUESS_CONFIDENCE = 40;  // most a region name read in part is given
constexpr int KATAKANA_FIRST = 0x30A1;
constexpr int KATAKANA_LAST = 0x30F6;
constexpr int KATAKANA_OFFSET = 0x60;  // katakana minus hiragana          // serial digits against dots and hyphen
constexpr const char* kDigits = "0123456789";
// Class numbers: digits and, since their numbers ran out, some capitals.
constexpr const char* kClassCharacters = "0123456789ACFHKLMPXY";
constexpr const char* kLatinCharacters = "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
constexpr const char* kLatinLetters = "ABCDEFGHIJKLMNOPQRSTUVWXYZ";
constexpr double GROUP_STEP = 1.3;
constexpr std::size_t LATIN_LINE_MAX = 10;  // characters read one by one at most  // a step between characters that parts groups, against the usual one
// The hiragana used on plates (not o, shi, he, n).
constexpr const char* kPlateKana =
    "あいうえかきくけこさすせそたちつてとなにぬねのはひふほまみむめもやゆよらりるれろわを";

// The OCR engine and the character height it is given.
struct PlateOcr {
  OcrEngine& engine;
  int height;
};

// Whether a UTF-8 text holds a kana or kanji (three-byte characters from
// U+3040 on).
bool HasKanaOrKanji(const std::string& utf8) {
  for (std::size_t i = 0; i + 2 < utf8.size(); ++i) {
    const auto b = static_cast<unsigned char>(utf8[i]);
    if (b >= 0xE4 && b <= 0xE9) return true;  // U+4000 to U+9FFF: kanji
    if (b == 0xE3 && static_cast<unsigned char>(utf8[i + 1]) >= 0x81) return true;  // U+3040 to U+3FFF
  }
  return false;
}

std::string Keep(const std::string& utf8, const std::string& allowed) {
  std::string out;
  for (char c : utf8) {
    if (allowed.find(c) != std::string::npos) out += c;
  }
  return out;
}

PlateText Field(const PlateOcr& ocr, const PlateLayout& layout, const std::vector<Box>& characters, const char* language,
                OcrMode mode, const std::string& allowed) {
  const OcrText r = ocr.engine.Read(FieldPicture(layout, characters, ocr.height), language, mode, allowed);
  return PlateText{r.utf8, r.confidence};
}

// The UTF-8 characters of a text, one string each.
std::vector<std::string> Utf8Characters(const std::string& text) {
  std::vector<std::string> out;
  for (std::size_t i = 0; i < text.size();) {
    const auto b = static_cast<unsigned char>(text[i]);
    const std::size_t length = b < 0x80 ? 1 : b < 0xE0 ? 2 : b < 0xF0 ? 3 : 4;
    out.push_back(text.substr(i, length));
    i += length;
  }
  return out;
}

// A katakana look-alike (ka, he, ri...) stands for its hiragana; other
// characters for themselves.
std::string AsHiragana(std::string c) {
  if (c.size() != 3 || static_cast<unsigned char>(c[0]) != 0xE3) return c;
  int code = (c[0] & 0x0F) << 12 | (c[1] & 0x3F) << 6 | (c[2] & 0x3F);
  if (code < KATAKANA_FIRST || code > KATAKANA_LAST) return c;
  code -= KATAKANA_OFFSET;
  return {static_cast<char>(0xE0 | code >> 12), static_cast<char>(0x80 | ((code >> 6) & 0x3F)),
          static_cast<char>(0x80 | (code & 0x3F))};
}

std::string Same(std::string c) { return c; }

// A field picture in black and white at its own Otsu threshold: the grey
// specks of noise inside a thin character, which can turn it into
// another one, go.
GreyImage Cleaned(GreyImage picture) {
  if (picture.Empty()) return picture;
  const int t = OtsuThreshold(picture);
  for (std::uint8_t& v : picture.pixels) v = v < t ? 0 : 255;
  return picture;
}

// One character of the plate. A lone character gives the line recogniser
// no context and is often missed or taken for a look-alike; written three
// times in a row it is read reliably. The character read most often among
// `allowed` (after `normal`) wins; confidence falls with the readings that
// disagree. `cleaned`: the picture handed over in black and white.
PlateText ReadOne(const PlateOcr& ocr, const PlateLayout& l, const Box& box, const char* language,
                  const std::string& whitelist, std::string_view allowed, std::string (*normal)(std::string),
                  bool cleaned = false) {
  GreyImage picture = FieldPicture(l, std::vector<Box>(CHARACTER_REPEAT, box), ocr.height);
  if (cleaned) picture = Cleaned(picture);
  const OcrText read = ocr.engine.Read(picture, language, OcrMode::kLine, whitelist);
  const PlateText r{read.utf8, read.confidence};
  std::vector<std::pair<std::string, int>> votes;
  for (const std::string& read : Utf8Characters(r.text)) {
    const std::string c = normal(read);
    const std::size_t at = allowed.find(c);
    if (at == std::string_view::npos || at % c.size() != 0) continue;
    auto found = std::find_if(votes.begin(), votes.end(), [&](const auto& v) { return v.first == c; });
    if (found == votes.end()) {
      votes.emplace_back(c, 1);
    } else {
      ++found->second;
    }
  }
  if (votes.empty()) return {};
  const auto best = std::max_element(votes.begin(), votes.end(), [](const auto& a, const auto& b) { return a.second < b.second; });
  PlateText one{best->first, r.confidence * std::min(best->second, CHARACTER_REPEAT) / CHARACTER_REPEAT};
  // Another character read as often (505050 for two digits run together
  // into one part): the first of them is a guess.
  const int most = best->second;
  if (std::count_if(votes.begin(), votes.end(), [&](const auto& v) { return v.second == most; }) > 1) {
    one.confidence = std::min(one.confidence, REGION_GUESS_CONFIDENCE);
  }
  return one;
}

// The kana: its parts (ほ and け are several) as one character.
PlateText ReadKana(const PlateOcr& ocr, const PlateLayout& l) {
  const std::vector<Box>& parts = l.characters[FIELD_KANA];
  if (parts.empty()) return {};
  Box kana = parts[0];
  for (const Box& b : parts) {
    const int right = std::max(kana.x + kana.w, b.x + b.w), bottom = std::max(kana.y + kana.h, b.y + b.h);
    kana.x = std::min(kana.x, b.x), kana.y = std::min(kana.y, b.y);
    kana.w = right - kana.x, kana.h = bottom - kana.y;
  }
  const PlateText free = ReadOne(ocr, l, kana, "jpn", "", kPlateKana, AsHiragana);
  if (!free.text.empty()) return free;
  // Noise inside a thin kana (こ) or a loose stroke can make it read as no
  // kana at all: read again in black and white, then limited to the plate
  // kana (grey and black and white). A kana found only so is a guess,
  // never sure.
  PlateText again = ReadOne(ocr, l, kana, "jpn", "", kPlateKana, AsHiragana, true);
  if (again.text.empty()) again = ReadOne(ocr, l, kana, "jpn", kPlateKana, kPlateKana, Same);
  if (again.text.empty()) again = ReadOne(ocr, l, kana, "jpn", kPlateKana, kPlateKana, Same, true);
  again.confidence = std::min(again.confidence, REGION_GUESS_CONFIDENCE);
  return again;
}

// A field of digits or capitals: a line, or one character read on its own.
PlateText ReadLine(const PlateOcr& ocr, const PlateLayout& l, const std::vector<Box>& characters, const char* allowed) {
  if (characters.size() == 1) return ReadOne(ocr, l, characters[0], "eng", allowed, allowed, Same);
  PlateText r = Field(ocr, l, characters, "eng", OcrMode::kLine, allowed);
  r.text = Keep(r.text, allowed);
  return r;
}

// The serial number: one to four digits, the tall characters of its field
// (middle dots stand for the places before them, a hyphen parts four
// digits in two). Digits that touch make one wider part: each part stands
// for as many digits as its width holds. Read as a line, and part by part
// when the line gives another count. Anything but one to four digits, or a
// leading 0 (such a place shows a dot), reads as nothing: a plate never
// shows it.
PlateText ReadSerial(const PlateOcr& ocr, const PlateLayout& l) {
  const std::vector<Box> parts = TallCharacters(l.characters[FIELD_SERIAL], DIGIT_SHARE);
  std::vector<int> holds;
  std::size_t expected = 0;
  for (const Box& b : parts) {
    holds.push_back(std::max(1, static_cast<int>(std::lround(b.w / (DIGIT_WIDTH * b.h)))));
    expected += static_cast<std::size_t>(holds.back());
  }
  if (expected == 0 || expected > SERIAL_DIGITS_MAX) return {};
  PlateText r = ReadLine(ocr, l, parts, kDigits);
  if (r.text.size() != expected && parts.size() > 1) {
    r = PlateText{"", 100};
    for (std::size_t i = 0; i < parts.size(); ++i) {
      const PlateText one = ReadLine(ocr, l, {parts[i]}, kDigits);
      if (one.text.size() != static_cast<std::size_t>(holds[i])) return {};
      r.text += one.text;
      r.confidence = std::min(r.confidence, one.confidence);
    }
  }
  if (r.text.size() != expected || r.text[0] == '0') return {};
  return r;
}

// A class number as plates show it: one to three characters led by a digit
// other than 0 (3, 58, 300, 50C); anything else was misread.
bool PlausibleClass(const std::string& text) {
  return !text.empty() && text.size() <= CLASS_CHARACTERS_MAX && text[0] >= '1' && text[0] <= '9';
}

struct RegionReading {
  PlateText read;
  bool exact = false;  // a known office's name, read whole
};

// The region name from its characters.
RegionReading ReadRegion(const PlateOcr& ocr, const PlateLayout& l) {
  // Limited to the characters of the office names first; when that gives no
  // name or only a near one (the list can push a stroke-heavy kanji off),
  // freely.
  PlateText region = Field(ocr, l, l.characters[FIELD_REGION], "jpn", OcrMode::kLine, RegionCharacters());
  int distance = 0;
  std::string name = NearestRegion(region.text, distance);
  if (name.empty() || distance > 0) {
    const PlateText free = Field(ocr, l, l.characters[FIELD_REGION], "jpn", OcrMode::kLine, "");
    int free_distance = 0;
    const std::string again = NearestRegion(free.text, free_distance);
    if (!again.empty() && (name.empty() || free_distance < distance)) {
      region = free;
      name = again;
      distance = free_distance;
    } else if (name.empty() && !HasKanaOrKanji(region.text)) {
      region = free;
    }
  }
  bool guess = false;
  if (name.empty() && !HasKanaOrKanji(region.text)) {
    // The name lost: the engine's line search can find no text in a clear
    // name of wide kanji (群馬). Read as a raw line, limited to the office
    // names' characters, then freely; a name found only so is a guess.
    for (const std::string& allowed : {RegionCharacters(), std::string()}) {
      const PlateText raw = Field(ocr, l, l.characters[FIELD_REGION], "jpn", OcrMode::kRawLine, allowed);
      name = NearestRegion(raw.text, distance);
      if (!name.empty() || HasKanaOrKanji(raw.text)) {
        region = raw;
        guess = true;
        break;
      }
    }
  }
  if (!name.empty()) {
    const int length = static_cast<int>(text::Utf8ToCp932(name).size() / 2);
    region.confidence = region.confidence * (length - distance) / std::max(length, 1);
    // A name completed from part of it is a guess, never a sure reading.
    if (distance > 0 || guess) region.confidence = std::min(region.confidence, REGION_GUESS_CONFIDENCE);
    region.text = name;
  } else if (HasKanaOrKanji(region.text)) {
    region.confidence = std::min(region.confidence / 2, REGION_GUESS_CONFIDENCE);  // not a known office
  } else {
    region = {};  // digits or marks: no name was there to read
  }
  return RegionReading{region, !name.empty() && distance == 0};
}

// The class number from its characters; empty unless plausible.
PlateText ReadClass(const PlateOcr& ocr, const PlateLayout& l) {
  const std::vector<Box>& class_parts = l.characters[FIELD_CLASS];
  PlateText klass;
  if (class_parts.size() == 1 && class_parts[0].w >= TOUCHING_WIDTH * class_parts[0].h) {
    // One part as wide as two digits (a blurred 58 runs together): a line
    // of them, not one character written again.
    klass = Field(ocr, l, class_parts, "eng", OcrMode::kLine, kClassCharacters);
    klass.text = Keep(klass.text, kClassCharacters);
    // It holds as many characters as its width: fewer read (5 of a 58)
    // is no sure reading. Read as a raw line, which can see both.
    const Box& b = class_parts[0];
    const auto holds = static_cast<std::size_t>(std::lround(b.w / (DIGIT_WIDTH * b.h)));
    if (!klass.text.empty() && klass.text.size() < holds) {
      PlateText raw = Field(ocr, l, class_parts, "eng", OcrMode::kRawLine, kClassCharacters);
      raw.text = Keep(raw.text, kClassCharacters);
      if (raw.text.size() == holds) klass = raw;
      klass.confidence = std::min(klass.confidence, REGION_GUESS_CONFIDENCE);
    }
  } else {
    klass = ReadLine(ocr, l, class_parts, kClassCharacters);
  }
  if (klass.text.size() < class_parts.size() && class_parts.size() <= CLASS_CHARACTERS_MAX) {
    // A narrow 1 or a character beside a wide one can go missing from the
    // line read: part by part, when each gives one character.
    PlateText each{"", 100};
    for (const Box& b : class_parts) {
      const PlateText one = ReadLine(ocr, l, {b}, kClassCharacters);
      if (one.text.size() != 1) break;
      each.text += one.text;
      each.confidence = std::min(each.confidence, one.confidence);
    }
    if (each.text.size() == class_parts.size()) klass = each;
  }
  if (klass.text.size() == class_parts.size() && !klass.text.empty() && klass.text[0] == '0') {
    // No class number starts with 0: a 5 of the plate face read as one.
    // The Japanese model, trained on such faces, reads that character
    // again; a digit found so is a guess.
    const PlateText first = ReadOne(ocr, l, class_parts[0], "jpn", kDigits, kDigits, Same);
    if (first.text.size() == 1 && first.text[0] != '0') {
      klass.text[0] = first.text[0];
      klass.confidence = std::min({klass.confidence, first.confidence, REGION_GUESS_CONFIDENCE});
    }
  }
  if (klass.text.empty() && !class_parts.empty()) {
    // Nothing read at all: the engine's line search can find no text in a
    // small picture of digits run together by blur (50). Read as a raw
    // line; a number found only so is a guess.
    klass = Field(ocr, l, class_parts, "eng", OcrMode::kRawLine, kClassCharacters);
    klass.text = Keep(klass.text, kClassCharacters);
    klass.confidence = std::min(klass.confidence, REGION_GUESS_CONFIDENCE);
  }
  if (!PlausibleClass(klass.text)) klass = {};
  return klass;
}

void ReadJapanese(const PlateOcr& ocr, PlateReading& out) {
  RegionReading region = ReadRegion(ocr, out.layout);
  PlateText klass = ReadClass(ocr, out.layout);
  // A long name's last kana or kanji (ば, 口), right of the middle, can be
  // taken for the class number's first character: when the name read is
  // not a whole office name, its last characters move back from the class
  // number, one at a time, while that makes the name a whole one, of as
  // many characters as it then has (not one that left a moved digit out),
  // and leaves a plausible class number.
  const std::size_t class_count = out.layout.characters[FIELD_CLASS].size();
  for (std::size_t moved = 1; !region.exact && moved < class_count; ++moved) {
    PlateLayout split = out.layout;
    MoveClassToRegion(split, moved);
    const RegionReading name = ReadRegion(ocr, split);
    if (!name.exact || Utf8Characters(name.read.text).size() != split.characters[FIELD_REGION].size()) continue;
    const PlateText number = ReadClass(ocr, split);
    if (number.text.empty()) continue;
    region = name;
    klass = number;
    out.layout = std::move(split);
  }
  const PlateLayout& l = out.layout;
  PlateText kana = ReadKana(ocr, l);
  PlateText serial = ReadSerial(ocr, l);
  out.fields[FIELD_REGION] = region.read;
  out.fields[FIELD_CLASS] = klass;
  out.fields[FIELD_KANA] = kana;
  out.fields[FIELD_SERIAL] = serial;
  for (PlateText& f : out.fields) {
    f.text = text::Utf8ToCp932(f.text);
    if (f.text.empty()) f.confidence = 0;
  }
  out.fields[FIELD_SERIAL].text = FormatSerial(out.fields[FIELD_SERIAL].text);
}

// Where a line's characters (boxes left to right) part into groups: a
// space after each character whose step to the next is GROUP_STEP times
// the line's middle step or more.
std::string WithGroups(const std::string& text, const std::vector<Box>& boxes) {
  std::vector<double> steps;
  for (std::size_t i = 1; i < boxes.size(); ++i) {
    steps.push_back((boxes[i].x + boxes[i].w / 2.0) - (boxes[i - 1].x + boxes[i - 1].w / 2.0));
  }
  if (steps.empty()) return text;
  std::vector<double> sorted = steps;
  std::nth_element(sorted.begin(), sorted.begin() + static_cast<std::ptrdiff_t>(sorted.size() / 2), sorted.end());
  const double middle = sorted[sorted.size() / 2];
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    out += text[i];
    if (i < steps.size() && steps[i] >= GROUP_STEP * middle) out += ' ';
  }
  return out;
}

struct LatinLine {
  PlateText read;
  std::vector<Box> boxes;  // one per character read; empty when they do not match
};

// Characters read in a place of the other class (an O where the plate's
// format has a digit): read again alone, limited to that class; when that
// gives nothing, the look-alike stands in, as a guess.
bool FitFormat(const PlateOcr& ocr, const PlateLayout& l, std::vector<LatinLine>& lines) {
  std::string read;
  bool groups_known = true;
  for (const LatinLine& line : lines) {
    if (!read.empty()) read += '|';
    groups_known = groups_known && !line.boxes.empty();
    read += line.boxes.empty() ? line.read.text : WithGroups(line.read.text, line.boxes);
  }
  const std::string places = LatinPlaces(read, groups_known);
  if (places.empty()) return false;
  std::size_t at = 0;
  for (LatinLine& line : lines) {
    for (std::size_t i = 0; i < line.read.text.size(); ++i, ++at) {
      const char c = line.read.text[i], place = places[at];
      if ((c >= '0' && c <= '9') == (place == 'D')) continue;
      const char* allowed = place == 'D' ? kDigits : kLatinLetters;
      PlateText again;
      if (!line.boxes.empty()) again = ReadOne(ocr, l, line.boxes[i], "eng", allowed, allowed, Same);
      if (again.text.size() == 1) {
        line.read.text[i] = again.text[0];
        line.read.confidence = std::min(line.read.confidence, again.confidence);
      } else {
        line.read.text[i] = LatinLookAlike(c, place);
        line.read.confidence = std::min(line.read.confidence, REGION_GUESS_CONFIDENCE);
      }
    }
  }
  return true;
}

void ReadLatin(const PlateOcr& ocr, PlateReading& out) {
  const PlateLayout& l = out.layout;
  std::vector<LatinLine> lines;
  for (PlateField f : {FIELD_LATIN_FIRST, FIELD_LATIN_SECOND}) {
    const std::vector<Box> tall = TallCharacters(l.characters[f], LATIN_SHARE);
    if (tall.empty()) continue;
    LatinLine line;
    line.read = Field(ocr, l, tall, "eng", OcrMode::kLine, kLatinCharacters);
    line.read.text = Keep(line.read.text, kLatinCharacters);
    if (line.read.text.size() < tall.size() && tall.size() <= LATIN_LINE_MAX) {
      // The line read lost a character (a round 0 beside a 5 can go
      // missing): character by character, when each gives one. (More
      // characters than parts: parts that touch, better read as a line.)
      PlateText each{"", 100};
      for (const Box& b : tall) {
        const PlateText one = ReadOne(ocr, l, b, "eng", kLatinCharacters, kLatinCharacters, Same);
        if (one.text.size() != 1) break;
        each.text += one.text;
        each.confidence = std::min(each.confidence, one.confidence);
      }
      if (each.text.size() == tall.size()) line.read = each;
    }
    if (line.read.text.empty()) continue;
    if (line.read.text.size() == tall.size()) line.boxes = tall;
    lines.push_back(std::move(line));
  }
  out.known_format = FitFormat(ocr, l, lines);
  PlateText text;
  for (const LatinLine& line : lines) {
    text.confidence = text.text.empty() ? line.read.confidence : std::min(text.confidence, line.read.confidence);
    text.text += text.text.empty() ? line.read.text : " " + line.read.text;
  }
  out.fields[FIELD_REGION] = text;
}

void Summarise(PlateReading& r) {
  r.text.clear();
  r.confidence = 100;
  const int used = r.style == PlateStyle::kJapanese ? FIELD_COUNT : 1;
  for (int i = 0; i < used; ++i) {
    const PlateText& f = r.fields[static_cast<std::size_t>(i)];
    if (i > 0) r.text += ' ';  // an empty field keeps its place
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

// The characters of a text, spaces left out.
std::string Characters(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c != ' ') out += c;
  }
  return out;
}

// Whether reading `part` is a piece of reading `whole`: a candidate of part
// of the plate (a block of its text) inside the whole one, that read some
// of the same characters and fewer of them.
bool PieceOf(const PlateReading& part, const PlateReading& whole) {
  const std::string a = Characters(part.text), b = Characters(whole.text);
  if (a.size() >= b.size() || b.find(a) == std::string::npos) return false;
  const double c = std::cos(whole.quad.angle), s = std::sin(whole.quad.angle);
  const double dx = part.quad.cx - whole.quad.cx, dy = part.quad.cy - whole.quad.cy;
  return std::abs(dx * c + dy * s) <= whole.quad.width / 2 && std::abs(-dx * s + dy * c) <= whole.quad.height / 2;
}

// Of two readings, a plate's text in a common format before other text
// (specks and trim read as letters), then the more confident.
bool Better(const PlateReading& a, const PlateReading& b) {
  if (a.known_format != b.known_format) return a.known_format;
  return a.confidence > b.confidence;
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
  std::vector<PlateReading> readings;
  for (std::size_t i = 0; i < best.candidates.size() && i < CANDIDATES_READ; ++i) {
    PlateReading r;
    r.style = style;
    r.quad = RefinePlate(plane, best.candidates[i], style);
    int w = 0, h = 0;
    RectifiedSize(r.quad, style, w, h);
    r.rectified = Rectify(plane, r.quad, w, h);
    r.layout = SegmentPlate(r.rectified, style);
    if (style == PlateStyle::kJapanese) {
      ReadJapanese(PlateOcr{ocr, JAPANESE_OCR_HEIGHT}, r);
    } else {
      ReadLatin(PlateOcr{ocr, LATIN_OCR_HEIGHT}, r);
    }
    Summarise(r);
    if (Usable(r)) readings.push_back(std::move(r));
  }
  // The best reading that is not a piece of another.
  std::size_t chosen = readings.size();
  for (std::size_t i = 0; i < readings.size(); ++i) {
    bool piece = false;
    for (std::size_t k = 0; k < readings.size(); ++k) piece = piece || (k != i && PieceOf(readings[i], readings[k]));
    if (!piece && (chosen == readings.size() || Better(readings[i], readings[chosen]))) chosen = i;
  }
  if (chosen == readings.size()) {
    best.error = "no characters read";
    return best;
  }
  PlateReading& r = readings[chosen];
  best.quad = r.quad;
  best.rectified = std::move(r.rectified);
  best.layout = std::move(r.layout);
  best.fields = r.fields;
  best.text = r.text;
  best.confidence = r.confidence;
  best.known_format = r.known_format;
  best.status = PLATE_READ;
  return best;
}

}  // namespace vx::recognition
