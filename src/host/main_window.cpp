#include "host/main_window.hpp"

#include "engine/run_loop.hpp"
#include "engine/runtime.hpp"
#include "engine/startup.hpp"

namespace vx::host {

void MainWindowProcedure::Start() {
  engine::LoadStartScript(rt_);
  AfterMessage();
}

int MainWindowProcedure::Handle(const Message& message) {
  int result = 0;
  switch (message.kind) {
    case MessageKind::kTick: Tick(); break;
    case MessageKind::kClose: result = 1; break;
    case MessageKind::kReload: engine::ReloadScript(rt_, message.path); break;
  }
  AfterMessage();
  return result;
}

bool MainWindowProcedure::QuitRequested() const { return rt_.run.exit_request == EXIT_QUIT; }

bool MainWindowProcedure::CanRunLabels() const {
  if (rt_.run.exit_request == EXIT_CHAIN) return true;
  if (rt_.error.Raised() || rt_.program.ProcCount() <= 1) return false;
  return rt_.session.pending_labels.Count() > 0;
}

void MainWindowProcedure::Tick() { RunOnePendingLabel(); }

void MainWindowProcedure::RunOnePendingLabel() {
  EngineLockGuard guard(rt_.run.lock);
  if (!guard.Taken()) return;
  const std::int32_t entry = rt_.session.pending_labels.Pop();
  if (entry > 0) engine::RunFrom(rt_, entry);
}

void MainWindowProcedure::AfterMessage() { engine::FollowChain(rt_); }

}  // namespace vx::host
