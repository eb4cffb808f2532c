#pragma once
// The sound family's sample banks, for the families that draw them (the 3D
// wave curve). The sound family defines it (audio/transfer.cpp), so that a
// family reads the banks without depending on the sound family.
#include <cstdint>
#include <span>

namespace vx {

struct Runtime;

// The samples of bank 0 to 7, or of the main wave for any negative bank;
// empty for a bank that does not exist.
std::span<const std::int16_t> SampleBank(Runtime& rt, std::int32_t bank);

}  // namespace vx
