#include "host/timers.hpp"

#include <string>

#include "engine/delivery.hpp"
#include "engine/runtime.hpp"
#include "host/controls.hpp"

namespace vx::host {
namespace {

std::int32_t FindTimer(const Runtime& rt, std::int32_t timer_id) {
  for (std::int32_t i = 0; i < rt.program.RscCount(); ++i) {
    const ResourceEntry& e = rt.program.Resource(i);
    if ((e.kind == R_KD_TIMER || e.kind == R_KD_STEPTIMER) && e.timer_id == timer_id) return i;
  }
  return -1;
}

// The counter names the step to try; a busy engine keeps the step for the
// next firing, while the plain label keeps the counter going either way.
void FireStepTimer(Runtime& rt, ResourceEntry& timer) {
  const std::int32_t before = timer.step_count;
  timer.step_count = before + 1;
  std::string step_label(timer.Name());
  step_label += std::to_string(timer.step_count);
  const int step = TryByName(rt, step_label);
  if (step == TRY_RAN) {
    RequestRedrawIfNeeded(rt);
    return;
  }
  if (step == TRY_BUSY) {
    timer.step_count = before;
    return;
  }
  if (TryByName(rt, timer.Name()) == TRY_RAN) RequestRedrawIfNeeded(rt);
}

}  // namespace

void OnTimer(Runtime& rt, std::int32_t timer_id) {
  const std::int32_t index = FindTimer(rt, timer_id);
  if (index < 0) return;
  ResourceEntry& timer = rt.program.Resource(index);
  if (timer.kind == R_KD_STEPTIMER) {
    FireStepTimer(rt, timer);
    return;
  }
  if (timer.event_entry > 0 && TryEntry(rt, timer.event_entry) == 1) RequestRedrawIfNeeded(rt);
}

std::int32_t ApplyStepOperation(std::int32_t counter, std::int32_t operation, std::int32_t value) {
  switch (operation) {
    case 1: return static_cast<std::int32_t>(static_cast<std::uint32_t>(counter) + static_cast<std::uint32_t>(value));
    case 2: return value;
    case 3: return 0;
    default: return counter;
  }
}

}  // namespace vx::host
