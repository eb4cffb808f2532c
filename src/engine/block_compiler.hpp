#pragma once
// Block addressing while compiling: the if and while stacks of the loader,
// which patch the jump targets of If/else/endif and while/break/continue/
// endwhile records as the blocks close. Every operation reports a misuse
// through the pending error and returns false.
#include <array>
#include <cstdint>

namespace vx {

class Program;
class PendingError;
struct Procedure;

inline constexpr int BLOCK_NEST_MAX = 100;

class BlockCompiler {
 public:
  BlockCompiler(Program& program, PendingError& error) : program_(program), error_(error) {}

  // A block If was compiled at `if_proc`.
  bool OpenIf(std::int32_t if_proc);
  // else: compiles the P_DTV_ELSE_IF record; null on error or a full table.
  Procedure* Else(std::int32_t line);
  // endif: the If (or the else) now jumps to the next procedure index.
  bool EndIf();

  // while: compiles the P_DTV_WHILE record; the caller sets its text.
  Procedure* While(std::int32_t line);
  // break and If ... BREAK: the enclosing loop's nesting position.
  bool EnclosingBreak(std::int32_t* nesting);
  // continue and If ... CONTINUE: the enclosing while procedure.
  bool EnclosingContinue(std::int32_t* while_proc);
  // endwhile: patches the loop and compiles the P_DTV_ENDWHILE record.
  Procedure* EndWhile(std::int32_t line);

  // End of source: both stacks must be empty (the if check first).
  bool CheckAllClosed();
  // After CheckAllClosed reported a block: forgets it, so that the next
  // check reports the next one (a check of every line reports them all).
  void ForgetReportedBlock();
  void Reset();

  // The procedures of the innermost open If and while; 0 when none is open.
  std::int32_t InnermostIf() const { return if_depth_ > 0 ? ifs_[if_depth_ - 1].if_proc : 0; }
  std::int32_t InnermostWhile() const { return while_depth_ > 0 ? whiles_[while_depth_ - 1] : 0; }
  // The last endif or endwhile closed its block across another one that
  // opened inside it and is still open (an endwhile inside an unfinished
  // If): the procedure of that block, else 0. Such a source loads, but the
  // blocks do not nest as written.
  std::int32_t CrossedBlock() const { return crossed_; }

  int IfDepth() const { return if_depth_; }
  int WhileDepth() const { return while_depth_; }

 private:
  struct IfRow {
    std::int32_t if_proc = 0;
    std::int32_t else_proc = 0;
    int state = 0;  // 1 then part, 2 else part
  };

  Procedure* Compile(std::uint16_t code, std::int32_t line);

  Program& program_;
  PendingError& error_;
  std::array<IfRow, BLOCK_NEST_MAX> ifs_{};
  std::array<std::int32_t, BLOCK_NEST_MAX> whiles_{};
  int if_depth_ = 0;
  int while_depth_ = 0;
  std::int32_t crossed_ = 0;
};

}  // namespace vx
