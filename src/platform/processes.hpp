#pragma once
// Programs a script starts (WinExec) and checks or ends later (ProcCtrl).
// Each program runs in its own process group, so ending it also ends what it
// started in turn; its standard input is /dev/null, its output goes where
// ours goes, and it inherits no other open file. Only programs in the table
// can be signalled.
#include <cstdint>
#include <string>
#include <vector>

namespace vx::platform {

inline constexpr int PROCESS_MAX = 64;

enum class ProcessState { kUnknown, kRunning, kEnded };

class ProcessTable {
 public:
  ProcessTable() = default;
  ProcessTable(const ProcessTable&) = delete;
  ProcessTable& operator=(const ProcessTable&) = delete;
  // Collects the ended children; running ones go on on their own.
  ~ProcessTable();

  // Starts argv[0] (searched in PATH when it has no slash) with `argv`, all
  // UTF-8. Returns the process id, or -errno when it cannot be started
  // (EAGAIN when PROCESS_MAX programs are still running).
  int Start(const std::vector<std::string>& argv);

  // A started program's state; its exit status (the exit code, or 128 + the
  // signal that ended it) once it has ended. A process id that this table
  // did not start is reported as running or ended without a status (-1).
  ProcessState Query(int pid, int* exit_status);
  // Waits up to `timeout_ms` (negative: no limit) for a started program.
  ProcessState Wait(int pid, int timeout_ms, int* exit_status);
  // Sends `signal` to a started program's process group. 0, or an errno
  // (ESRCH for a program that is not in the table or has ended).
  int Signal(int pid, int signal);
  // Drops a program from the script's view; it goes on running and is still
  // collected when it ends. False when unknown.
  bool Forget(int pid);

 private:
  struct Child {
    int pid = 0;
    bool ended = false;
    int status = -1;
    bool forgotten = false;
  };
  Child* Find(int pid);
  void Collect(Child& child, bool block);
  void MakeRoom();
  std::vector<Child> children_;
};

}  // namespace vx::platform
