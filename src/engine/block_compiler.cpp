#include "engine/block_compiler.hpp"

#include "engine/pending_error.hpp"
#include "engine/program.hpp"
#include "text/messages.hpp"

namespace vx {

Procedure* BlockCompiler::Compile(std::uint16_t code, std::int32_t line) {
  Procedure* p = program_.NewProcedure();
  if (p) {
    p->code = code;
    p->line = line;
  }
  return p;
}

bool BlockCompiler::OpenIf(std::int32_t if_proc) {
  if (if_depth_ >= BLOCK_NEST_MAX) {
    error_.Set(msg::Text(msg::Id::kIfNestTooDeep));
    return false;
  }
  ifs_[if_depth_++] = {if_proc, 0, 1};
  return true;
}

Procedure* BlockCompiler::Else(std::int32_t line) {
  if (if_depth_ == 0 || ifs_[if_depth_ - 1].state != 1) {
    error_.Set(msg::Text(msg::Id::kUnexpectedElse));
    return nullptr;
  }
  IfRow& top = ifs_[if_depth_ - 1];
  const std::int32_t p = program_.ProcCount();
  Procedure* record = Compile(P_DTV_ELSE_IF, line);
  if (!record) return nullptr;
  top.else_proc = p;
  program_.Proc(top.if_proc).target = p + 1;
  top.state = 2;
  return record;
}

bool BlockCompiler::EndIf() {
  if (if_depth_ == 0) {
    error_.Set(msg::Text(msg::Id::kUnexpectedEndif));
    return false;
  }
  const IfRow& top = ifs_[--if_depth_];
  crossed_ = while_depth_ > 0 && whiles_[while_depth_ - 1] > top.if_proc ? whiles_[while_depth_ - 1] : 0;
  const std::int32_t patched = top.state == 2 ? top.else_proc : top.if_proc;
  program_.Proc(patched).target = program_.ProcCount();
  return true;
}

Procedure* BlockCompiler::While(std::int32_t line) {
  const std::int32_t p = program_.ProcCount();
  Procedure* record = Compile(P_DTV_WHILE, line);
  if (!record) return nullptr;
  if (while_depth_ >= BLOCK_NEST_MAX) {
    error_.Set(msg::Text(msg::Id::kWhileNestTooDeep));
    return record;
  }
  whiles_[while_depth_++] = p;
  return record;
}

bool BlockCompiler::EnclosingBreak(std::int32_t* nesting) {
  if (while_depth_ == 0) {
    error_.Set(msg::Text(msg::Id::kUnexpectedBreak));
    return false;
  }
  *nesting = while_depth_ - 1;
  return true;
}

bool BlockCompiler::EnclosingContinue(std::int32_t* while_proc) {
  if (while_depth_ == 0) {
    error_.Set(msg::Text(msg::Id::kUnexpectedContinue));
    return false;
  }
  *while_proc = whiles_[while_depth_ - 1];
  return true;
}

Procedure* BlockCompiler::EndWhile(std::int32_t line) {
  if (while_depth_ == 0) {
    error_.Set(msg::Text(msg::Id::kUnexpectedEndwhile));
    return nullptr;
  }
  const std::int32_t nesting = while_depth_ - 1;
  const std::int32_t w = whiles_[nesting];
  crossed_ = if_depth_ > 0 && ifs_[if_depth_ - 1].if_proc > w ? ifs_[if_depth_ - 1].if_proc : 0;
  const std::int32_t p = program_.ProcCount();
  Procedure* record = Compile(P_DTV_ENDWHILE, line);
  if (!record) return nullptr;
  program_.Proc(w).target = p + 1;
  // Breaks of this loop (and not of inner loops, already patched and
  // carrying a deeper nesting position) leave after the endwhile.
  for (std::int32_t i = w + 1; i < p; ++i) {
    Procedure& q = program_.Proc(i);
    if ((q.code == P_DTV_BREAK && q.b == nesting) ||
        (q.code == P_DTV_IF && q.b == IF_TAIL_BREAK && q.a == nesting)) {
      q.target = p + 1;
    }
  }
  record->target = w;
  --while_depth_;
  return record;
}

bool BlockCompiler::CheckAllClosed() {
  if (if_depth_ > 0) {
    error_.Set(msg::Format(msg::Id::kIfNotClosed, static_cast<long>(ifs_[if_depth_ - 1].if_proc)));
    return false;
  }
  if (while_depth_ > 0) {
    error_.Set(msg::Format(msg::Id::kWhileNotClosed, static_cast<long>(whiles_[while_depth_ - 1])));
    return false;
  }
  return true;
}

void BlockCompiler::ForgetReportedBlock() {
  if (if_depth_ > 0) {
    --if_depth_;
  } else if (while_depth_ > 0) {
    --while_depth_;
  }
}

void BlockCompiler::Reset() {
  if_depth_ = 0;
  while_depth_ = 0;
  crossed_ = 0;
}

}  // namespace vx
