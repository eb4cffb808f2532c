// The run loop: one procedure after another from an entry, until the code of
// that entry ends, with the timing trace, the debugging-dialog stops and the
// error end of a run.
#include "engine/run_loop.hpp"

#include <chrono>
#include <cstdio>

#include "api/arguments.hpp"
#include "engine/explain.hpp"
#include "engine/fused_code.hpp"
#include "engine/keep_alive.hpp"
#include "engine/lifecycle.hpp"
#include "engine/run_internal.hpp"
#include "engine/startup.hpp"
#include "platform/files.hpp"

namespace vx::engine {
namespace detail {

std::string LineMessage(std::int32_t line, std::string_view message, std::string_view detail) {
  std::string out = LineMessage(line, message);
  out += " [";
  out += detail;
  out += ']';
  return out;
}

std::string LineMessage(std::int32_t line, std::string_view message) {
  char head[48];
  std::snprintf(head, sizeof head, "Line (%ld) : ", static_cast<long>(line));
  std::string out(head);
  out += message;
  return out;
}

void StoreTruncatedLong(ResourceEntry& dest, double* value, double v) {
  dest.long_value = expr::rules::ToInt32(v);
  *value = dest.long_value;
}

}  // namespace detail

namespace {

using detail::Flow;

constexpr std::string_view kTimingTraceFile = ".\\debug00.trace.txt";
constexpr std::string_view kErrorTitle = "Terminate with error";
constexpr std::string_view kErrorCaption = "Error";

// The system tick count in milliseconds, as a 32-bit count that wraps.
std::int32_t TickCount() {
  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
      std::chrono::steady_clock::now().time_since_epoch());
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(ms.count()));
}

void TraceTiming(Runtime& rt, std::int32_t p) {
  if (rt.run.timing_lines >= TIMING_TRACE_LINES_MAX) return;
  char line[48];
  const int n = std::snprintf(line, sizeof line, "%ld %ld\r\n", static_cast<long>(p),
                              static_cast<long>(TickCount()));
  files::Append(kTimingTraceFile, std::string_view(line, n));
  ++rt.run.timing_lines;
}

// The quit of the debugging dialog: the program is unloaded and the host
// quits once the run is over.
void QuitProgram(Runtime& rt) {
  UnloadScript(rt);
  rt.run.exit_request = EXIT_QUIT;
}

// Opens the debugging dialog; false when it asked to quit (already done).
bool StopInDebugger(Runtime& rt, std::int32_t p, std::string_view text) {
  if (rt.debugger == nullptr || rt.debugger->Open(rt, p, text) != 0) return true;
  QuitProgram(rt);
  return false;
}

Flow ExecuteDebug(Runtime& rt, std::int32_t p, const Procedure& proc) {
  if (!rt.run.debug_dialog) return detail::GoOn(p);
  const std::string_view text =
      proc.has_text ? std::string_view(proc.text).substr(0, DEBUG_TEXT_MAX) : std::string_view();
  return StopInDebugger(rt, p, text) ? detail::GoOn(p) : detail::EndRun();
}

// Exit [path[, come back]]: unloads the program and asks the host to quit,
// or to chain to the path. With come back non-zero the chained script's end
// brings this script back; Exit alone in a script reached that way returns
// there instead of quitting. A path expression that fails ends the run with
// its error and leaves the program loaded.
Flow ExecuteExit(Runtime& rt, std::int32_t p, const Procedure& proc) {
  std::string_view rest = proc.text;
  auto skip_blanks = [&] {
    while (!rest.empty() && (rest.front() == ' ' || rest.front() == '\t')) rest.remove_prefix(1);
  };
  skip_blanks();
  while (!rest.empty() && rest.front() != ' ' && rest.front() != '\t') rest.remove_prefix(1);
  skip_blanks();
  rt.arg_status = ARG_OPTIONAL;
  args::GetStringArg(rt, rest, 0, rt.run.text);
  if (rt.error.Raised()) return detail::GoOn(p);
  rt.arg_status = ARG_OPTIONAL;
  const bool come_back = args::GetIntArg(rt, rest, 1) != 0;
  if (rt.error.Raised()) return detail::GoOn(p);
  rt.run.chain_path.assign(rt.run.text, 0, std::min(rt.run.text.size(), CHAIN_PATH_BYTES - 1));
  if (rt.run.chain_path.empty()) {
    rt.run.chain_path.swap(rt.run.return_path);  // back to the script that chained here
  } else if (come_back) {
    rt.run.return_path = RunningScriptPath(rt);
  }
  rt.diagnostics.chain_from = rt.startup.script_path;
  rt.diagnostics.chain_from_line = proc.line;
  UnloadScript(rt);
  rt.run.exit_request = rt.run.chain_path.empty() ? EXIT_QUIT : EXIT_CHAIN;
  return detail::EndRun();
}

