#pragma once
// The General MIDI instrument table as the program lists it: one entry per
// program number, "%3d. NAME", with the drum kit in brackets where the
// program number also selects one.
#include <cstdint>
#include <string>

namespace vx::music {

inline constexpr int kProgramCount = 128;

// The entry of `program` (0-127) in Shift-JIS, without a line end; empty
// for a program outside the table.
std::string InstrumentEntry(int program);

// What MIDIRef mode 0 reports: the one entry followed by "\r\n", or, for a
// program of 128 or more, all 128 entries each followed by "\r\n". Empty
// for a negative program.
std::string InstrumentListing(std::int32_t program);

}  // namespace vx::music
