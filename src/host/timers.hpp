#pragma once
// Timer and step-timer resources: what a firing does, and the step counter
// operations of CtrlStepTimer.
#include <cstdint>

namespace vx {

struct Runtime;

namespace host {

// A window timer fired. Timer labels run only when the engine is free;
// a step timer tries NAME<count+1>, then NAME (see timers.cpp).
void OnTimer(Runtime& rt, std::int32_t timer_id);

// CtrlStepTimer operations: 1 adds `value`, 2 sets it, 3 clears, others
// leave the counter. Returns the new counter.
std::int32_t ApplyStepOperation(std::int32_t counter, std::int32_t operation, std::int32_t value);

}  // namespace host
}  // namespace vx
