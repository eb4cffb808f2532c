#include "sentences/library.hpp"

#include <algorithm>
#include <charconv>
#include <utility>

#include "text/sjis.hpp"

namespace vx::sentences {

namespace {

// Length of the character at `pos`: 2 for a Shift-JIS lead byte with a
// byte after it, else 1.
std::size_t CharAt(std::string_view t, std::size_t pos) {
  return sjis::IsLeadStrict(t[pos]) && pos + 1 < t.size() ? 2 : 1;
}

bool BrokenLastChar(std::string_view t) {
  for (std::size_t i = 0; i < t.size(); i += CharAt(t, i)) {
    if (sjis::IsLeadStrict(t[i]) && i + 1 == t.size()) return true;
  }
  return false;
}

bool Blank(char c) { return c == ' ' || c == '\t'; }

std::string_view Trim(std::string_view t) {
  while (!t.empty() && Blank(t.front())) t.remove_prefix(1);
  while (!t.empty() && Blank(t.back())) t.remove_suffix(1);
  return t;
}

// A trailing " *N" weight: the text before it and the weight, or the whole
// text and 1. ASCII digits, '*' and blanks are never the second byte of a
// Shift-JIS character, so reading from the end is safe. 0 for a weight out
// of range.
std::pair<std::string_view, std::int32_t> SplitWeight(std::string_view t) {
  std::size_t digits = t.size();
  while (digits > 0 && t[digits - 1] >= '0' && t[digits - 1] <= '9') --digits;
  if (digits == t.size() || digits < 2 || t[digits - 1] != '*' || !Blank(t[digits - 2])) return {t, 1};
  std::int64_t weight = 0;
  const std::string_view number = t.substr(digits);
  const auto [end, ec] = std::from_chars(number.data(), number.data() + number.size(), weight);
  if (ec != std::errc{} || end != number.data() + number.size() || weight < 1 || weight > SL_WEIGHT_MAX) {
    return {Trim(t.substr(0, digits - 1)), 0};
  }
  return {Trim(t.substr(0, digits - 1)), static_cast<std::int32_t>(weight)};
}

std::string LineError(std::size_t line, std::string_view reason) {
  return "line " + std::to_string(line) + ": " + std::string(reason);
}

struct PendingTemplate {
  Template t;
  std::size_t line = 0;  // of the header
  std::vector<std::pair<std::string, std::size_t>> band_uses;  // explicit bands and where
};

}  // namespace

bool ValidName(std::string_view name) {
  if (name.empty() || name.size() > SL_NAME_BYTES_MAX || BrokenLastChar(name)) return false;
  for (std::size_t i = 0; i < name.size(); i += CharAt(name, i)) {
    if (CharAt(name, i) == 2) continue;
    const unsigned char c = static_cast<unsigned char>(name[i]);
    if (c < 0x20 || c == 0x7F) return false;
    if (std::string_view(" {}[]:*").find(static_cast<char>(c)) != std::string_view::npos) return false;
  }
  return true;
}

std::optional<std::vector<Piece>> ParsePieces(std::string_view text, std::string* error) {
  std::vector<Piece> pieces;
  std::string literal;
  auto flush = [&] {
    if (!literal.empty()) pieces.push_back(Piece{false, std::move(literal), {}});
    literal.clear();
  };
  for (std::size_t i = 0; i < text.size();) {
    const std::size_t n = CharAt(text, i);
    if (n == 1 && sjis::IsLeadStrict(text[i])) {
      *error = "broken Shift-JIS character at the end";
      return std::nullopt;
    }
    const char c = text[i];
    if (n == 2 || (c != '{' && c != '}')) {
      literal.append(text.substr(i, n));
      i += n;
      continue;
    }
    if (i + 1 < text.size() && text[i + 1] == c) {  // {{ or }}
      literal.push_back(c);
      i += 2;
      continue;
    }
    if (c == '}') {
      *error = "'}' without '{' (write }} for the brace itself)";
      return std::nullopt;
    }
    std::size_t close = i + 1;
    while (close < text.size() && !(text[close] == '}' && CharAt(text, close) == 1)) {
      if (text[close] == '{' && CharAt(text, close) == 1) break;
      close += CharAt(text, close);
    }
    if (close >= text.size() || text[close] != '}') {
      *error = "slot not closed with '}'";
      return std::nullopt;
    }
    const std::string_view inside = text.substr(i + 1, close - i - 1);
    // The separator ':' is ASCII; a second byte is never ':' (0x3A).
    const std::size_t colon = inside.find(':');
    const std::string_view name = inside.substr(0, colon);
    const std::string_view band = colon == std::string_view::npos ? name : inside.substr(colon + 1);
    if (!ValidName(name) || !ValidName(band)) {
      *error = "bad slot {" + std::string(inside) + "}";
      return std::nullopt;
    }
    flush();
    pieces.push_back(Piece{true, std::string(name), std::string(band)});
    i = close + 1;
  }
  flush();
  return pieces;
}

std::vector<std::string> SlotNames(const Template& t) {
  std::vector<std::string> names;
  for (const Piece& p : t.pieces) {
    if (p.slot && std::find(names.begin(), names.end(), p.text) == names.end()) names.push_back(p.text);
  }
  return names;
}

void Library::Clear() {
  templates_.clear();
  bands_.clear();
}

const Template* Library::FindTemplate(std::string_view name) const {
  const std::int32_t i = TemplateIndex(name);
  return i < 0 ? nullptr : &templates_[static_cast<std::size_t>(i)];
}

std::int32_t Library::TemplateIndex(std::string_view name) const {
  for (std::size_t i = 0; i < templates_.size(); ++i) {
    if (templates_[i].name == name) return static_cast<std::int32_t>(i);
  }
  return -1;
}

const Band* Library::FindBand(std::string_view name) const {
  for (const Band& b : bands_) {
    if (b.name == name) return &b;
  }
  return nullptr;
}

Band* Library::MutableBand(std::string_view name) { return const_cast<Band*>(FindBand(name)); }

std::int64_t Library::TotalTemplateWeight() const {
  std::int64_t sum = 0;
  for (const Template& t : templates_) sum += t.weight;
  return sum;
}

std::size_t Library::WordCount() const {
  std::size_t n = 0;
  for (const Band& b : bands_) n += b.words.size();
  return n;
}

bool Library::AddWord(std::string_view band, std::string_view word, std::int32_t weight, std::string* error) {
  if (!ValidName(band)) {
    *error = "bad band name";
    return false;
  }
  if (weight < 1 || weight > SL_WEIGHT_MAX) {
    *error = "weight must be 1 to " + std::to_string(SL_WEIGHT_MAX);
    return false;
  }
  if (word.empty() || word.size() > SL_LINE_BYTES_MAX) {
    *error = "a word is 1 to 4095 bytes";
    return false;
  }
  if (WordCount() >= SL_WORDS_MAX) {
    *error = "the library holds 100000 words at most";
    return false;
  }
  std::optional<std::vector<Piece>> pieces = ParsePieces(word, error);
  if (!pieces) return false;
  Band* b = MutableBand(band);
  if (b == nullptr) {
    if (bands_.size() >= SL_BANDS_MAX) {
      *error = "the library holds 500 bands at most";
      return false;
    }
    bands_.push_back(Band{std::string(band), {}, 0});
    b = &bands_.back();
  }
  b->words.push_back(Word{std::string(word), weight, std::move(*pieces)});
  b->total_weight += weight;
  return true;
}

std::int32_t Library::RemoveWord(std::string_view band, std::string_view word) {
  Band* b = MutableBand(band);
  if (b == nullptr) return 0;
  const auto gone = std::remove_if(b->words.begin(), b->words.end(), [word](const Word& w) { return w.text == word; });
  const auto removed = static_cast<std::int32_t>(b->words.end() - gone);
  b->words.erase(gone, b->words.end());
  b->total_weight = 0;
  for (const Word& w : b->words) b->total_weight += w.weight;
  return removed;
}

bool Library::RemoveBand(std::string_view band) {
  const auto it = std::find_if(bands_.begin(), bands_.end(), [band](const Band& b) { return b.name == band; });
  if (it == bands_.end()) return false;
  bands_.erase(it);
  return true;
}

bool Library::Load(std::string_view bytes, bool bands_only, bool append, std::string* error) {
  if (bytes.size() > SL_FILE_BYTES_MAX) {
    *error = "file longer than 4 MB";
    return false;
  }
  // Work on a copy: a file that fails half-way leaves nothing behind.
  Library next;
  if (bands_only) next = *this;
  std::vector<std::string> file_bands;  // bands this file names, for duplicates
  std::vector<PendingTemplate> file_templates;
  enum class Section { kNone, kBand, kTemplate } section = Section::kNone;
  std::string band_name;
  std::size_t line_no = 0;
  std::string reason;

  auto finish_template = [&]() -> bool {
    if (section != Section::kTemplate) return true;
    PendingTemplate& p = file_templates.back();
    if (p.t.text.empty()) {
      *error = LineError(p.line, "template " + p.t.name + " has no text");
      return false;
    }
    return true;
  };

  while (!bytes.empty()) {
    const std::size_t eol = bytes.find('\n');
    std::string_view line = bytes.substr(0, eol);
    bytes.remove_prefix(eol == std::string_view::npos ? bytes.size() : eol + 1);
    ++line_no;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.size() > SL_LINE_BYTES_MAX) {
      *error = LineError(line_no, "longer than 4095 bytes");
      return false;
    }
    if (BrokenLastChar(line)) {
      *error = LineError(line_no, "broken Shift-JIS character at the end");
      return false;
    }
    if (line.starts_with(';') || Trim(line).empty()) continue;
    if (line.starts_with("[[")) {
      line.remove_prefix(1);  // a text line that starts with '[' itself
    } else if (line.starts_with('[')) {
      if (!finish_template()) return false;
      const std::string_view header = Trim(line);
      std::size_t last = 0;
      for (std::size_t i = 0; i < header.size(); i += CharAt(header, i)) last = i;
      if (header.size() < 2 || header[last] != ']' || CharAt(header, last) != 1) {
        *error = LineError(line_no, "a section line ends with ']'");
        return false;
      }
      const std::string_view inside = Trim(header.substr(1, header.size() - 2));
      const std::size_t blank = inside.find_first_of(" \t");
      const std::string_view keyword = inside.substr(0, blank);
      const std::string_view rest = blank == std::string_view::npos ? std::string_view{} : Trim(inside.substr(blank));
      // Plain variables: lambdas below capture the name.
      const std::pair<std::string_view, std::int32_t> split = SplitWeight(rest);
      const std::string_view name = split.first;
      const std::int32_t weight = split.second;
      if (keyword != "band" && keyword != "template") {
        *error = LineError(line_no, "unknown section [" + std::string(keyword) + "] (band or template)");
        return false;
      }
      if (!ValidName(name)) {
        *error = LineError(line_no, "bad or missing name");
        return false;
      }
      if (weight == 0) {
        *error = LineError(line_no, "weight must be 1 to 10000");
        return false;
      }
      if (keyword == "band") {
        if (name != rest) {
          *error = LineError(line_no, "a band has no weight of its own");
          return false;
        }
        if (std::find(file_bands.begin(), file_bands.end(), name) != file_bands.end()) {
          *error = LineError(line_no, "band " + std::string(name) + " appears twice");
          return false;
        }
        file_bands.emplace_back(name);
        if (!append || next.FindBand(name) == nullptr) {
          next.RemoveBand(name);
          if (next.bands_.size() >= SL_BANDS_MAX) {
            *error = LineError(line_no, "more than 500 bands");
            return false;
          }
          next.bands_.push_back(Band{std::string(name), {}, 0});
        }
        band_name = name;
        section = Section::kBand;
        continue;
      }
      if (bands_only) {
        *error = LineError(line_no, "a band file holds no templates");
        return false;
      }
      const bool twice = std::any_of(file_templates.begin(), file_templates.end(),
                                     [name](const PendingTemplate& p) { return p.t.name == name; });
      if (twice) {
        *error = LineError(line_no, "template " + std::string(name) + " appears twice");
        return false;
      }
      if (file_templates.size() >= SL_TEMPLATES_MAX) {
        *error = LineError(line_no, "more than 2000 templates");
        return false;
      }
      file_templates.push_back(PendingTemplate{Template{std::string(name), {}, weight, {}}, line_no, {}});
      section = Section::kTemplate;
      continue;
    }
    switch (section) {
      case Section::kNone:
        *error = LineError(line_no, "text before the first [band] or [template]");
        return false;
      case Section::kBand: {
        const auto [word, weight] = SplitWeight(Trim(line));
        if (weight == 0) {
          *error = LineError(line_no, "weight must be 1 to 10000");
          return false;
        }
        if (!next.AddWord(band_name, word, weight, &reason)) {
          *error = LineError(line_no, reason);
          return false;
        }
        break;
      }
      case Section::kTemplate: {
        PendingTemplate& p = file_templates.back();
        std::optional<std::vector<Piece>> pieces = ParsePieces(line, &reason);
        if (!pieces) {
          *error = LineError(line_no, reason);
          return false;
        }
        if (p.t.text.size() + line.size() + 2 > SL_TEMPLATE_BYTES_MAX) {
          *error = LineError(line_no, "template longer than 16384 bytes");
          return false;
        }
        if (!p.t.text.empty()) {
          p.t.text += "\r\n";
          p.t.pieces.push_back(Piece{false, "\r\n", {}});
        }
        p.t.text.append(line);
        for (Piece& piece : *pieces) {
          if (piece.slot && piece.band != piece.text) p.band_uses.emplace_back(piece.band, line_no);
          p.t.pieces.push_back(std::move(piece));
        }
        break;
      }
    }
  }
  if (!finish_template()) return false;
  for (PendingTemplate& p : file_templates) {
    for (const auto& [band, line] : p.band_uses) {
      if (next.FindBand(band) == nullptr) {
        *error = LineError(line, "no band " + band);
        return false;
      }
    }
    next.templates_.push_back(std::move(p.t));
  }
  *this = std::move(next);
  return true;
}

bool WildcardMatch(std::string_view text, std::string_view pattern) {
  // Iterative matching with one backtrack point for the last '*'.
  std::size_t t = 0, p = 0, star = std::string_view::npos, resume = 0;
  while (t < text.size()) {
    if (p < pattern.size() && pattern[p] == '*') {
      star = ++p;
      resume = t;
      continue;
    }
    if (p < pattern.size()) {
      const std::size_t pn = CharAt(pattern, p);
      const std::size_t tn = CharAt(text, t);
      if (pn == 1 && pattern[p] == '?') {
        p += 1;
        t += tn;
        continue;
      }
      if (pn == tn && pattern.substr(p, pn) == text.substr(t, tn)) {
        p += pn;
        t += tn;
        continue;
      }
    }
    if (star == std::string_view::npos) return false;
    p = star;
    resume += CharAt(text, resume);
    t = resume;
  }
  while (p < pattern.size() && pattern[p] == '*') ++p;
  return p == pattern.size();
}

}  // namespace vx::sentences
