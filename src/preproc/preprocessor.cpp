#include "preproc/preprocessor.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>
#include <new>
#include <vector>

#include "text/sjis.hpp"

namespace vx::preproc {
namespace {

constexpr std::string_view kCrLf = "\r\n";
constexpr std::string_view kAutoInc = "<auto_inc>";
constexpr std::size_t AUTO_INC_LINE_LIMIT = 4096;

bool IsBlank(char c) { return c == ' ' || c == '\t'; }
bool IsLineEnd(char c) { return c == '\r' || c == '\n'; }
bool IsWordByte(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
}
char AsciiLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool Contains(std::string_view text, std::string_view part) {
  return text.find(part) != std::string_view::npos;
}
bool StartsWith(std::string_view text, std::string_view part) {
  return text.substr(0, part.size()) == part;
}

std::size_t FindNoCase(std::string_view text, std::string_view part) {
  if (part.size() > text.size()) return std::string_view::npos;
  for (std::size_t i = 0; i + part.size() <= text.size(); ++i) {
    std::size_t k = 0;
    while (k < part.size() && AsciiLower(text[i + k]) == AsciiLower(part[k])) ++k;
    if (k == part.size()) return i;
  }
  return std::string_view::npos;
}

std::string Substitute1(std::string_view pattern, std::string_view arg) {
  std::string out(pattern);
  const std::size_t at = out.find("%s");
  if (at != std::string::npos) out.replace(at, 2, arg);
  return out;
}

std::string_view WithoutLineEnd(std::string_view line) {
  while (!line.empty() && IsLineEnd(line.back())) line.remove_suffix(1);
  return line;
}

// Blank-separated words (CR and LF separate too); `commas` adds the comma
// as a separator, as macro headers and local declarations use it.
std::vector<std::string_view> Words(std::string_view text, bool commas) {
  auto separator = [commas](char c) { return IsBlank(c) || IsLineEnd(c) || (commas && c == ','); };
  std::vector<std::string_view> words;
  std::size_t i = 0;
  while (i < text.size()) {
    while (i < text.size() && separator(text[i])) ++i;
    const std::size_t start = i;
    while (i < text.size() && !separator(text[i])) ++i;
    if (i > start) words.push_back(text.substr(start, i - start));
  }
  return words;
}

std::string_view WordAt(std::string_view text, std::size_t pos, std::string_view stops) {
  while (pos < text.size() && IsBlank(text[pos])) ++pos;
  std::size_t end = pos;
  while (end < text.size() && !IsBlank(text[end]) && !IsLineEnd(text[end]) &&
         stops.find(text[end]) == std::string_view::npos) {
    ++end;
  }
  return text.substr(pos, end - pos);
}

// The word that names a macro: the first blank-separated word of the part
// before the first ';'.
std::string_view MacroWord(std::string_view line) { return WordAt(line, 0, ";"); }

// The n-th blank-separated word (0 = the first).
std::string_view NthWord(std::string_view line, std::size_t n) {
  const auto words = Words(line, false);
  return n < words.size() ? words[n] : std::string_view();
}

enum class Directive { kNone, kIf, kIfdef, kIfndef, kElse, kEndif };

// The directive word first on the line after blanks, ended by a blank, a
// tab, CR, LF or the end of the line.
Directive DirectiveOf(std::string_view line) {
  const std::string_view word = WordAt(line, 0, {});
  if (word == "#if") return Directive::kIf;
  if (word == "#ifdef") return Directive::kIfdef;
  if (word == "#ifndef") return Directive::kIfndef;
  if (word == "#else") return Directive::kElse;
  if (word == "#endif") return Directive::kEndif;
  return Directive::kNone;
}

// Appends `piece` to `out` as far as it fits under `limit`, never splitting
// a two-byte character. False when something had to be left out.
bool AppendCapped(std::string& out, std::string_view piece, std::size_t limit) {
  if (out.size() + piece.size() <= limit) {
    out.append(piece);
    return true;
  }
  std::size_t take = 0;
  while (take < piece.size()) {
    const std::size_t len = sjis::CharLengthStrict(piece, take);
    if (out.size() + take + len > limit) break;
    take += len;
  }
  out.append(piece.substr(0, take));
  return false;
}

// An #if value counts as true when it is not 0 once truncated to an
// integer; NaN counts as 0.
bool IsTrue(double value) { return !std::isnan(value) && std::trunc(value) != 0.0; }

struct Definition {
  std::string name;   // at most NAME_FIELD_BYTES - 1
  std::string value;  // at most VALUE_FIELD_BYTES - 1
};

struct Macro {
  std::string name;
  std::vector<std::string> formals;
  std::vector<std::string> locals;
  std::string body;  // CR LF separated lines
  // First bytes of the formal and local names: most body bytes start none.
  std::array<bool, 256> starts_name{};