// The timing trace and the debugging-dialog stops before a procedure; false
// when the dialog asked to quit.
bool BeforeProcedure(Runtime& rt, std::int32_t p, const Procedure& proc) {
  if (rt.run.timing_trace) TraceTiming(rt, p);
  if (proc.break_mark != 0 || rt.run.single_step) return StopInDebugger(rt, p, {});
  return true;
}

// Binds the destination of an assignment just evaluated, while the tables
// its expression was bound in still stand.
void BindDestination(Runtime& rt, CompiledExpression& compiled, ResourceEntry& dest) {
  expr::detail::FastPart& fast = compiled.fast;
  if (!expr::detail::BindingsCurrent(rt, fast)) return;
  fast.destination = &dest;
  fast.destination_value = dest.name_index < rt.names.Size()
                               ? rt.names.MutableValuePointer(dest.name_index)
                               : &fast.unread_value;
}

// An assignment of a number to a long or double variable whose destination
// is bound, evaluated inline: no lookup at all, and no error can follow.
// False for every other assignment.
[[gnu::always_inline]] inline bool MoveBound(Runtime& rt, Procedure& proc) {
  if (!proc.expression) return false;
  const CompiledExpression& compiled = *proc.expression;
  double v;
  if (compiled.fast.destination == nullptr || !expr::detail::BindingsCurrent(rt, compiled.fast) ||
      !expr::detail::EvaluateShape(compiled, &v)) {
    return false;
  }
  detail::StoreBound(compiled.fast, v);
  return true;
}

// Assignments of a number to a long or double variable, the loop's
// commonest work, skip the general dispatch by destination kind, and bind
// their destination for MoveBound. False for every other assignment.
bool MoveToNumber(Runtime& rt, Procedure& proc) {
  if (rt.run.trace_flags & TRACE_ASSIGNMENTS) return false;
  if (MoveBound(rt, proc)) return true;
  if (!rt.program.ValidResource(proc.b)) return false;
  ResourceEntry& dest = rt.program.Resource(proc.b);
  if (dest.kind != R_KD_VAL_LONG && dest.kind != R_KD_VAL_DOUBLE) return false;
  const double v = detail::EvaluateNumber(rt, proc);
  if (dest.kind == R_KD_VAL_LONG) {
    detail::StoreLong(rt, dest, expr::rules::ToInt32(v));
  } else {
    detail::StoreDouble(rt, dest, v);
  }
  if (proc.expression && !rt.error.Raised()) BindDestination(rt, *proc.expression, dest);
  return true;
}

void Move(Runtime& rt, Procedure& proc) {
  if (!MoveToNumber(rt, proc)) detail::Assign(rt, proc);
}

// A failed condition goes on; the loop then ends the run with the error.
[[gnu::always_inline]] inline bool WhileHolds(Runtime& rt, Procedure& proc) {
  const double v = detail::EvaluateNumber(rt, proc);
  return v != 0.0 || rt.error.Raised();
}

Flow Execute(Runtime& rt, std::int32_t p, Procedure& proc) {
  using namespace detail;
  switch (proc.code) {
    case P_DTV_OVR_WRT: Copy(rt, proc); break;
    case P_DTV_TRN_ADD: Append(rt, proc); break;
    case P_DTV_LIST_ADD: AddListLines(rt, proc); break;
    case P_DTV_EXECUTE: break;
    case P_DTV_ENDP: return Return(rt);
    case P_DTV_RETSYS: return EndRun();
    case P_DTV_EXIT: return ExecuteExit(rt, p, proc);
    case P_DTV_MOVE: Move(rt, proc); break;
    case P_DTV_IF: return ExecuteIf(rt, p, proc);
    case P_DTV_WHILE: return WhileHolds(rt, proc) ? GoOn(p) : JumpTo(proc.target);
    case P_DTV_ELSE_IF:
    case P_DTV_ENDWHILE:
    case P_DTV_BREAK:
    case P_DTV_CONTINUE: return JumpTo(proc.target);
    case P_DTV_CALL: CallApi(rt, proc); break;
    case P_DTV_CALLS: CallApiByName(rt, proc); break;
    case P_DTV_CALLSUB: return CallSub(rt, p, proc.target, msg::Id::kNoLabelCallSub);
    case P_DTV_CALLSUBS: return CallSubByName(rt, p, proc);
    case P_DTV_GOTO: return Goto(rt, proc.target, msg::Id::kNoLabelGoto);
    case P_DTV_GOTOSL: return GotoByName(rt, p, proc);
    case P_DTV_OPEN: OpenFile(rt, proc); break;
    case P_DTV_CLOSE: CloseFile(rt, proc); break;
    case P_DTV_RD_LINE: ReadLine(rt, proc); break;
    case P_DTV_INC: Increment(rt, proc); break;
    case P_DTV_DEBUG: return ExecuteDebug(rt, p, proc);
    default: break;
  }
  return GoOn(p);
}

