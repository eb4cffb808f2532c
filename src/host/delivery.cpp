#include "engine/delivery.hpp"

#include "engine/run_loop.hpp"
#include "engine/runtime.hpp"
#include "engine/system_variables.hpp"
#include "graphics/drawing.hpp"
#include "host/controls.hpp"
#include "values/values.hpp"

namespace vx::host {

std::int32_t LabelEntry(const Runtime& rt, std::string_view name) {
  const std::int32_t index = rt.program.FindLabelAtRunTime(name);
  return index < 0 ? 0 : rt.program.LabelAt(index).entry;
}

int OfferByName(Runtime& rt, std::string_view name) {
  const std::int32_t entry = LabelEntry(rt, name);
  if (entry <= 0) return 0;
  OfferEntry(rt, entry);
  return 1;
}

int TryByName(Runtime& rt, std::string_view name) {
  const std::int32_t entry = LabelEntry(rt, name);
  if (entry <= 0) return TRY_NO_LABEL;
  return TryEntry(rt, entry) != 0 ? TRY_RAN : TRY_BUSY;
}

namespace {

// Runs with the engine lock held; the quick-watch window then shows the
// values the label left.
int RunLabel(Runtime& rt, std::int32_t entry) {
  const int result = engine::RunFrom(rt, entry);
  if (rt.controls) rt.controls->AfterLabel();
  return result;
}

}  // namespace

int OfferEntry(Runtime& rt, std::int32_t entry) {
  EngineLockGuard guard(rt.run.lock);
  if (!guard.Taken()) {
    rt.session.pending_labels.Push(entry);  // a full queue drops it
    return 0;
  }
  return RunLabel(rt, entry);
}

int TryEntry(Runtime& rt, std::int32_t entry) {
  EngineLockGuard guard(rt.run.lock);
  if (!guard.Taken()) return 0;
  rt.vram.redraw_needed = false;
  RunLabel(rt, entry);
  return 1;
}

void RunOnePendingLabel(Runtime& rt) {
  EngineLockGuard guard(rt.run.lock);
  if (!guard.Taken()) return;
  const std::int32_t entry = rt.session.pending_labels.Pop();
  if (entry > 0) RunLabel(rt, entry);
}

void RequestRedraw(Runtime& rt) {
  EngineLockGuard guard(rt.run.lock);
  if (!guard.Taken()) return;
  graphics::RequestRedraw(rt.vram, rt.display);
}

void RequestRedrawIfNeeded(Runtime& rt) {
  if (rt.vram.redraw_needed) RequestRedraw(rt);
}

void SetSystemLong(Runtime& rt, std::int32_t index, std::int32_t value) {
  if (index < rt.program.RscCount()) values::SetLong(rt, index, value);
}

void SetSystemText(Runtime& rt, std::int32_t index, std::string_view text) {
  if (index < rt.program.RscCount()) values::SetText(rt, index, text, true);
}

std::int32_t SystemLong(Runtime& rt, std::int32_t index) {
  return index < rt.program.RscCount() ? values::ReadAsInteger(rt, index) : 0;
}

}  // namespace vx::host
