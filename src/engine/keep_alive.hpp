#pragma once
// A label that runs long keeps its window alive: every so often the run
// loop lets the display paint what is due and answer the window manager
// (Display::KeepAlive), and nothing else; no label runs and no input or
// timer is taken meanwhile.
//
// The run loop counts the statements it executes itself down from a
// budget and reads the clock only when the budget is spent; the budget is
// sized from the statements' recent cost so that the clock is read about
// every KEEP_ALIVE_CHECK_MS, whether statements take nanoseconds or tens of
// milliseconds. Fused statements are not counted: they draw nothing.
#include <chrono>
#include <cstdint>

namespace vx {

struct Runtime;

// A label running longer than this keeps its window alive.
inline constexpr int KEEP_ALIVE_AFTER_MS = 100;
// The time between two keep-alives of one long label (about 25 frames a
// second), counted from the end of the one before.
inline constexpr int KEEP_ALIVE_EVERY_MS = 40;
// The time aimed at between two looks at the clock.
inline constexpr int KEEP_ALIVE_CHECK_MS = 5;
// Bounds of the statement budget between two looks at the clock.
inline constexpr std::int32_t KEEP_ALIVE_BUDGET_MIN = 1;
inline constexpr std::int32_t KEEP_ALIVE_BUDGET_MAX = 1 << 16;
inline constexpr std::int32_t KEEP_ALIVE_BUDGET_FIRST = 8;

namespace engine {

struct KeepAlivePacing {
  using Clock = std::chrono::steady_clock;

  std::int32_t budget = KEEP_ALIVE_BUDGET_FIRST;  // what the last look (or the start) allows
  std::int32_t span = KEEP_ALIVE_BUDGET_FIRST;    // the budget a look refills
  Clock::time_point last_look{};
  Clock::time_point next_due{};
};

// A label (a run from an entry at depth 0) starts now.
void StartLabelPacing(Runtime& rt);
// The budget is spent: looks at the clock, sizes the next budget and asks
// the display to keep the window alive when that is due.
void LookAtTheClock(Runtime& rt);

}  // namespace engine
}  // namespace vx
