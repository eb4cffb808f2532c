#pragma once
// How an event reaches a label. Script code runs inside the window's message
// handling, and that handling is re-entered while a label runs (message
// boxes and dialogs open their own loops), so every operation tries the
// engine lock without waiting and either queues the label or loses the
// event when the engine is busy.
#include <cstdint>
#include <string_view>

namespace vx {

struct Runtime;

namespace host {

enum TryResult : int {
  TRY_NO_LABEL = 0,
  TRY_BUSY = 1,
  TRY_RAN = 3,
};

// The entry of the label (any ASCII case), or 0 when the program has none.
std::int32_t LabelEntry(const Runtime& rt, std::string_view name);

// Runs the label when the engine is free, else queues it. 0 when there is
// no such label, else 1.
int OfferByName(Runtime& rt, std::string_view name);
// Runs the label when the engine is free; a busy engine loses the event.
// TRY_NO_LABEL, TRY_BUSY or TRY_RAN.
int TryByName(Runtime& rt, std::string_view name);
// Runs the entry when the engine is free, else queues it: the run loop's
// result, or 0 when queued.
int OfferEntry(Runtime& rt, std::int32_t entry);
// Runs the entry when the engine is free: 1 if it ran, else 0.
int TryEntry(Runtime& rt, std::int32_t entry);

// Runs the oldest queued label when the engine is free.
void RunOnePendingLabel(Runtime& rt);

// The redraw hand-over to the window: when the engine is free, takes the
// redraw-needed flag and, if it was set and the dirty rectangle is not
// empty, asks the display to repaint that rectangle.
void RequestRedraw(Runtime& rt);
// The same, but only when the redraw-needed flag is already set.
void RequestRedrawIfNeeded(Runtime& rt);

// System variables are written only while a program with them is loaded.
void SetSystemLong(Runtime& rt, std::int32_t index, std::int32_t value);
void SetSystemText(Runtime& rt, std::int32_t index, std::string_view text);
std::int32_t SystemLong(Runtime& rt, std::int32_t index);

}  // namespace host
}  // namespace vx
