#pragma once
// The loader's compiler: one logical line at a time into declarations,
// labels and procedure records. Internal to the loader (loader.hpp is the
// interface); statements live in script_compiler.cpp, declarations in
// declarations.cpp.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/block_compiler.hpp"
#include "engine/loader.hpp"
#include "engine/source_text.hpp"
#include "text/messages.hpp"

namespace vx {

class Program;
struct Procedure;
struct ResourceEntry;

namespace loader {

struct Statement {
  std::string_view line;  // the logical line, comment removed
  source::Word first;
  // The n-th blank-separated word after the first one (n = 0: the second word).
  source::Word Word(int n) const { return source::NthWord(line, first.end, n); }
  // The text from the n-th word after the first one on (empty when absent).
  std::string_view From(int n) const {
    const source::Word w = Word(n);
    return w.Found() ? line.substr(w.begin) : std::string_view();
  }
};

class ScriptCompiler {
 public:
  explicit ScriptCompiler(Runtime& rt);
  CompileStatus Run(ScriptInput& input);

  using Handler = void (ScriptCompiler::*)(const Statement&);

 private:
  bool LimitsAllow();
  CompileStatus ReportPendingError();
  void ReadAhead(ScriptInput& input);
  bool NextLine(std::string& raw);
  std::int32_t LineOf(std::int32_t procedure) const;
  // A warning at the current line, shown only by a check.
  void Warn(std::string_view english, std::string_view japanese,
            std::initializer_list<std::string_view> args = {});
  void NoteEncoding();
  void CountError();
  void IgnoreDeclaration(std::string_view type, std::string_view name);
  void WarnOfUndefinedLabels();
  void WarnOfCrossedBlock(std::string_view closing, std::string_view other);
  CompileStatus CompileLine(std::string_view line);
  CompileStatus CompileStatement();

  // Statements.
  bool TryAssignment(const Statement& s);
  void DefineLabel(const Statement& s);
  void CompileIf(const Statement& s);
  void CompileElse(const Statement& s);
  void CompileEndif(const Statement& s);
  void CompileWhile(const Statement& s);
  void CompileEndwhile(const Statement& s);
  void CompileBreak(const Statement& s);
  void CompileContinue(const Statement& s);
  void CompileOn(const Statement& s);
  void CompileEndp(const Statement& s);
  void CompileOpen(const Statement& s);
  void CompileClose(const Statement& s);
  void CompileReadLine(const Statement& s);
  void CompileCall(const Statement& s);
  void CompileCalls(const Statement& s);
  void CompileGoto(const Statement& s);
  void CompileCallSub(const Statement& s);
  void CompileGotoSl(const Statement& s);
  void CompileCallSubs(const Statement& s);
  void CompileOverwrite(const Statement& s);
  void CompileAddTo(const Statement& s);
  void CompileInc(const Statement& s);
  void CompileExit(const Statement& s);
  void CompileRetsys(const Statement& s);
  void CompileDebug(const Statement& s);

  // Declarations.
  void DeclareControl(const Statement& s, std::uint16_t kind);
  void DeclareTimer(const Statement& s, std::uint16_t kind);
  void DeclareData(const Statement& s);
  void DeclareString(std::string_view name, std::string_view list);
  void DeclareFile(std::string_view name, std::string_view line);
  void DeclareCom(std::string_view name, std::string_view list);
  void DeclareLong(std::string_view name, std::string_view list);
  void DeclareDouble(std::string_view name, std::string_view list);

  // Helpers.
  Procedure* Emit(std::uint16_t code);
  void SetText(Procedure& proc, std::string_view text);
  void SetNumericText(Procedure& proc, std::string_view expression);
  std::int32_t ResourceOrReport(std::string_view name, msg::Id message);
  std::int32_t ReferLabel(std::string_view name);
  void CompileResourceOperand(const Statement& s, std::uint16_t code, msg::Id message);
  void CompileTransfer(const Statement& s, std::uint16_t code);
  void CompileLabelJump(const Statement& s, std::uint16_t code);
  void CompileTextFrom(std::uint16_t code, std::string_view text);

  bool NameFits(std::string_view name);
  ResourceEntry* BeginResource(std::string_view name, std::uint16_t kind);
  void CommitResource();
  bool AllocateText(ResourceEntry& entry, std::int32_t capacity, std::string_view text);
  std::int32_t Int(std::string_view list, int n);
  std::optional<std::int32_t> OptionalInt(std::string_view list, int n);
  bool OptionalString(std::string_view list, int n, std::string& out);

  // Line numbers. A source with "[$SRC:n]" markers numbers its statements
  // by them (0 before the first); a source without any is numbered by its
  // physical lines, 1-based, as if each line carried its own marker.
  void NumberLine(std::string_view raw);
  void ForgetPhysicalNumbers();
  std::int32_t LineForMessage();

  Runtime& rt_;
  Program& program_;
  BlockCompiler blocks_;
  source::LineJoiner joiner_;
  ScriptInput* input_ = nullptr;  // during Run, for the markers still ahead
  std::int32_t line_number_ = 0;
  std::int32_t physical_line_ = 0;
  bool marked_ = false;  // a marker has been read
  std::string logical_;  // the logical line as it stands, for messages
  // A check (rt.diagnostics.check_only) reads every line first and goes on
  // after each error.
  bool checking_ = false;
  bool marker_ahead_ = false;
  bool encoding_noted_ = false;
  int errors_ = 0;
  // What the input said of the line just read.
  struct LineState {
    std::string unconvertible;  // the line, when it has a character without a Shift-JIS form
    bool looks_like_utf8 = false;
  };
  struct AheadLine {
    std::string raw;
    LineState state;
  };
  LineState line_state_;
  std::string unconvertible_;  // the character of a kNoShiftJisForm error
  std::vector<AheadLine> ahead_;
  std::size_t ahead_next_ = 0;
};

}  // namespace loader
}  // namespace vx
