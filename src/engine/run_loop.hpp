#pragma once
// The run loop: executes procedures of the loaded program from an entry until
// that code ends. Callers hold the engine lock; the loop takes none itself.
#include <cstdint>

namespace vx {

struct Runtime;

namespace engine {

// Runs from `entry`. 1 when the code ran off the end of the program or ended
// normally (ENDP at depth 0, Retsys, Exit, a quit from the debugging
// dialog); 0 when it stopped with an error or when the entry or a jump led at
// or beyond the end. With a pending error already set it returns 0 at once:
// after an error nothing runs until the next load.
int RunFrom(Runtime& rt, std::int32_t entry);

// Runs the first label named Initial (any case) with an entry, holding the
// engine lock; when the engine is busy the entry is queued instead. False
// when there is no such label.
bool StartInitialLabel(Runtime& rt);

}  // namespace engine
}  // namespace vx
