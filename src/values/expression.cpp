#include "values/expression.hpp"

#include <vector>

#include "engine/runtime.hpp"
#include "text/messages.hpp"
#include "text/sjis.hpp"
#include "values/compiled_string.hpp"
#include "values/expression_rules.hpp"
#include "values/values.hpp"

namespace vx::expr {
namespace {

using namespace rules;

double Fail(Runtime& rt) {
  rt.error.Set(msg::Text(msg::Id::kExpressionError));
  return 0.0;
}

// ---------------------------------------------------------------------------
// Preparation

// Replaces the operators by their codes in place; a two-byte operator keeps
// its length as code + blank. True when any operator code is in the text.
bool ReplaceOperators(std::string& t) {
  auto pair = [&t](std::size_t i, unsigned char code) {
    t[i] = static_cast<char>(code);
    t[i + 1] = ' ';
  };
  for (std::size_t i = 0; i < t.size(); ++i) {
    const char next = i + 1 < t.size() ? t[i + 1] : '\0';
    switch (t[i]) {
      case '<':
        if (next == '=') pair(i++, kLessEqual);
        else if (next == '<') pair(i++, kShiftLeft);
        else t[i] = static_cast<char>(kLess);
        break;
      case '>':
        if (next == '=') pair(i++, kGreaterEqual);
        else if (next == '>') pair(i++, kShiftRight);
        else t[i] = static_cast<char>(kGreater);
        break;
      case '=':
        if (next == '=') pair(i++, kEqual);
        break;
      case '!':
        if (next == '=') pair(i++, kNotEqual);
        break;
      case '|':
        if (next == '|') pair(i++, kLogicalOr);
        else t[i] = static_cast<char>(kBitOr);
        break;
      case '&':
        if (next == '&') pair(i++, kLogicalAnd);
        else t[i] = static_cast<char>(kBitAnd);
        break;
      case '^': t[i] = static_cast<char>(kBitXor); break;
      case '%': t[i] = static_cast<char>(kModulo); break;
      default: break;
    }
  }
  for (char c : t) {
    if (IsCode(c)) return true;
  }
  return false;
}

enum class Level { kLogical, kComparison, kAdditive };

bool IsLevelOperator(Level level, char c) {
  const auto b = static_cast<unsigned char>(c);
  switch (level) {
    case Level::kLogical: return b == kLogicalOr || b == kLogicalAnd;
    case Level::kComparison: return (b >= kLess && b <= kEqual) || b == kNotEqual;
    case Level::kAdditive: return c == '+' || c == '-' || (b >= kShiftLeft && b <= kModulo);
  }
  return false;
}

// One grouping pass: the text without blanks and tabs, with every run of
// operands between two operators of `level` in parentheses. Each group (the
// whole text, and each parenthesised part of it) starts with the opening of
// its first run; an operator of the level closes the run and opens the
// next. A run that stayed empty, and the single run of a group that never
// split, lose their opening to a blank instead. False on an unmatched ")"
// or when the result outgrows the work buffer.
class GroupingPass {
 public:
  GroupingPass(Level level, std::string& out) : level_(level), out_(out) {}

  bool Run(std::string_view in) {
    out_.clear();
    groups_.clear();
    OpenGroup();
    for (char c : in) {
      if (IsBlank(c)) continue;
      if (c == '(') {
        out_ += '(';
        OpenGroup();
      } else if (c == ')') {
        if (groups_.size() == 1) return false;
        CloseGroup(true);
      } else if (IsLevelOperator(level_, c)) {
        SplitAt(c);
      } else {
        out_ += c;
        groups_.back().copied = true;
      }
      if (out_.size() > PREPARED_EXPRESSION_MAX) return false;
    }
    while (groups_.size() > 1) CloseGroup(true);  // unmatched "(" close silently
    CloseGroup(false);
    return out_.size() <= PREPARED_EXPRESSION_MAX;
  }

