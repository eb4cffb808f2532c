// The bit family: single bits and bitwise logic on 32-bit integers.
//
// Bit numbers run from 0 (least significant) to 31; any other bit number
// tests as 0 and changes nothing, rather than shifting by an undefined
// amount.
#include <cstdint>

#include "api/api_ids.hpp"
#include "api/call.hpp"
#include "engine/runtime.hpp"
#include "values/values.hpp"

namespace vx::api {
namespace {

constexpr std::int32_t kBitCount = 32;

bool ValidBit(std::int32_t bit) { return bit >= 0 && bit < kBitCount; }

std::uint32_t Mask(std::int32_t bit) { return std::uint32_t{1} << bit; }

// The long variable behind an output argument, or null for any other kind.
ResourceEntry* LongVariable(Runtime& rt, std::int32_t resource) {
  if (!rt.program.ValidResource(resource)) return nullptr;
  ResourceEntry& entry = rt.program.Resource(resource);
  return entry.kind == R_KD_VAL_LONG ? &entry : nullptr;
}

// BitTest N value, N bit, R?: 1 when the bit is set, else 0.
void BitTest(Call& call) {
  const std::int32_t value = call.Int(0);
  const std::int32_t bit = call.Int(1);
  const std::int32_t out = call.OptResource(2);
  if (out < 0) return;
  const bool set = ValidBit(bit) && (static_cast<std::uint32_t>(value) & Mask(bit)) != 0;
  call.WriteInt(out, set ? 1 : 0);
}

// BitSet N bit, N mode, R? long variable: mode 1 sets the bit, 0 clears it,
// -1 inverts it.
void BitSet(Call& call) {
  const std::int32_t bit = call.Int(0);
  const std::int32_t mode = call.Int(1);
  const std::int32_t target = call.OptResource(2);
  const ResourceEntry* variable = LongVariable(call.rt(), target);
  if (variable == nullptr || !ValidBit(bit)) return;
  std::uint32_t value = static_cast<std::uint32_t>(variable->long_value);
  switch (mode) {
    case 1: value |= Mask(bit); break;
    case 0: value &= ~Mask(bit); break;
    case -1: value ^= Mask(bit); break;
    default: return;
  }
  call.WriteInt(target, static_cast<std::int32_t>(value));
}

// BitLogic N a, N b, N operation, R? long variable: operation 1 is AND,
// 0 OR, -1 XOR.
void BitLogic(Call& call) {
  const std::uint32_t a = static_cast<std::uint32_t>(call.Int(0));
  const std::uint32_t b = static_cast<std::uint32_t>(call.Int(1));
  const std::int32_t operation = call.Int(2);
  const std::int32_t target = call.OptResource(3);
  if (LongVariable(call.rt(), target) == nullptr) return;
  std::uint32_t result = 0;
  switch (operation) {
    case 1: result = a & b; break;
    case 0: result = a | b; break;
    case -1: result = a ^ b; break;
    default: return;
  }
  call.WriteInt(target, static_cast<std::int32_t>(result));
}

constexpr Registration kBitApis[] = {
    {Id("BitTest"), BitTest},
    {Id("BitSet"), BitSet},
    {Id("BitLogic"), BitLogic},
};

}  // namespace

void RegisterBitApis(Registry& registry) { registry.AddAll(kBitApis); }

}  // namespace vx::api
