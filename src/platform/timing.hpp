#pragma once
// Timing lines for the benchmarks that follow a run from outside: with
// VEXMORA_TIMING set, "[timing] EVENT MICROSECONDS" (wall clock) on standard
// error at start-up's steps and at the window's paints and presses.
namespace vx::platform {

// Microseconds since the epoch, comparable with other processes' clocks.
long long WallMicros();

// Whether VEXMORA_TIMING is set (read once).
bool TimingWanted();

// Writes the line for `event` when timing is wanted; nothing otherwise.
void TimingLine(const char* event);

}  // namespace vx::platform
