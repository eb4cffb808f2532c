#pragma once
// Photoplotter output of the pattern list: one extended Gerber (RS-274X)
// file per layer, and an Excellon drill file with a separate tool list for
// the holes. Output is text with CR LF line ends.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "pcb/pattern.hpp"

namespace vx::pcb {

inline constexpr int APERTURES_MAX = 90;
inline constexpr int TOOLS_MAX = 90;
inline constexpr int FIRST_D_CODE = 10;
inline constexpr double MM_PER_INCH = 25.4;

inline constexpr std::string_view kApertureOverflow =
    "Over capacity of Ap list area (CoreTrick.cpp : 1715)";
inline constexpr std::string_view kToolOverflow =
    "Over capacity of drill list area (CoreTrick.cpp : 1889)";

enum ApertureType : std::int32_t {
  APERTURE_RECTANGLE = 2,
  APERTURE_CIRCLE = 3,
  APERTURE_OBROUND = 4,
  APERTURE_OCTAGON = 5,
};

struct Aperture {
  std::int32_t type = APERTURE_CIRCLE;
  double diameter = 0, size_x = 0, size_y = 0;
  std::string name;  // "D10" ...
};

struct Tool {
  std::int32_t kind = KIND_PLATED_HOLE;
  double diameter = 0;
  std::string name;  // "T01" ...
};

// Units of one output call: 0 inch, anything else millimetre.
struct Units {
  bool millimetre = false;
  double divisor = MM_PER_INCH;
  static Units FromMode(std::int32_t mode) {
    return mode == 0 ? Units{false, MM_PER_INCH} : Units{true, 1.0};
  }
};

// The index range [from, to) limited to the stored records.
struct IndexRange {
  int from = 0, to = 0;
  static IndexRange Clamp(const PcbState& state, std::int64_t from, std::int64_t to);
};

// The aperture list of a layer; `overflows` counts the records that found
// no place (one capacity message each).
struct ApertureList {
  std::vector<Aperture> entries;
  int overflows = 0;
};
// The aperture a record is drawn with: -1 when it has none.
int FindAperture(const ApertureList& list, const Record& record);
ApertureList BuildApertures(const PcbState& state, IndexRange range, int layer);

// The whole Gerber file of the layer's records in the range.
std::string GerberText(const PcbState& state, IndexRange range, int layer,
                       const ApertureList& apertures, Units units);

struct ToolList {
  std::vector<Tool> entries;
  int overflows = 0;
};
ToolList BuildTools(const PcbState& state, IndexRange range);
int FindTool(const ToolList& tools, const Record& record);

std::string ToolListText(const ToolList& tools, Units units);
// `standard_header`: an M48 header with the units and every tool's
// diameter, and coordinates with a decimal point, as Excellon readers
// expect; otherwise the bare form ("%", M72 or M71, integer coordinates in
// thousandths of an inch or micrometres).
std::string DrillText(const PcbState& state, IndexRange range, const ToolList& tools, Units units,
                      bool standard_header);

// x * 1000 / divisor as an integer: truncated, then one further away from
// zero when the dropped part is more than a half.
std::int64_t DrillCoordinate(double millimetres, double divisor);

}  // namespace vx::pcb
