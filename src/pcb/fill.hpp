#pragma once
// Generated copper: fill ("beta") lines that flood a copper layer inside the
// board outline while keeping the clearance to other copper, and vias that
// join the two copper layers. Both go to the segment list first and are then
// appended to the pattern list, so that drawing and plotting see them.
#include <string>
#include <string_view>

#include "pcb/gerber.hpp"
#include "pcb/pattern.hpp"

namespace vx::pcb {

inline constexpr std::string_view kSegmentOverflow =
    "Over capacity of segment area (CoreTrick.cpp : 535)";
inline constexpr std::string_view kPatternOverflow =
    "Over capacity of segment area (CoreTrick.cpp : 625)";
inline constexpr std::string_view kNoSolution = "Impossible (CoreTrick.cpp : 694)";
inline constexpr std::string_view kNoNet = "$nonet$";

inline constexpr double FILL_WIDTH_MIN = 0.128;  // exclusive bounds of CtSetBetaPrm
inline constexpr double FILL_WIDTH_MAX = 100.0;
inline constexpr double FILL_PITCH_EXTRA = 0.002;
inline constexpr double CLEARANCE_MIN = 0.001;
inline constexpr double CLEARANCE_MAX = 100.0;
inline constexpr double VIA_DRILL_DEFAULT = 0.3;  // millimetres
inline constexpr double VIA_RING = 0.15;          // copper around the drill, each side

// Status bits of generated records.
inline constexpr std::uint32_t STATUS_FILL = 1;
inline constexpr std::uint32_t STATUS_VIA = 2;

// CtSetBetaPrm: each value is taken only inside its bounds.
void SetFillParams(FillParams& fill, double width, double clearance);

struct GenerateResult {
  int made = 0;                    // records added to the pattern list
  bool segment_overflow = false;   // the segment list was full
  bool pattern_overflow = false;   // the pattern list was full
  bool no_solution = false;        // nothing could be placed
  bool bad_layer = false;          // not a copper layer
};

// Fills the copper layer inside the outline (the dim layer's extent) with
// lines of the fill width at the fill pitch, parallel to x (to y when
// `vertical`), that keep the
// clearance from every record of the range on that layer whose net differs
// from `net`, from every hole and from the layer's keep-out layer. The
// lines carry `net` ("$nonet$" when empty).
GenerateResult MakeFill(PcbState& state, IndexRange obstacles, int layer, std::string_view net,
                        bool vertical);

// A via at (x, y): a plated hole of `drill` and round pads of drill + 2 x
// VIA_RING on both copper layers. Without a net it takes the net of the
// copper it lands on ("$nonet$" on none). It is refused when its pads come
// closer than the clearance to copper of another net; `log` receives the
// diagnostic lines.
struct ViaResult {
  GenerateResult generated;
  bool refused = false;
  std::string net;
};
ViaResult PutVia(PcbState& state, double x, double y, double drill, std::string_view net,
                 std::string_view part, std::string& log);

}  // namespace vx::pcb