 private:
  struct Group {
    std::size_t opening = 0;  // where the current run's "(" was written
    bool split = false;       // an operator of the level was met
    bool copied = false;      // an operand byte was copied into the run
  };

  void OpenGroup() {
    groups_.push_back({out_.size(), false, false});
    out_ += '(';
  }

  void SplitAt(char op) {
    Group& g = groups_.back();
    const bool sign = op == '+' || op == '-';
    // A sign in front of nothing keeps its empty run "()", so that it
    // computes 0 - operand; other empty runs lose their opening.
    if (!g.copied && (!sign || out_.size() > g.opening + 1)) {
      out_[g.opening] = ' ';
    } else {
      out_ += ')';
    }
    out_ += op;
    g.opening = out_.size();
    out_ += '(';
    g.split = true;
    g.copied = false;
  }

  // Ends the innermost group; `nested` adds the ")" of its input "(".
  void CloseGroup(bool nested) {
    Group& g = groups_.back();
    if (g.split) out_ += ')';
    else out_[g.opening] = ' ';
    if (nested) out_ += ')';
    groups_.pop_back();
  }

  Level level_;
  std::string& out_;
  std::vector<Group> groups_;
};

bool Prepare(std::string& text) {
  const bool has_codes = ReplaceOperators(text);
  std::string other;
  if (has_codes) {
    if (!GroupingPass(Level::kLogical, other).Run(text)) return false;
    if (!GroupingPass(Level::kComparison, text).Run(other)) return false;
  }
  if (!GroupingPass(Level::kAdditive, other).Run(text)) return false;
  if (other.size() + 2 > PREPARED_EXPRESSION_MAX) return false;
  text.clear();
  text.reserve(other.size() + 2);
  text += '(';
  text += other;
  text += ')';
  return true;
}

// ---------------------------------------------------------------------------
// Evaluation by the text rules

// Walks the prepared text once, left to right, keeping one accumulator per
// open group on an explicit stack (so deep nesting cannot exhaust the call
// stack). A group starts at "(" or at the start of the text; a function
// call is a group whose value goes through the function when it closes.
class TextEvaluator {
 public:
  TextEvaluator(Runtime& rt, std::string_view text) : rt_(rt), t_(UpToNul(text)) {}

  bool Run(double* result) {
    if (!Open(false, Function::kUnknown)) return false;
    Step step = Step::kOperand;
    double value = 0.0;
    for (;;) {
      switch (step) {
        case Step::kOperand: step = ReadOperand(&value); break;
        case Step::kOperator: step = ReadOperator(&value); break;
        case Step::kCombine: step = Combine(value); break;
        case Step::kClose:
          step = Close(&value);
          if (step == Step::kDone) {
            *result = value;
            return true;
          }
          break;
        case Step::kFail: return false;
        case Step::kDone: return false;
      }
    }
  }

 private:
  enum class Step { kOperand, kOperator, kCombine, kClose, kFail, kDone };

  struct Group {
    double accumulator = 0.0;
    char op = 0;
    bool parenthesised = false;
    bool has_value = false;
    bool call = false;
    Function function = Function::kUnknown;
  };

  bool At(char c) const { return pos_ < t_.size() && t_[pos_] == c; }

  bool Open(bool call, Function function) {
    if (groups_.size() >= GROUP_NESTING_MAX) return false;
    Group g;
    g.call = call;
    g.function = function;
    g.parenthesised = At('(');
    if (g.parenthesised) ++pos_;
    groups_.push_back(g);
    return true;
  }

  Step ReadOperand(double* value) {
    pos_ = SkipBlanks(t_, pos_);
    const Group& g = groups_.back();
    if (!g.has_value && g.parenthesised && At(')')) {  // "()" is 0
      ++pos_;
      *value = 0.0;
      return Step::kClose;
    }
    if (At('(')) return Open(false, Function::kUnknown) ? Step::kOperand : Step::kFail;
    if (pos_ < t_.size() && (IsDigit(t_[pos_]) || t_[pos_] == '\'')) {
      const Literal lit = ScanLiteral(t_, pos_);
      if (!lit.ok) return Step::kFail;
      pos_ = lit.end;
      *value = lit.value;
      return Step::kCombine;
    }
    return ReadName(value);
  }

