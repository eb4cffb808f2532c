#include "engine/keep_alive.hpp"

#include <algorithm>

#include "engine/runtime.hpp"

namespace vx::engine {
namespace {

using Clock = KeepAlivePacing::Clock;
using std::chrono::milliseconds;
using std::chrono::nanoseconds;

// A budget growing more than this much at one look would overshoot when a
// few cheap statements happen to come before slow ones.
constexpr std::int64_t kGrowthMax = 8;

// The budget that would have taken KEEP_ALIVE_CHECK_MS at the cost seen
// since the last look.
std::int32_t NextSpan(std::int32_t span, nanoseconds spent) {
  const std::int64_t target = nanoseconds(milliseconds(KEEP_ALIVE_CHECK_MS)).count();
  const std::int64_t taken = std::max<std::int64_t>(spent.count(), 1);
  std::int64_t next = static_cast<std::int64_t>(span) * target / taken;
  next = std::min(next, static_cast<std::int64_t>(span) * kGrowthMax);
  return static_cast<std::int32_t>(
      std::clamp<std::int64_t>(next, KEEP_ALIVE_BUDGET_MIN, KEEP_ALIVE_BUDGET_MAX));
}

}  // namespace

void StartLabelPacing(Runtime& rt) {
  KeepAlivePacing& pacing = rt.run.keep_alive;
  const Clock::time_point now = Clock::now();
  pacing.last_look = now;
  pacing.next_due = now + milliseconds(KEEP_ALIVE_AFTER_MS);
  pacing.budget = pacing.span;
}

void LookAtTheClock(Runtime& rt) {
  KeepAlivePacing& pacing = rt.run.keep_alive;
  if (rt.display == nullptr) {
    // Nothing to keep alive: look again only rarely.
    pacing.budget = KEEP_ALIVE_BUDGET_MAX;
    return;
  }
  const Clock::time_point now = Clock::now();
  pacing.span = NextSpan(pacing.span, now - pacing.last_look);
  pacing.budget = pacing.span;
  pacing.last_look = now;
  if (now < pacing.next_due) return;
  rt.display->KeepAlive();
  // The time the window took is not the statements' cost.
  const Clock::time_point after = Clock::now();
  pacing.last_look = after;
  pacing.next_due = after + milliseconds(KEEP_ALIVE_EVERY_MS);
}

}  // namespace vx::engine
