#pragma once
// The life of a loaded program around the loader: unloading, the
// control-creation step after the last line, and starting the program.
namespace vx {

struct Runtime;

namespace engine {

// Records G_EXIT_CODE as the exit code, clears the events-enabled flag,
// frees every buffer, destroys control windows, stops timers, closes ports
// and clears the three tables. Returns 1.
int UnloadScript(Runtime& rt);

// After the last line of a successful load: the host creates the declared
// controls and timers, the expression name table is built and events are
// enabled.
void CreateDeclaredControls(Runtime& rt);

// Starts a loaded program: white drawing bank, the Initial label (or its
// queue entry when the engine is busy), the started flag. Returns 1.
int StartLoadedProgram(Runtime& rt);

}  // namespace engine
}  // namespace vx
