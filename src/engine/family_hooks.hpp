#pragma once
// What a family does as programs come and go: the controls and timers a
// script declares, its serial ports, the drawing bank's clip and colour, the
// random generator's seed, the camera. The engine runs every family's hooks
// at each step of a program's life without naming any family; the table is
// made above the families, in app/families.cpp, in the order the hooks run.
#include <span>

namespace vx {

struct Runtime;

namespace engine {

using FamilyHook = void (*)(Runtime& rt);

struct FamilyHooks {
  FamilyHook unload = nullptr;         // the program is about to go, with its resources
  FamilyHook declare = nullptr;        // a program was loaded: make what it declares
  FamilyHook start = nullptr;          // before the program's Initial label
  FamilyHook after_initial = nullptr;  // the Initial label ran
  FamilyHook started = nullptr;        // the program runs and the whole window is due for a redraw
  FamilyHook reload = nullptr;         // another script is about to replace the program
};

// Every family's hooks; defined in app/families.cpp.
std::span<const FamilyHooks> AllFamilyHooks();

// Runs one step's hook of every family that has one, in table order.
inline void RunFamilyHooks(Runtime& rt, FamilyHook FamilyHooks::*step) {
  for (const FamilyHooks& hooks : AllFamilyHooks()) {
    if (hooks.*step != nullptr) (hooks.*step)(rt);
  }
}

}  // namespace engine
}  // namespace vx