// Shows the pending error with the procedure's line and text and ends the
// run. The error stays pending, so nothing runs until the next load.
int EndWithError(Runtime& rt, std::int32_t p) {
  std::string message;
  if (p >= 1 && p < rt.program.ProcCount()) {
    const Procedure& proc = rt.program.Proc(p);
    message = proc.has_text ? detail::LineMessage(proc.line, rt.error.Text(), proc.text)
                            : detail::LineMessage(proc.line, rt.error.Text());
  } else {
    message = detail::LineMessage(0, rt.error.Text());
  }
  rt.session.ended_with_error = true;
  rt.window->SetTitle(kErrorTitle);
  ErrorSite site;
  site.message = rt.error.Text();
  site.procedure = p;
  site.line = p >= 1 && p < rt.program.ProcCount() ? rt.program.Proc(p).line : 0;
  ShowExplainedError(rt, kErrorCaption, message, site);
  rt.error.ClearText();
  return 0;
}

// What the loop reads before every procedure, kept in locals: the program's
// procedures, whether single steps or the timing trace watch every one, and
// whether the fused statements may run (nothing watches or traces them).
// Only code that reaches outside the loop (APIs, dialogs, the window system,
// general assignments) could change these; they are taken again after each
// statement the loop executes itself.
struct LoopView {
  Procedure* procs = nullptr;
  std::int32_t count = 0;
  bool watching = false;
  bool fused = false;

  void Refresh(Runtime& rt) {
    count = rt.program.ProcCount();
    procs = count > 0 ? &rt.program.Proc(0) : nullptr;
    watching = rt.run.single_step || rt.run.timing_trace;
    fused = !watching && rt.run.trace_flags == 0;
  }
};

int Run(Runtime& rt, std::int32_t p) {
  bool jumped = true;  // the entry counts as reached by a jump
  LoopView view;
  view.Refresh(rt);
  // Statements before the next look at the clock; a local, which the
  // compiler keeps in a register.
  std::int32_t budget = rt.run.keep_alive.budget;

  for (;;) {
    if (p < 1 || p >= view.count) return jumped ? 0 : 1;
    if (view.fused) {
      // The fused statements run up to one they leave to the loop; going
      // off the end there is the normal end of a run.
      p = RunFused(rt, p);
      if (p < 1 || p >= view.count) return 1;
    }
    Procedure& proc = view.procs[p];
    if ((proc.break_mark != 0) | view.watching) {
      if (!BeforeProcedure(rt, p, proc)) return 1;
    }
    const Flow flow = Execute(rt, p, proc);
    if (--budget <= 0) [[unlikely]] {
      LookAtTheClock(rt);
      budget = rt.run.keep_alive.budget;
    }
    view.Refresh(rt);
    if (rt.error.Raised()) [[unlikely]] return EndWithError(rt, p);
    if (rt.run.exit_request == EXIT_QUIT) [[unlikely]] return 1;  // an API ended the program
    if (flow.next == detail::END_OF_RUN) return 1;
    p = flow.next;
    jumped = flow.jump;
  }
}

}  // namespace

int RunFrom(Runtime& rt, std::int32_t entry) {
  if (rt.error.Raised()) return 0;
  rt.run.depth = 0;
  StartLabelPacing(rt);
  const int result = Run(rt, entry);
  rt.run.depth = 0;
  return result;
}

bool StartInitialLabel(Runtime& rt) {
  const std::int32_t label = rt.program.FindLabelAtRunTime("Initial");
  if (label < 0) return false;
  const std::int32_t entry = rt.program.LabelAt(label).entry;
  EngineLockGuard guard(rt.run.lock);
  if (guard.Taken()) {
    RunFrom(rt, entry);
  } else {
    rt.session.pending_labels.Push(entry);
  }
  return true;
}

}  // namespace vx::engine