  Step ReadName(double* value) {
    const std::size_t end = NameEnd(t_, pos_);
    const std::string_view name = t_.substr(pos_, end - pos_);
    pos_ = end;
    if (!UsableName(name)) return Step::kFail;
    const std::int32_t slot = rt_.names.Find(name);
    if (slot >= 0) {
      *value = rt_.names.Value(static_cast<std::size_t>(slot));
      return Step::kCombine;
    }
    pos_ = SkipBlanks(t_, pos_);
    if (!At('(')) {
      const std::int32_t index = rt_.program.FindResource(name);
      if (index < 0) return Step::kFail;
      *value = values::ReadAsDouble(rt_, index);
      return Step::kCombine;
    }
    return Open(true, LookupFunction(name)) ? Step::kOperand : Step::kFail;
  }

  Step Combine(double value) {
    Group& g = groups_.back();
    if (!g.has_value) {
      g.accumulator = value;
      g.has_value = true;
    } else if (!ApplyOperator(g.op, g.accumulator, value, &g.accumulator)) {
      return Step::kFail;
    }
    return Step::kOperator;
  }

  Step ReadOperator(double* value) {
    pos_ = SkipBlanks(t_, pos_);
    Group& g = groups_.back();
    if (pos_ >= t_.size()) {
      *value = g.accumulator;
      return Step::kClose;
    }
    const char c = t_[pos_];
    if (c == ')') {
      if (!g.parenthesised) return Step::kFail;
      ++pos_;
      *value = g.accumulator;
      return Step::kClose;
    }
    if (!IsOperator(c)) return Step::kFail;
    g.op = c;
    ++pos_;
    return Step::kOperand;
  }

  // The innermost group ended with `value`: hand it to the enclosing one.
  Step Close(double* value) {
    const Group g = groups_.back();
    groups_.pop_back();
    if (g.call && !ApplyFunction(g.function, *value, value)) return Step::kFail;
    if (!groups_.empty()) return Step::kCombine;
    // Anything after the outermost group would be silently lost.
    return SkipBlanks(t_, pos_) == t_.size() ? Step::kDone : Step::kFail;
  }

