// rand: reproducible pseudo-random numbers.
#include "system/random.hpp"

#include <cstdlib>

#include "api/api_ids.hpp"
#include "api/call.hpp"
#include "engine/runtime.hpp"

namespace vx::api {
namespace {

constexpr std::uint32_t kMultiplier = 214013;
constexpr std::uint32_t kIncrement = 2531011;
constexpr int kBitsPerDraw = 15;
constexpr std::int64_t kTwoDrawsMax = (std::int64_t{1} << (2 * kBitsPerDraw)) - 1;

// rand N maximum, R: a number between 0 and the maximum.
void Rand(Call& call) {
  const std::int32_t maximum = call.Int(0);
  const std::int32_t out = call.Resource(1);
  if (out < 0) return;
  call.WriteInt(out, RandomUpTo(call.rt(), maximum));
}

constexpr Registration kRandomApis[] = {
    {Id("rand"), Rand},
};

}  // namespace

void ResetRandom(Runtime& rt) { rt.random = RandomState{}; }

std::int32_t NextRandom(Runtime& rt) {
  rt.random.state = rt.random.state * kMultiplier + kIncrement;
  return static_cast<std::int32_t>((rt.random.state >> 16) & 0x7FFF);
}

std::int32_t RandomUpTo(Runtime& rt, std::int32_t maximum) {
  const std::int64_t span = std::llabs(static_cast<std::int64_t>(maximum));
  const int draws = span <= RANDOM_VALUE_MAX ? 1 : span <= kTwoDrawsMax ? 2 : 3;
  std::uint64_t bits = 0;
  for (int k = 0; k < draws; ++k) bits = (bits << kBitsPerDraw) | static_cast<std::uint64_t>(NextRandom(rt));
  const std::int64_t value = static_cast<std::int64_t>(bits % static_cast<std::uint64_t>(span + 1));
  return static_cast<std::int32_t>(maximum < 0 ? -value : value);
}

void RegisterRandomApis(Registry& registry) { registry.AddAll(kRandomApis); }

}  // namespace vx::api
