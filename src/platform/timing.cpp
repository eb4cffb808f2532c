#include "platform/timing.hpp"

#include <chrono>
#include <cstdio>
#include <cstdlib>

namespace vx::platform {

long long WallMicros() {
  return std::chrono::duration_cast<std::chrono::microseconds>(
             std::chrono::system_clock::now().time_since_epoch())
      .count();
}

bool TimingWanted() {
  static const bool wanted = std::getenv("VEXMORA_TIMING") != nullptr;
  return wanted;
}

void TimingLine(const char* event) {
  if (!TimingWanted()) return;
  std::fprintf(stderr, "[timing] %s %lld\n", event, WallMicros());
  std::fflush(stderr);
}

}  // namespace vx::platform
