#include "engine/script_compiler.hpp"

#include <array>
#include <string>

#include "api/api_table.hpp"
#include "engine/explain.hpp"
#include "engine/program.hpp"
#include "engine/runtime.hpp"
#include "engine/script_input.hpp"
#include "values/compiled_expression.hpp"
#include "values/expression.hpp"

namespace vx {
namespace loader {
namespace {

using source::NPOS;

constexpr std::string_view CAPTION_ERROR = "Error";
constexpr std::string_view CAPTION_MSG = "msg";
constexpr std::string_view CONFIG_MARK = "$CONFIG_";

struct DeclarationKeyword {
  std::string_view word;
  std::uint16_t kind;
};

// Make... words and the resource kind each declares.
constexpr std::array<DeclarationKeyword, 14> kDeclarations = {{
    {"MakeTimer", R_KD_TIMER},
    {"MakeStepTimer", R_KD_STEPTIMER},
    {"MakeButton", R_KD_BUTTON},
    {"MakePgsBar", R_KD_PGS_BAR},
    {"MakeTrackBar", R_KD_TRACK_BAR},
    {"MakeScrollBar", R_KD_SCR_BAR},
    {"MakePWBox", R_KD_PW_BOX},
    {"MakeTextBox", R_KD_TEXTBOX},
    {"MakeEditBox", R_KD_EDITBOX},
    {"MakeListBox", R_KD_LISTBOX},
    {"MakeComboBox", R_KD_CMB_BOX},
    {"MakeCheckBox", R_KD_CK_BOX},
    {"MakeRadioButton", R_KD_RDO_BTN},
    {"MakeRadioButton1", R_KD_RDO_BTN1},
}};

struct StatementKeyword {
  std::string_view word;
  ScriptCompiler::Handler handler;
};

struct IfTailWord {
  std::string_view text;
  IfTail mode;
  bool ends_word;  // the keyword must end at a blank or the end of the line
};

// In the order they are searched for.
constexpr std::array<IfTailWord, 5> kIfTails = {{
    {" goto ", IF_TAIL_GOTO, false},
    {" CALLSUB ", IF_TAIL_CALLSUB, false},
    {" ENDP", IF_TAIL_ENDP, true},
    {" BREAK", IF_TAIL_BREAK, true},
    {" CONTINUE", IF_TAIL_CONTINUE, true},
}};

struct FoundTail {
  IfTail mode = IF_TAIL_BLOCK;
  std::size_t begin = NPOS;  // the condition ends here
  std::size_t end = NPOS;    // the label word starts after this
};

FoundTail FindIfTail(std::string_view rest) {
  for (const IfTailWord& tail : kIfTails) {
    for (std::size_t at = source::FindIgnoreCase(rest, tail.text); at != NPOS;
         at = source::FindIgnoreCase(rest, tail.text, at + 1)) {
      const std::size_t after = at + tail.text.size();
      if (tail.ends_word && after < rest.size() && !source::IsBlank(rest[after])) continue;
      return {tail.mode, at, after};
    }
  }
  return {IF_TAIL_BLOCK, rest.size(), rest.size()};
}

std::string LinePrefix(std::int32_t line_number) {
  return "Line (" + std::to_string(static_cast<long>(line_number)) + ") : ";
}

}  // namespace

ScriptCompiler::ScriptCompiler(Runtime& rt)
    : rt_(rt), program_(rt.program), blocks_(rt.program, rt.error) {}

CompileStatus ScriptCompiler::Run(ScriptInput& input) {
  rt_.error.Clear();
  blocks_.Reset();
  joiner_.Reset();
  line_number_ = 0;
  physical_line_ = 0;
  marked_ = false;
  input_ = &input;
  logical_.clear();
  rt_.diagnostics.ignored_declarations.clear();
  checking_ = rt_.diagnostics.check_only;
  errors_ = 0;
  encoding_noted_ = false;
  marker_ahead_ = false;
  if (checking_) ReadAhead(input);
  std::string raw;
  for (;;) {
    if (rt_.error.Raised()) {
      const CompileStatus status = ReportPendingError();
      if (!checking_) return status;
    }
    if (!NextLine(raw)) break;
    NumberLine(raw);
    if (!line_state_.unconvertible.empty()) {
      rt_.error.Set(msg::Text(msg::Id::kNoShiftJisForm));
      logical_ = source::CleanPhysicalLine(raw, &line_number_);
      unconvertible_ = line_state_.unconvertible;
      continue;
    }
    NoteEncoding();
    const std::string line = source::CleanPhysicalLine(raw, &line_number_);
    if (!LimitsAllow()) return CompileStatus::kFailed;
    const CompileStatus status = CompileLine(line);
    if (status != CompileStatus::kCompiled && !checking_) return status;
  }
  // A continuation on the last line ends with the input.
  if (joiner_.Pending()) {
    if (!LimitsAllow()) return CompileStatus::kFailed;
    joiner_.TakePending(logical_);
    const CompileStatus status = CompileStatement();
    if (status != CompileStatus::kCompiled && !checking_) return status;
    if (rt_.error.Raised()) {
      const CompileStatus reported = ReportPendingError();
      if (!checking_) return reported;
    }
  }
  while (!blocks_.CheckAllClosed()) {
    const CompileStatus status = ReportPendingError();
    if (!checking_) return status;
    blocks_.ForgetReportedBlock();
  }
  if (checking_) WarnOfUndefinedLabels();
  return errors_ > 0 ? CompileStatus::kFailed : CompileStatus::kCompiled;
}

// A check reads the whole source first: a message's line number depends on
// whether a marker follows, and the check goes on after the message.
void ScriptCompiler::ReadAhead(ScriptInput& input) {
  ahead_.clear();
  ahead_next_ = 0;
  AheadLine line;
  while (input.ReadLine(line.raw)) {
    if (line.raw.starts_with(source::LINE_MARKER)) marker_ahead_ = true;
    line.state = {input.Unconvertible(), input.LooksLikeUtf8()};
    ahead_.push_back(line);
  }
  input_ = nullptr;
}

bool ScriptCompiler::NextLine(std::string& raw) {
  if (!checking_) {
    if (!input_->ReadLine(raw)) return false;
    line_state_ = {input_->Unconvertible(), input_->LooksLikeUtf8()};
    return true;
  }
  if (ahead_next_ >= ahead_.size()) return false;
  raw = ahead_[ahead_next_].raw;
  line_state_ = ahead_[ahead_next_].state;
  ++ahead_next_;
  return true;
}

void ScriptCompiler::NumberLine(std::string_view raw) {
  if (physical_line_ < INT32_MAX) ++physical_line_;
  if (marked_) return;
  if (raw.starts_with(source::LINE_MARKER)) {
    ForgetPhysicalNumbers();
  } else {
    line_number_ = physical_line_;
  }
}

// The first marker: everything before it had no line number after all.
void ScriptCompiler::ForgetPhysicalNumbers() {
  marked_ = true;
  line_number_ = 0;
  for (std::int32_t p = 1; p < program_.ProcCount(); ++p) program_.Proc(p).line = 0;
  for (std::int32_t r = 0; r < program_.RscCount(); ++r) program_.Resource(r).line = 0;
}

// A load ends at its first error, so the rest of the input may be read to
// learn whether the source holds a marker further on (a check has read it
// all already).
std::int32_t ScriptCompiler::LineForMessage() {
  if (!marked_ && checking_ && marker_ahead_) return 0;
  if (!marked_ && input_ != nullptr) {
    std::string raw;
    while (input_->ReadLine(raw)) {
      if (raw.starts_with(source::LINE_MARKER)) return 0;
    }
  }
  return line_number_;
}

bool ScriptCompiler::LimitsAllow() {
  std::string_view message;
  if (program_.RscCount() >= RESOURCE_MAX) {
    message = "gRscCount beyond RESOURCE_MAX [1249]";
  } else if (program_.ProcCount() >= PROCEDURE_MAX) {
    message = "gProcCount beyond PROCEDURE_MAX [1255]";
  } else if (program_.LblCount() >= LABEL_MAX) {
    message = "gLblCount beyond LABEL_MAX [1261]";
  } else {
    return true;
  }
  engine::ErrorSite site;
  site.loading = true;
  site.message = message;
  site.line = line_number_;
  site.statement = logical_;
  engine::ShowExplainedError(rt_, CAPTION_ERROR, message, site);
  CountError();
  return false;
}

void ScriptCompiler::CountError() {
  ++errors_;
  ++rt_.diagnostics.check_errors;
}

CompileStatus ScriptCompiler::ReportPendingError() {
  const std::int32_t line = LineForMessage();
  const std::string message = LinePrefix(line) + rt_.error.Text() + " [" + logical_ + "]";
  engine::ErrorSite site;
  site.loading = true;
  site.message = rt_.error.Text();
  site.line = line;
  site.statement = logical_;
  site.open_if_line = LineOf(blocks_.InnermostIf());
  site.open_while_line = LineOf(blocks_.InnermostWhile());
  site.detail = unconvertible_;
  engine::ShowExplainedError(rt_, CAPTION_ERROR, message, site);
  unconvertible_.clear();
  CountError();
  if (checking_) {
    rt_.error.Clear();
  } else {
    rt_.error.ClearText();
  }
  return CompileStatus::kFailed;
}

std::int32_t ScriptCompiler::LineOf(std::int32_t procedure) const {
  return procedure >= 1 && procedure < program_.ProcCount() ? program_.Proc(procedure).line : 0;
}

void ScriptCompiler::Warn(std::string_view english, std::string_view japanese,
                          std::initializer_list<std::string_view> args) {
  if (!checking_) return;
  std::string text = engine::Say(rt_, "warning: ", "警告: ");
  text += engine::Say(rt_, english, japanese, args);
  engine::NoteAtLine(rt_, line_number_, text);
  ++rt_.diagnostics.check_warnings;
}

// A line of a source read as Shift-JIS that reads as UTF-8 instead: loaded
// as it stands, with one note on how to convert it.
void ScriptCompiler::NoteEncoding() {
  if (!line_state_.looks_like_utf8 || encoding_noted_) return;
  encoding_noted_ = true;
  const std::string name = engine::ScriptDisplayName(rt_, rt_.startup.script_path);
  engine::NoteAtLine(rt_, line_number_,
                     engine::Say(rt_,
                                 "warning: this script looks like UTF-8, but scripts are read as Shift-JIS; "
                                 "convert it with `iconv -f UTF-8 -t CP932 {} > converted.vx`, or run it with "
                                 "`--encoding utf-8` (or VEXMORA_SCRIPT_ENCODING=utf-8)",
                                 "警告: このスクリプトはUTF-8のようですが、スクリプトはShift-JISとして読まれます。"
                                 "`iconv -f UTF-8 -t CP932 {} > converted.vx` で変換するか、`--encoding utf-8` "
                                 "(または VEXMORA_SCRIPT_ENCODING=utf-8)を付けて実行してください。",
                                 {name}));
}

void ScriptCompiler::IgnoreDeclaration(std::string_view type, std::string_view name) {
  rt_.diagnostics.ignored_declarations.push_back({std::string(type), std::string(name), line_number_});
  static constexpr std::string_view kTypes[] = {"long", "double", "string", "FILE", "COM", "ClipBoard"};
  const std::optional<std::string_view> near = engine::NearestName(type, kTypes);
  if (near) {
    Warn("`Data {}` is no type, so this line declares nothing: did you mean `Data {}`?",
         "`Data {}` は型ではないため、この行は何も宣言しません。`Data {}` のことですか?", {type, *near});
  } else {
    Warn("`Data {}` is no type (long, double, string, FILE, COM, ClipBoard), so this line declares nothing",
         "`Data {}` は型(long, double, string, FILE, COM, ClipBoard)ではないため、この行は何も宣言しません。", {type});
  }
}

// Labels that goto or CALLSUB name but no line defines: such a jump stops
// the script when it runs.
void ScriptCompiler::WarnOfUndefinedLabels() {
  std::vector<std::string_view> defined;
  for (std::int32_t i = 0; i < program_.LblCount(); ++i) {
    if (program_.LabelAt(i).entry > 0) defined.push_back(program_.LabelAt(i).Name());
  }
  std::vector<bool> warned(static_cast<std::size_t>(program_.LblCount()), false);
  for (std::int32_t p = 1; p < program_.ProcCount(); ++p) {
    const Procedure& proc = program_.Proc(p);
    const bool jumps = proc.code == P_DTV_GOTO || proc.code == P_DTV_CALLSUB ||
                       (proc.code == P_DTV_IF && (proc.b == IF_TAIL_GOTO || proc.b == IF_TAIL_CALLSUB));
    if (!jumps || proc.target < 0 || proc.target >= program_.LblCount()) continue;
    const Label& label = program_.LabelAt(proc.target);
    if (label.entry > 0 || warned[static_cast<std::size_t>(proc.target)]) continue;
    warned[static_cast<std::size_t>(proc.target)] = true;
    line_number_ = proc.line;
    const std::optional<std::string_view> near = engine::NearestName(label.Name(), defined);
    if (near) {
      Warn("no label `:{}` is defined, so this jump stops the script when it runs: did you mean `:{}`?",
           "ラベル `:{}` が定義されていないため、実行時にこのジャンプでスクリプトが止まります。`:{}` のことですか?",
           {label.Name(), *near});
    } else {
      Warn("no label `:{}` is defined, so this jump stops the script when it runs",
           "ラベル `:{}` が定義されていないため、実行時にこのジャンプでスクリプトが止まります。", {label.Name()});
    }
  }
}

// One physical line after cleaning; it may only feed a continuation.
CompileStatus ScriptCompiler::CompileLine(std::string_view line) {
  const std::string_view text = source::CutComment(line);
  switch (joiner_.Add(text, logical_)) {
    case source::LineJoiner::Result::kContinues:
      return CompileStatus::kCompiled;
    case source::LineJoiner::Result::kTooLong:
      logical_.assign(text);
      rt_.error.Set(msg::Text(msg::Id::kLineTooLong));
      return ReportPendingError();
    case source::LineJoiner::Result::kComplete:
      break;
  }
  return CompileStatement();
}

// The logical line in logical_: the first word selects the statement kind.
CompileStatus ScriptCompiler::CompileStatement() {
  const Statement s{logical_, source::FirstWord(logical_)};
  if (!s.first.Found()) return CompileStatus::kCompiled;
  const std::string_view first = s.first.text;

  for (const DeclarationKeyword& d : kDeclarations) {
    if (EqualsIgnoreAsciiCase(first, d.word)) {
      if (d.kind == R_KD_TIMER || d.kind == R_KD_STEPTIMER) {
        DeclareTimer(s, d.kind);
      } else {
        DeclareControl(s, d.kind);
      }
      return CompileStatus::kCompiled;
    }
  }
  if (EqualsIgnoreAsciiCase(first, "Data")) {
    DeclareData(s);
    return CompileStatus::kCompiled;
  }
  if (TryAssignment(s)) return CompileStatus::kCompiled;
  if (first.front() == ':') {
    DefineLabel(s);
    return CompileStatus::kCompiled;
  }

  static constexpr StatementKeyword kStatements[] = {
      {"If", &ScriptCompiler::CompileIf},
      {"else", &ScriptCompiler::CompileElse},
      {"endif", &ScriptCompiler::CompileEndif},
      {"while", &ScriptCompiler::CompileWhile},
      {"endwhile", &ScriptCompiler::CompileEndwhile},
      {"break", &ScriptCompiler::CompileBreak},
      {"continue", &ScriptCompiler::CompileContinue},
      {"On", &ScriptCompiler::CompileOn},
      {"ENDP", &ScriptCompiler::CompileEndp},
      {"OPEN", &ScriptCompiler::CompileOpen},
      {"CLOSE", &ScriptCompiler::CompileClose},
      {"ReadLine", &ScriptCompiler::CompileReadLine},
      {"CALL", &ScriptCompiler::CompileCall},
      {"CALLS", &ScriptCompiler::CompileCalls},
      {"goto", &ScriptCompiler::CompileGoto},
      {"CALLSUB", &ScriptCompiler::CompileCallSub},
      {"gotosl", &ScriptCompiler::CompileGotoSl},
      {"CALLSUBS", &ScriptCompiler::CompileCallSubs},
      {"TypeTo", &ScriptCompiler::CompileOverwrite},
      {"WriteTo", &ScriptCompiler::CompileOverwrite},
      {"MoveTo", &ScriptCompiler::CompileOverwrite},
      {"AddTo", &ScriptCompiler::CompileAddTo},
      {"inc", &ScriptCompiler::CompileInc},
      {"Exit", &ScriptCompiler::CompileExit},
      {"Retsys", &ScriptCompiler::CompileRetsys},
      {"Debug", &ScriptCompiler::CompileDebug},
  };
  for (const StatementKeyword& k : kStatements) {
    if (EqualsIgnoreAsciiCase(first, k.word)) {
      (this->*k.handler)(s);
      return CompileStatus::kCompiled;
    }
  }
  if (first.find(CONFIG_MARK) != NPOS) return CompileStatus::kCompiled;

  const std::int32_t line = LineForMessage();
  const std::string message = LinePrefix(line) + "unknown directive [" + std::string(first) + "]";
  engine::ErrorSite site;
  site.loading = true;
  site.message = message;
  site.line = line;
  site.statement = logical_;
  engine::ShowExplainedError(rt_, CAPTION_MSG, message, site);
  CountError();
  return CompileStatus::kUnknownDirective;
}

// ---------------------------------------------------------------------------
// Helpers

Procedure* ScriptCompiler::Emit(std::uint16_t code) {
  Procedure* proc = program_.NewProcedure();
  if (proc) {
    proc->code = code;
    proc->line = line_number_;
  }
  return proc;
}

void ScriptCompiler::SetText(Procedure& proc, std::string_view text) {
  proc.text.assign(text);
  proc.has_text = true;
}

// Directive operands are prepared once here; the run loop evaluates the
// prepared text (or its compiled form) without scanning it again.
void ScriptCompiler::SetNumericText(Procedure& proc, std::string_view expression) {
  std::string prepared(expression);
  if (!expr::PrepareExpression(rt_, prepared)) {
    SetText(proc, expression);
    return;
  }
  proc.expression = expr::Compile(prepared);
  SetText(proc, prepared);
}

std::int32_t ScriptCompiler::ResourceOrReport(std::string_view name, msg::Id message) {
  const std::int32_t index = program_.FindResource(name);
  if (index >= 0) return index;
  rt_.error.Set(msg::Text(message));
  return 0;
}

// Load-time label references are exact names; a name that cannot fit the
// label row is refused rather than cut, so it never meets a shorter label.
std::int32_t ScriptCompiler::ReferLabel(std::string_view name) {
  if (name.size() > static_cast<std::size_t>(NAME_MAX_BYTES)) {
    rt_.error.Set(msg::Text(msg::Id::kLabelTooLong));
    return 0;
  }
  const std::int32_t index = program_.FindOrAddLabel(name, rt_.error);
  return index < 0 ? 0 : index;
}

// ---------------------------------------------------------------------------
// Assignments and labels

namespace {
// Targets whose right-hand side is a numeric expression, prepared here so
// that it is evaluated with the evaluator's precedence.
bool TakesNumber(std::uint16_t kind) {
  switch (kind) {
    case R_KD_VAL_LONG:
    case R_KD_VAL_DOUBLE:
    case R_KD_CK_BOX:
    case R_KD_RDO_BTN1:
    case R_KD_RDO_BTN:
    case R_KD_STEPTIMER:
    case R_KD_PGS_BAR:
    case R_KD_TRACK_BAR:
    case R_KD_SCR_BAR: return true;
    default: return false;
  }
}
}  // namespace

// NAME = expression and NAME += expression ("A=1", "A+=1" and "A += 1"
// included); "==" is a comparison, not an assignment.
bool ScriptCompiler::TryAssignment(const Statement& s) {
  const std::string_view line = s.line;
  std::string_view name = s.first.text;
  bool add = false;
  std::size_t op_end = 0;
  if (name.size() >= 2 && name.back() == '+' && s.first.end < line.size() && line[s.first.end] == '=') {
    name.remove_suffix(1);
    add = true;
    op_end = s.first.end + 1;
  } else {
    std::size_t k = s.first.end;
    while (k < line.size() && source::IsBlank(line[k])) ++k;
    if (k < line.size() && line[k] == '=') {
      op_end = k + 1;
    } else if (k + 1 < line.size() && line[k] == '+' && line[k + 1] == '=') {
      add = true;
      op_end = k + 2;
    } else {
      return false;
    }
  }
  if (op_end < line.size() && line[op_end] == '=') return false;

  const std::string_view expression = line.substr(op_end);
  const std::int32_t target = program_.FindResource(name);
  if (target < 0) rt_.error.Set(msg::Text(msg::Id::kNotAResource));
  const std::uint16_t kind = target >= 0 ? program_.Resource(target).kind : std::uint16_t{R_KD_DUMMY};
  const bool numeric = TakesNumber(kind);
  const bool list = kind == R_KD_LISTBOX || kind == R_KD_CMB_BOX;

  Procedure* proc = Emit(add && list ? P_DTV_LIST_ADD : P_DTV_MOVE);
  if (!proc) return true;
  proc->b = target >= 0 ? target : 0;
  if (add && kind == R_KD_FILE) rt_.error.Set(msg::Text(msg::Id::kFileOnLeft));

  if (!add || list || target < 0) {
    if (numeric) {
      SetNumericText(*proc, expression);
    } else {
      SetText(*proc, expression);
    }
  } else if (numeric) {
    SetNumericText(*proc, std::string(name) + "+(" + std::string(expression) + ")");
  } else {
    SetText(*proc, std::string(name) + "+" + std::string(expression));
  }
  return true;
}

void ScriptCompiler::DefineLabel(const Statement& s) {
  const std::string_view name = s.first.text.substr(1);
  if (name.size() > static_cast<std::size_t>(NAME_MAX_BYTES)) {
    rt_.error.Set(msg::Text(msg::Id::kLabelTooLong));
    return;
  }
  const std::int32_t index = program_.FindOrAddLabel(name, rt_.error);
  if (index < 0 || name.empty()) return;  // a blank name is reported by the table
  Label& label = program_.LabelAt(index);
  if (label.entry != 0) {
    rt_.error.Set(msg::Format(msg::Id::kLabelRedefined, name));
    return;
  }
  label.entry = program_.ProcCount();
}

// ---------------------------------------------------------------------------
// Blocks

void ScriptCompiler::CompileIf(const Statement& s) {
  const std::string_view rest = s.line.substr(s.first.end);
  const FoundTail tail = FindIfTail(rest);
  const std::int32_t index = program_.ProcCount();
  Procedure* proc = Emit(P_DTV_IF);
  if (!proc) return;
  proc->b = tail.mode;
  SetNumericText(*proc, rest.substr(0, tail.begin));
  switch (tail.mode) {
    case IF_TAIL_GOTO:
    case IF_TAIL_CALLSUB:
      proc->target = ReferLabel(source::NthWord(rest, tail.end, 0).text);
      break;
    case IF_TAIL_BLOCK:
      blocks_.OpenIf(index);
      break;
    case IF_TAIL_BREAK: {
      std::int32_t nesting = 0;
      if (blocks_.EnclosingBreak(&nesting)) proc->a = nesting;
      break;
    }
    case IF_TAIL_CONTINUE: {
      std::int32_t while_proc = 0;
      if (blocks_.EnclosingContinue(&while_proc)) proc->target = while_proc;
      break;
    }
    case IF_TAIL_ENDP:
      break;
  }
}

void ScriptCompiler::CompileElse(const Statement&) { blocks_.Else(line_number_); }

void ScriptCompiler::CompileEndif(const Statement&) {
  if (blocks_.EndIf()) WarnOfCrossedBlock("endif", "while");
}

void ScriptCompiler::WarnOfCrossedBlock(std::string_view closing, std::string_view other) {
  const std::int32_t crossed = blocks_.CrossedBlock();
  if (crossed == 0) return;
  Warn("this `{}` stands inside the unfinished `{}` of line {}: the blocks do not nest as written",
       "この `{}` は{}行目の終わっていない `{}` の中にあります。ブロックが書かれた通りに入れ子になっていません。",
       {closing, other, std::to_string(LineOf(crossed))});
}

void ScriptCompiler::CompileWhile(const Statement& s) {
  Procedure* proc = blocks_.While(line_number_);
  if (proc) SetNumericText(*proc, s.line.substr(s.first.end));
}

void ScriptCompiler::CompileEndwhile(const Statement&) {
  if (blocks_.EndWhile(line_number_)) WarnOfCrossedBlock("endwhile", "If");
}

void ScriptCompiler::CompileBreak(const Statement&) {
  Procedure* proc = Emit(P_DTV_BREAK);
  std::int32_t nesting = 0;
  if (blocks_.EnclosingBreak(&nesting) && proc) proc->b = nesting;
}

void ScriptCompiler::CompileContinue(const Statement&) {
  Procedure* proc = Emit(P_DTV_CONTINUE);
  std::int32_t while_proc = 0;
  if (blocks_.EnclosingContinue(&while_proc) && proc) {
    proc->b = blocks_.WhileDepth() - 1;
    proc->target = while_proc;
  }
}

// ---------------------------------------------------------------------------
// Other statements

void ScriptCompiler::CompileOn(const Statement& s) {
  const source::Word name = s.Word(0);
  if (!name.Found()) {
    rt_.error.Set(msg::Text(msg::Id::kParamsTooFew));
    return;
  }
  const std::int32_t index = program_.FindResource(name.text);
  if (index < 0) {
    rt_.error.Set(msg::Text(msg::Id::kNoLinkResource));
    return;
  }
  program_.Resource(index).event_entry = program_.ProcCount();
}

void ScriptCompiler::CompileEndp(const Statement&) { Emit(P_DTV_ENDP); }

void ScriptCompiler::CompileRetsys(const Statement&) { Emit(P_DTV_RETSYS); }

void ScriptCompiler::CompileResourceOperand(const Statement& s, std::uint16_t code, msg::Id message) {
  const source::Word name = s.Word(0);
  if (!name.Found()) {
    rt_.error.Set(msg::Text(msg::Id::kParamsTooFew));
    return;
  }
  Procedure* proc = Emit(code);
  const std::int32_t index = ResourceOrReport(name.text, message);
  if (proc) proc->a = index;
}

void ScriptCompiler::CompileOpen(const Statement& s) {
  CompileResourceOperand(s, P_DTV_OPEN, msg::Id::kNoFileResource);
}

void ScriptCompiler::CompileClose(const Statement& s) {
  CompileResourceOperand(s, P_DTV_CLOSE, msg::Id::kNoFileResource);
}

void ScriptCompiler::CompileInc(const Statement& s) {
  CompileResourceOperand(s, P_DTV_INC, msg::Id::kNoResource);
}

void ScriptCompiler::CompileReadLine(const Statement& s) {
  const source::Word file = s.Word(0);
  const source::Word variable = s.Word(1);
  if (!variable.Found()) {
    rt_.error.Set(msg::Text(msg::Id::kParamsTooFew));
    return;
  }
  Procedure* proc = Emit(P_DTV_RD_LINE);
  const std::int32_t a = ResourceOrReport(file.text, msg::Id::kNoFileResource);
  const std::int32_t b = ResourceOrReport(variable.text, msg::Id::kNoResource);
  if (proc) {
    proc->a = a;
    proc->b = b;
  }
}

void ScriptCompiler::CompileTransfer(const Statement& s, std::uint16_t code) {
  const source::Word from = s.Word(0);
  const source::Word to = s.Word(1);
  if (!to.Found()) {
    rt_.error.Set(msg::Text(msg::Id::kParamsTooFew));
    return;
  }
  Procedure* proc = Emit(code);
  const std::int32_t a = ResourceOrReport(from.text, msg::Id::kNoResource);
  const std::int32_t b = ResourceOrReport(to.text, msg::Id::kNoResource);
  if (proc) {
    proc->a = a;
    proc->b = b;
  }
}

void ScriptCompiler::CompileOverwrite(const Statement& s) { CompileTransfer(s, P_DTV_OVR_WRT); }

void ScriptCompiler::CompileAddTo(const Statement& s) { CompileTransfer(s, P_DTV_TRN_ADD); }

void ScriptCompiler::CompileCall(const Statement& s) {
  const source::Word name = s.Word(0);
  Procedure* proc = Emit(P_DTV_CALL);
  if (!proc) return;
  SetText(*proc, name.Found() ? source::RestFrom(s.line, name.end) : std::string_view());
  const std::optional<ApiLookup> api = api::LookupApi(name.text);
  if (!api) {
    rt_.error.Set(msg::Text(msg::Id::kNoSuchFunction));
    return;
  }
  proc->a = api->id;
  proc->b = api->position;
}

void ScriptCompiler::CompileTextFrom(std::uint16_t code, std::string_view text) {
  Procedure* proc = Emit(code);
  if (proc) SetText(*proc, text);
}

void ScriptCompiler::CompileCalls(const Statement& s) { CompileTextFrom(P_DTV_CALLS, s.From(0)); }

void ScriptCompiler::CompileDebug(const Statement& s) { CompileTextFrom(P_DTV_DEBUG, s.From(0)); }

void ScriptCompiler::CompileGotoSl(const Statement& s) {
  CompileTextFrom(P_DTV_GOTOSL, s.line.substr(s.first.end));
}

void ScriptCompiler::CompileCallSubs(const Statement& s) {
  CompileTextFrom(P_DTV_CALLSUBS, s.line.substr(s.first.end));
}

void ScriptCompiler::CompileExit(const Statement& s) {
  CompileTextFrom(P_DTV_EXIT, s.line.substr(s.first.begin));
}

// goto and CALLSUB without a label are dropped without a message (a check
// warns of them).
void ScriptCompiler::CompileLabelJump(const Statement& s, std::uint16_t code) {
  const source::Word label = s.Word(0);
  if (!label.Found()) {
    Warn("`{}` without a label does nothing: this line is dropped", "ラベルのない `{}` は何もしません。この行は無視されます。",
         {s.first.text});
    return;
  }
  Procedure* proc = Emit(code);
  const std::int32_t target = ReferLabel(label.text);
  if (proc) proc->target = target;
}

void ScriptCompiler::CompileGoto(const Statement& s) { CompileLabelJump(s, P_DTV_GOTO); }

void ScriptCompiler::CompileCallSub(const Statement& s) { CompileLabelJump(s, P_DTV_CALLSUB); }

}  // namespace loader

void BeginProgram(Runtime& rt) {
  rt.program.Clear();
  rt.names.Clear();
  rt.error.Clear();
  rt.program.CreateSystemVariables(rt.startup.command_line, rt.startup.program_dir,
                                   rt.startup.current_dir);
}

CompileStatus CompileScript(Runtime& rt, ScriptInput& input) {
  loader::ScriptCompiler compiler(rt);
  return compiler.Run(input);
}

}  // namespace vx