  Runtime& rt_;
  std::string_view t_;
  std::size_t pos_ = 0;
  std::vector<Group> groups_;
};

// ---------------------------------------------------------------------------
// String expressions

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

std::size_t SkipSpaces(std::string_view t, std::size_t pos) {
  while (pos < t.size() && IsSpace(t[pos])) ++pos;
  return pos;
}

// Length of the unit at `pos` for quote tracking: a backslash or a byte
// 0x7F-0x9F takes the next byte with it.
std::size_t UnitLength(std::string_view t, std::size_t pos) {
  if (pos + 1 < t.size() && (t[pos] == '\\' || sjis::IsLeadNarrow(t[pos]))) return 2;
  return 1;
}

// Collects the term at `pos` (up to "+" or white space outside double
// quotes) into `term`, keeping at most 4095 bytes. Returns the end.
std::size_t CollectTerm(std::string_view t, std::size_t pos, std::string& term) {
  term.clear();
  bool quoted = false;
  while (pos < t.size()) {
    const char c = t[pos];
    if (!quoted && (c == '+' || IsSpace(c))) break;
    const std::size_t n = UnitLength(t, pos);
    if (n == 1 && c == '"') quoted = !quoted;
    if (term.size() + n <= STRING_TERM_MAX) term.append(t.substr(pos, n));
    pos += n;
  }
  return pos;
}

// Position of the first double quote that is not escaped, or npos.
std::size_t OpeningQuote(std::string_view term) {
  for (std::size_t i = 0; i < term.size(); i += UnitLength(term, i)) {
    if (term[i] == '"') return i;
  }
  return std::string_view::npos;
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

constexpr std::size_t kLiteralMax = 131070;

// The text of a literal term from after its opening quote to the next
// unescaped quote, escapes resolved. \x needs two hexadecimal digits;
// without them the escape is dropped like any unknown one.
void ReadLiteral(std::string_view term, std::size_t i, std::string& piece) {
  piece.clear();
  while (i < term.size() && term[i] != '"' && piece.size() < kLiteralMax) {
    const char c = term[i];
    if (sjis::IsLeadNarrow(c) && i + 1 < term.size()) {
      if (piece.size() + 2 > kLiteralMax) break;
      piece.append(term.substr(i, 2));
      i += 2;
      continue;
    }
    if (c != '\\') {
      piece += c;
      ++i;
      continue;
    }
    if (i + 1 >= term.size()) break;
    const char e = term[i + 1];
    i += 2;
    switch (e) {
      case 'r': case 'R': piece += '\r'; break;
      case 'n': case 'N': piece += '\n'; break;
      case '"': piece += '"'; break;
      case '\\': piece += '\\'; break;
      case 'x': case 'X':
        if (i + 1 < term.size() && HexValue(term[i]) >= 0 && HexValue(term[i + 1]) >= 0) {
          piece += static_cast<char>(HexValue(term[i]) * 16 + HexValue(term[i + 1]));
          i += 2;
        }
        break;
      default: break;  // unknown escapes are dropped
    }
  }
}

std::string_view FirstWord(std::string_view term) {
  std::size_t end = 0;
  while (end < term.size() && !IsBlank(term[end])) ++end;
  return term.substr(0, end);
}

// The text a resource contributes: a string variable its text, a file its
// path, anything else its text value.
std::string_view ResourceText(Runtime& rt, std::int32_t index, std::string& buffer) {
  const ResourceEntry& e = rt.program.Resource(index);
  if (e.kind == R_KD_VAL_TXT || e.kind == R_KD_FILE) return e.Text();
  return values::ReadAsText(rt, index, buffer);
}

// A term that would make the result reach 131072 bytes is left out.
void AppendTerm(std::string& out, std::string_view piece) {
  if (out.size() + piece.size() <= STRING_EXPRESSION_MAX) out.append(piece);
}

// What a string expression is made of, term by term: everything but the
// resources' texts is fixed by the text alone.
enum class TermKind { kLiteral, kName, kNoSeparator };

// Calls `emit(kind, text)` for each term in order: a literal with its bytes,
// a resource term with its name, and a missing separator last. Stops when
// `emit` returns false.
template <typename Emit>
void ForEachStringTerm(std::string_view text, std::string& piece, Emit&& emit) {
  text = UpToNul(text);
  std::string term;
  std::size_t pos = SkipSpaces(text, 0);
  while (pos < text.size()) {
    pos = CollectTerm(text, pos, term);
    const std::size_t quote = OpeningQuote(term);
    if (quote != std::string_view::npos) {
      ReadLiteral(term, quote + 1, piece);
      if (!emit(TermKind::kLiteral, std::string_view(piece))) return;
    } else if (!term.empty()) {
      if (!emit(TermKind::kName, FirstWord(term))) return;
    }
    pos = SkipSpaces(text, pos);
    if (pos >= text.size()) break;
    if (text[pos] != '+') {
      emit(TermKind::kNoSeparator, std::string_view());
      return;
    }
    pos = SkipSpaces(text, pos + 1);
  }
}

bool NoResource(Runtime& rt, std::string_view name) {
  rt.error.Set(msg::Format(msg::Id::kStringExprNoResource, name));
  return false;
}

bool NoSeparator(Runtime& rt) {
  rt.error.Set(msg::Text(msg::Id::kStringExprNoSeparator));
  return false;
}

}  // namespace

bool PrepareExpression(Runtime& rt, std::string& text) {
  std::string work(UpToNul(text));
  if (!Prepare(work)) {
    Fail(rt);
    return false;
  }
  text.swap(work);
  return true;
}

double EvaluatePrepared(Runtime& rt, std::string_view prepared) {
  double value = 0.0;
  if (!TextEvaluator(rt, prepared).Run(&value)) return Fail(rt);
  return value;
}

double EvaluateExpression(Runtime& rt, std::string_view text) {
  std::string work(text);
  if (!PrepareExpression(rt, work)) return 0.0;
  return EvaluatePrepared(rt, work);
}

bool EvaluateStringExpression(Runtime& rt, std::string_view text, std::string& out) {
  out.clear();
  std::string piece;
  std::string buffer;
  bool ok = true;
  ForEachStringTerm(text, piece, [&](TermKind kind, std::string_view term) {
    switch (kind) {
      case TermKind::kLiteral: AppendTerm(out, term); return true;
      case TermKind::kName: {
        const std::int32_t index = rt.program.FindResource(term);
        if (index < 0) return ok = NoResource(rt, term);
        AppendTerm(out, ResourceText(rt, index, buffer));
        return true;
      }
      case TermKind::kNoSeparator: return ok = NoSeparator(rt);
    }
    return true;
  });
  return ok;
}

}  // namespace vx::expr

namespace vx {

namespace {

struct StringTerm {
  expr::TermKind kind = expr::TermKind::kLiteral;
  std::string text;  // the literal's bytes, or the resource name
  // Where the name was found, while the resource table keeps this size.
  std::int32_t resource = -1;
  std::int32_t resource_count = -1;
};

}  // namespace

struct CompiledString {
  std::vector<StringTerm> terms;
  std::string buffer;  // resource texts that are built (numbers)
};

void CompiledStringDeleter::operator()(CompiledString* compiled) const { delete compiled; }

namespace expr {

CompiledStringPtr CompileString(std::string_view text) {
  CompiledStringPtr compiled(new CompiledString());
  std::string piece;
  ForEachStringTerm(text, piece, [&](TermKind kind, std::string_view term) {
    compiled->terms.push_back({kind, std::string(term)});
    return true;
  });
  return compiled;
}

namespace {

// Looks the term's name up again once the resource table has changed.
void Resolve(Runtime& rt, StringTerm& term) {
  if (term.resource_count == rt.program.RscCount()) return;
  term.resource = rt.program.FindResource(term.text);
  term.resource_count = rt.program.RscCount();
}

}  // namespace

bool ViewSingleVariable(Runtime& rt, CompiledString& compiled, std::string_view* out) {
  if (compiled.terms.size() != 1 || compiled.terms[0].kind != TermKind::kName) return false;
  StringTerm& term = compiled.terms[0];
  Resolve(rt, term);
  if (term.resource < 0) return false;
  const ResourceEntry& e = rt.program.Resource(term.resource);
  if (e.kind != R_KD_VAL_TXT) return false;
  const std::string_view text = e.Text();
  if (text.size() > STRING_EXPRESSION_MAX) return false;  // what AppendTerm leaves out
  *out = text;
  return true;
}

bool EvaluateCompiledString(Runtime& rt, CompiledString& compiled, std::string& out) {
  out.clear();
  for (StringTerm& term : compiled.terms) {
    switch (term.kind) {
      case TermKind::kLiteral: AppendTerm(out, term.text); break;
      case TermKind::kName:
        Resolve(rt, term);
        if (term.resource < 0) return NoResource(rt, term.text);
        AppendTerm(out, ResourceText(rt, term.resource, compiled.buffer));
        break;
      case TermKind::kNoSeparator: return NoSeparator(rt);
    }
  }
  return true;
}

CompiledString& CompiledStringFor(CompiledStringPtr& slot, std::string_view text) {
  if (!slot) slot = CompileString(text);
  return *slot;
}

}  // namespace expr
}  // namespace vx