  void NoteName(std::string_view name) { starts_name[sjis::Byte(name[0])] = true; }
};

// A failed allocation ends in the preprocessor's own message; nothing is
// thrown past it.
std::unique_ptr<Macro> NewMacro() {
  try {
    return std::make_unique<Macro>();
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

struct Level {
  bool condition = false;
  bool parent_active = false;
  int part = 1;  // 1 before #else, 2 after it
};

class Preprocessor {
 public:
  Preprocessor(Environment& env, int mode, std::span<char> work)
      : env_(env), mode_(mode), work_(work) {}

  Outcome Run(SourceReader& main) {
    if (ProcessFile(main, 0) && depth_ >= 0) Fail(fatal::kEndifMissing);
    return outcome_;
  }

 private:
  bool Fail(std::string_view message) {
    outcome_.fatal = true;
    outcome_.line = line_number_;
    outcome_.message.assign(message);
    return false;
  }

  // ---- Reading -----------------------------------------------------------

  bool ReadLine(SourceReader& in, int depth, std::string& line) {
    if (!in.ReadPiece(piece_, LINE_READ_MAX) || piece_.empty()) return false;
    const bool ends_physical_line = piece_.back() == '\n';
    line.assign(WithoutLineEnd(piece_));
    line.append(kCrLf);
    ReplaceAutoInc(line);
    StripComment(line);
    // A physical line longer than a read piece arrives in several pieces;
    // they all belong to one main-file line.
    if (depth == 0) {
      if (main_at_line_start_) ++line_number_;
      main_at_line_start_ = ends_physical_line;
    }
    return true;
  }

  void ReplaceAutoInc(std::string& line) {
    if (line.size() >= AUTO_INC_LINE_LIMIT) return;
    const std::size_t at = line.find(kAutoInc);
    if (at == std::string::npos) return;
    line.replace(at, kAutoInc.size(), std::to_string(auto_inc_++));
  }

  // The first // outside double quotes ends the line. A backslash hides the
  // next byte from the quote tracking, and so does a lead byte 0x7F-0x9F.
  static void StripComment(std::string& line) {
    bool quoted = false;
    for (std::size_t i = 0; i < line.size();) {
      const char c = line[i];
      if (c == '\\' || sjis::IsLeadNarrow(c)) {
        i += 2;
        continue;
      }
      if (c == '"') {
        quoted = !quoted;
      } else if (!quoted && c == '/' && i + 1 < line.size() && line[i + 1] == '/') {
        line.resize(i);
        line.append(kCrLf);
        return;
      }
      ++i;
    }
  }

  // ---- Lines ------------------------------------------------------------

  bool ProcessFile(SourceReader& in, int depth) {
    std::string line;
    while (ReadLine(in, depth, line)) {
      const bool ok = Active() ? ProcessActive(in, depth, line) : ProcessInactive(line);
      if (!ok) return false;
    }
    return true;
  }

  bool ProcessActive(SourceReader& in, int depth, std::string& line) {
    if (Contains(line, ".macro")) return DefineMacro(in, depth, line);
    if (StartsWith(line, "//")) return true;
    if (const Macro* macro = FindMacro(MacroWord(line))) {
      SubstituteLine(line);
      return Expand(*macro, line);
    }
    if (StartsWith(line, "#include")) return Include(line, depth);
    if (StartsWith(line, "#define")) return Define(line);

    const Directive before = DirectiveOf(line);
    if (before != Directive::kIfdef && before != Directive::kIfndef) SubstituteLine(line);
    switch (DirectiveOf(line)) {
      case Directive::kEndif:
        return Endif();
      case Directive::kElse:
        return Else();
      case Directive::kIf:
        return Push(IsTrue(env_.Evaluate(IfExpression(line))), true);
      case Directive::kIfdef:
        return Push(FindDefinition(NthWord(line, 1)) != nullptr, true);
      case Directive::kIfndef:
        return Push(FindDefinition(NthWord(line, 1)) == nullptr, true);
      case Directive::kNone:
        break;
    }
    WriteLine(line);
    return true;
  }

  // Inside a dropped region only the nesting matters, found anywhere in the
  // line ("#if" also finds "#ifdef" and "#ifndef").
  bool ProcessInactive(std::string_view line) {
    if (Contains(line, "#endif")) return Endif();
    if (Contains(line, "#else")) return Else();
    if (Contains(line, "#if")) return Push(false, false);
    return true;
  }

  void WriteLine(std::string_view line) {
    if (mode_ == MODE_MARKERS) {
      env_.Write("[$SRC:" + std::to_string(line_number_) + "]");
    }
    env_.Write(line);
  }

  // ---- Conditions ---------------------------------------------------------

  bool Active() const {
    return depth_ < 0 || (levels_[depth_].condition && levels_[depth_].parent_active);
  }

  bool Push(bool condition, bool parent_active) {
    if (depth_ + 1 >= CONDITION_DEPTH_MAX) return Fail(fatal::kIfTooDeep);
    levels_[++depth_] = Level{condition, parent_active, 1};
    return true;
  }

  bool Else() {
    if (depth_ < 0 || levels_[depth_].part == 2) return Fail(fatal::kUnexpectedElse);
    levels_[depth_].condition = !levels_[depth_].condition;
    levels_[depth_].part = 2;
    return true;
  }

  bool Endif() {
    if (depth_ < 0) return Fail(fatal::kUnexpectedEndif);
    --depth_;
    return true;
  }

  // The text behind the first "#if" (any case) up to CR or LF.
  static std::string_view IfExpression(std::string_view line) {
    const std::size_t at = FindNoCase(line, "#if");
    if (at == std::string_view::npos) return {};
    std::string_view rest = line.substr(at + 3);
    std::size_t end = 0;
    while (end < rest.size() && !IsLineEnd(rest[end])) ++end;
    return rest.substr(0, end);
  }

  // ---- Definitions --------------------------------------------------------

  const Definition* FindDefinition(std::string_view name) const {
    for (const Definition& d : definitions_) {
      if (d.name == name) return &d;
    }
    return nullptr;
  }

  bool Define(std::string_view line) {
    const std::vector<std::string_view> words = Words(line, false);
    if (words.size() < 2) return true;  // "#define" alone defines nothing
    const std::string_view name = words[1];
    if (name.size() >= NAME_FIELD_BYTES) return Fail(fatal::kTooLongName);
    std::string value = DefinitionValue(line, name);

    for (Definition& d : definitions_) {
      if (d.name != name) continue;
      if (value.size() >= VALUE_FIELD_BYTES) return Fail(fatal::kTooLongDefinition);
      d.value = std::move(value);  // as it is: no substitution on redefinition
      return true;
    }
    if (definitions_.size() >= DEFINE_MAX) return Fail(fatal::kTooManyDefinitions);
    value = Substitute(value, LINE_MAX_BYTES);
    if (value.size() >= VALUE_FIELD_BYTES) return Fail(fatal::kTooLongDefinition);
    by_first_byte_[sjis::Byte(name[0])].push_back(definitions_.size());
    definitions_.push_back(Definition{std::string(name), std::move(value)});
    return true;
  }

  // The rest of the line after the name and the blanks behind it, without
  // CR and LF, cut at a // outside quotes and without trailing blanks.
  static std::string DefinitionValue(std::string_view line, std::string_view name) {
    const std::size_t name_end = static_cast<std::size_t>(name.data() - line.data()) + name.size();
    std::size_t start = name_end;
    while (start < line.size() && IsBlank(line[start])) ++start;
    std::string value;
    for (char c : line.substr(start)) {
      if (!IsLineEnd(c)) value.push_back(c);
    }
    value.append(kCrLf);
    StripComment(value);
    while (!value.empty() && (IsLineEnd(value.back()) || IsBlank(value.back()))) value.pop_back();
    return value;
  }

  // Replaces every defined name that stands as a whole word by its value;
  // values are not scanned again. Two-byte characters are stepped over as
  // one, so a name never matches inside one.
  std::string Substitute(std::string_view text, std::size_t limit) const {
    std::string out;
    std::size_t i = 0;
    while (i < text.size()) {
      if (i == 0 || !IsWordByte(text[i - 1])) {
        if (const Definition* d = MatchAt(text, i)) {
          if (!AppendCapped(out, d->value, limit)) return out;
          i += d->name.size();
          continue;
        }
      }
      const std::size_t len = sjis::CharLengthStrict(text, i);
      if (!AppendCapped(out, text.substr(i, len), limit)) return out;
      i += len;
    }
    return out;
  }

  const Definition* MatchAt(std::string_view text, std::size_t i) const {
    for (std::size_t index : by_first_byte_[sjis::Byte(text[i])]) {
      const Definition& d = definitions_[index];
      if (text.compare(i, d.name.size(), d.name) != 0) continue;
      const std::size_t end = i + d.name.size();
      if (end < text.size() && IsWordByte(text[end])) continue;
      return &d;
    }
    return nullptr;
  }

  void SubstituteLine(std::string& line) const {
    const std::string_view body = WithoutLineEnd(line);
    std::string out = Substitute(body, LINE_MAX_BYTES);
    out.append(kCrLf);
    line = std::move(out);
  }

  // ---- Includes -----------------------------------------------------------

  bool Include(std::string_view line, int depth) {
    std::string_view name;
    if (const std::size_t quote = line.find('"'); quote != std::string_view::npos) {
      name = CutAtLast(WordAt(line, quote + 1, {}), '"');
    } else if (const std::size_t angle = line.find('<'); angle != std::string_view::npos) {
      name = CutAtLast(WordAt(line, angle + 1, {}), '>');
    } else {
      return true;
    }
    if (depth >= INCLUDE_DEPTH_MAX) return true;

    std::string trace;
    for (int i = 0; i < depth; ++i) trace.append("\t>");
    trace.append("include file = ").append(name).append(kCrLf);
    env_.Console(trace);

    OpenResult result = OpenResult::kNotFound;
    std::unique_ptr<SourceReader> reader = env_.OpenInclude(name, result);
    if (!reader || result != OpenResult::kOpened) {
      return Fail(Substitute1(result == OpenResult::kIsDestination ? fatal::kIncludesDestination
                                                                     : fatal::kFileNotFound,
                              name));
    }
    return ProcessFile(*reader, depth + 1);
  }

  static std::string_view CutAtLast(std::string_view word, char mark) {
    const std::size_t at = word.rfind(mark);
    return at == std::string_view::npos ? word : word.substr(0, at);
  }

  // ---- Macros -------------------------------------------------------------

  const Macro* FindMacro(std::string_view word) const {
    if (word.empty() || macros_by_name_.empty()) return nullptr;
    const auto it = macros_by_name_.find(word);
    return it == macros_by_name_.end() ? nullptr : it->second;
  }

  bool DefineMacro(SourceReader& in, int depth, std::string_view line) {
    const std::vector<std::string_view> words = Words(line, true);
    if (words.empty() || words[0] != ".macro") {
      return Fail(words.empty() ? std::string_view(".macro") : words[0]);
    }
    if (words.size() < 2) return Fail(fatal::kNoMacroName);
    if (words[1].size() >= NAME_FIELD_BYTES) return Fail(fatal::kTooLongName);
    if (words.size() - 2 > MACRO_PARAM_MAX) return Fail(fatal::kTooManyParameters);

    std::unique_ptr<Macro> macro = NewMacro();
    if (!macro) return Fail(fatal::kMemoryShortage);
    macro->name.assign(words[1]);
    for (std::size_t k = 2; k < words.size(); ++k) {
      if (words[k].size() >= PARAM_FIELD_BYTES) return Fail(fatal::kTooLongParameter);
      macro->formals.emplace_back(words[k]);
      macro->NoteName(words[k]);
    }
    Macro& record = *macro;
    macros_by_name_.emplace(record.name, &record);  // an earlier macro of the name wins
    macros_.push_back(std::move(macro));
    return ReadMacroBody(in, depth, record);
  }

  // Gathers the body in the work area up to the line holding ".endm".
  bool ReadMacroBody(SourceReader& in, int depth, Macro& macro) {
    const std::size_t capacity = std::min(MACRO_BODY_MAX, work_.size());
    std::size_t length = 0;
    std::string line;
    while (ReadLine(in, depth, line)) {
      if (Contains(line, ".endm")) {
        macro.body.assign(work_.data(), length);
        return true;
      }
      const std::vector<std::string_view> words = Words(line, true);
      if (!words.empty() && words[0] == "local") {
        if (!DeclareLocals(macro, words)) return false;
        continue;
      }
      if (StartsWith(line, "//")) continue;
      if (length + line.size() > capacity) return Fail(fatal::kTooLongMacro);
      std::memcpy(work_.data() + length, line.data(), line.size());
      length += line.size();
    }
    return Fail(fatal::kEndmMissing);
  }

  bool DeclareLocals(Macro& macro, const std::vector<std::string_view>& words) {
    for (std::size_t k = 1; k < words.size(); ++k) {
      if (macro.locals.size() >= MACRO_LOCAL_MAX) return Fail(fatal::kTooManyLocals);
      if (words[k].size() >= PARAM_FIELD_BYTES) return Fail(fatal::kTooLongLocalLabel);
      macro.locals.emplace_back(words[k]);
      macro.NoteName(words[k]);
    }
    return true;
  }

  // The actual parameters behind the macro name: each starts after blanks,
  // tabs and commas and ends at a comma or ';' outside double quotes, or at
  // the line end.
  bool ReadActuals(std::string_view line, std::vector<std::string>& actuals) {
    std::size_t i = 0;
    while (i < line.size() && IsBlank(line[i])) ++i;
    while (i < line.size() && !IsBlank(line[i]) && !IsLineEnd(line[i]) && line[i] != ';') ++i;
    for (;;) {
      while (i < line.size() && (IsBlank(line[i]) || line[i] == ',')) ++i;
      if (i >= line.size() || IsLineEnd(line[i]) || line[i] == ';') return true;
      std::string actual;
      bool quoted = false;
      while (i < line.size() && !IsLineEnd(line[i])) {
        const char c = line[i];
        if (sjis::IsLeadNarrow(c) && i + 1 < line.size()) {
          actual.append(line.substr(i, 2));
          i += 2;
          continue;
        }
        if (c == '"') {
          quoted = !quoted;
        } else if (!quoted && (c == ',' || c == ';')) {
          break;
        }
        actual.push_back(c);
        ++i;
      }
      if (actual.size() >= PARAM_FIELD_BYTES) return Fail(fatal::kTooLongParameter);
      if (actuals.size() >= MACRO_PARAM_MAX) return Fail(fatal::kTooManyParameters);
      actuals.push_back(std::move(actual));
    }
  }

  bool Expand(const Macro& macro, std::string_view line) {
    std::vector<std::string> actuals;
    if (!ReadActuals(line, actuals)) return false;
    if (actuals.size() > macro.formals.size()) return Fail(fatal::kTooManyActuals);
    if (actuals.size() < macro.formals.size()) {
      return Fail(Substitute1(fatal::kTooFewActuals, WithoutLineEnd(line)));
    }

    std::vector<std::string> labels;
    for (std::size_t k = 0; k < macro.locals.size(); ++k) {
      labels.push_back("LL" + std::to_string(local_counter_ + static_cast<std::int64_t>(k)));
    }

    const std::string_view body = macro.body;
    const std::size_t limit = LINE_MAX_BYTES;
    std::string collected;
    bool cut = false;  // the collected line reached the limit
    auto add = [&](std::string_view piece) {
      if (!cut) cut = !AppendCapped(collected, piece, limit);
    };
    std::size_t i = 0;
    while (i < body.size()) {
      if (body[i] == '\r') {
        EmitExpanded(collected);
        collected.clear();
        cut = false;
        i += (i + 1 < body.size() && body[i + 1] == '\n') ? 2 : 1;
        continue;
      }
      if (const std::size_t used = ReplaceAt(macro, actuals, labels, body, i, add)) {
        i += used;
        continue;
      }
      const std::size_t len = sjis::CharLengthStrict(body, i);
      add(body.substr(i, len));
      i += len;
    }
    if (!collected.empty()) EmitExpanded(collected);
    local_counter_ += static_cast<std::int64_t>(macro.locals.size());
    return true;
  }

  // Formal parameters, then local labels, each as a plain prefix at `i`.
  // Returns the length of the name replaced, or 0.
  template <typename Add>
  static std::size_t ReplaceAt(const Macro& macro, const std::vector<std::string>& actuals,
                               const std::vector<std::string>& labels, std::string_view body,
                               std::size_t i, Add& add) {
    if (!macro.starts_name[sjis::Byte(body[i])]) return 0;
    for (std::size_t k = 0; k < macro.formals.size(); ++k) {
      if (body.compare(i, macro.formals[k].size(), macro.formals[k]) == 0) {
        add(actuals[k]);
        return macro.formals[k].size();
      }
    }
    for (std::size_t k = 0; k < macro.locals.size(); ++k) {
      if (body.compare(i, macro.locals[k].size(), macro.locals[k]) == 0) {
        add(labels[k]);
        return macro.locals[k].size();
      }
    }
    return 0;
  }

  void EmitExpanded(std::string_view collected) {
    std::string line(collected);
    line.append(kCrLf);
    SubstituteLine(line);
    WriteLine(line);
  }

  Environment& env_;
  const int mode_;
  std::span<char> work_;
  Outcome outcome_;

  std::int64_t line_number_ = 0;  // main-file lines only
  std::int64_t auto_inc_ = 0;
  std::int64_t local_counter_ = 0;
  bool main_at_line_start_ = true;
  std::string piece_;

  std::vector<Definition> definitions_;
  std::array<std::vector<std::size_t>, 256> by_first_byte_;  // definition order

  std::vector<std::unique_ptr<Macro>> macros_;  // definition order
  std::map<std::string, const Macro*, std::less<>> macros_by_name_;

  std::array<Level, CONDITION_DEPTH_MAX> levels_{};
  int depth_ = -1;  // -1: no open condition
};

}  // namespace

std::unique_ptr<char[]> NewWorkArea() {
  try {
    return std::make_unique_for_overwrite<char[]>(WORK_AREA_BYTES);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

Outcome Run(Environment& env, SourceReader& main, int mode, std::span<char> work_area) {
  Preprocessor preprocessor(env, mode, work_area);
  return preprocessor.Run(main);
}

std::string FatalText(const Outcome& outcome) {
  char head[32];
  std::snprintf(head, sizeof head, "[%5lld]:", static_cast<long long>(outcome.line));
  return head + outcome.message;
}

bool DestinationInsideSource(std::string_view source, std::string_view destination) {
  return FindNoCase(source, destination) != std::string_view::npos || destination.empty();
}

}  // namespace vx::preproc
