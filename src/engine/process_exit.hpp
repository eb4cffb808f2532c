#pragma once
// Ending the whole process from inside a run, for errors after which
// nothing may go on (the preprocessor's fatal errors).
//
// RequestProcessExit records `code` as G_EXIT_CODE and as the process exit
// code and raises the quit request (EXIT_QUIT), the same request Exit and
// the debugging dialog's quit raise. The run loop ends the current run as
// soon as the procedure that asked returns; the host sees the quit request
// after the message and leaves its event loop; the front end returns the
// exit code from main. Nothing calls exit(): the normal clean-up runs.
namespace vx {

struct Runtime;

namespace engine {

void RequestProcessExit(Runtime& rt, int code);

// The exit code when the host's loop has ended: G_EXIT_CODE of a program
// that loaded and is still loaded (a headless run ends once no label can
// run, without an unload), else the code recorded at the last unload.
int FinalExitCode(Runtime& rt);

}  // namespace engine
}  // namespace vx
