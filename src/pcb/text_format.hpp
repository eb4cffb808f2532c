#pragma once
// Number formatting for the record text and the plotter files, with the
// results of the C formats they stand for ("%ld", "%.5lf", "%07.4lf"), but
// without the locale and a good deal faster.
#include <cstdint>
#include <string>

namespace vx::pcb {

// "%ld"
void AppendInt(std::string& out, std::int64_t value);
// "%.{decimals}lf"
void AppendFixed(std::string& out, double value, int decimals);
// "%0{width}.{decimals}lf": zeros between the sign and the digits up to
// `width` characters.
void AppendZeroPadded(std::string& out, double value, int width, int decimals);

}  // namespace vx::pcb
