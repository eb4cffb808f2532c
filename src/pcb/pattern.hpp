#pragma once
// The PCB pattern model: a flat list of records (lines, pads, holes) on
// named layers, the layer table, the view that maps board millimetres to
// drawing-surface pixels, and the record text ("GB text") that loads and
// saves the list. All lengths are millimetres; the board's y axis points up.
#include <array>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "graphics/color.hpp"

namespace vx::pcb {

inline constexpr int PATTERN_CAPACITY = 50'000;     // records allocated
inline constexpr int PATTERN_RECORDS_MAX = 49'999;  // records a load may hold
inline constexpr int SEGMENT_CAPACITY = 50'000;     // generated (fill and via) records
inline constexpr int LAYER_COUNT = 12;
inline constexpr std::size_t NAME_FIELD_BYTES = 16;  // part, signal, net
inline constexpr std::size_t NAME_KEPT_BYTES = NAME_FIELD_BYTES - 1;
inline constexpr std::size_t GB_VALUE_MAX = 32;      // characters of one value
inline constexpr std::size_t GB_LINE_MAX = 16'000;   // characters of one record line
inline constexpr int LAYER_UNKNOWN = -1;             // a layer name not in the table

enum RecordKind : std::int32_t {
  KIND_NONE = 0,
  KIND_LINE = 1,
  KIND_RECT_PAD = 2,
  KIND_ROUND_PAD = 3,
  KIND_OBLONG_PAD = 4,
  KIND_OCTAGON_PAD = 5,
  KIND_PLATED_HOLE = 11,
  KIND_HOLE = 12,
};

inline bool IsPad(std::int32_t kind) { return kind >= KIND_RECT_PAD && kind <= KIND_OCTAGON_PAD; }
inline bool IsHole(std::int32_t kind) { return kind == KIND_PLATED_HOLE || kind == KIND_HOLE; }
// Kinds that put copper or ink down with a photoplotter aperture.
inline bool IsPlotted(std::int32_t kind) { return kind >= KIND_LINE && kind <= KIND_OCTAGON_PAD; }

enum LayerId : int {
  LAYER_DIM = 0,
  LAYER_TOP_NAME = 1,
  LAYER_TOP_COPPER = 2,
  LAYER_TOP_STOP = 3,
  LAYER_TOP_KEEPOUT = 4,
  LAYER_TOP_DOC = 5,
  LAYER_BOTTOM_NAME = 6,
  LAYER_BOTTOM_COPPER = 7,
  LAYER_BOTTOM_STOP = 8,
  LAYER_BOTTOM_KEEPOUT = 9,
  LAYER_BOTTOM_DOC = 10,
  LAYER_HOLES = 11,
};

// A name field of 16 bytes: at most 15 bytes of text, NUL-terminated.
class Name {
 public:
  std::string_view View() const { return std::string_view(bytes_.data()); }
  // Keeps the first 15 bytes; a Shift-JIS lead byte whose trail byte would
  // be cut goes too, so no half character is stored.
  void Assign(std::string_view text);
  bool operator==(std::string_view text) const { return View() == text; }

 private:
  std::array<char, NAME_FIELD_BYTES> bytes_{};
};

// The first 15 bytes of a name as Name::Assign keeps them.
std::string_view KeptName(std::string_view text);

struct Record {
  std::uint32_t flags = 0;  // bit 0: set by CtPinToNet
  std::int32_t kind = KIND_NONE;
  double x = 0, y = 0;      // line start, pad or hole centre
  double width = 0;         // line width, round or octagonal pad diameter, hole diameter
  double dx = 0, dy = 0;    // line: vector to the end; rectangular or oblong pad: size
  std::int32_t pin = 0;
  std::int32_t layer = LAYER_DIM;
  Name part, signal, net;
  std::int32_t extra = 0;
  std::uint32_t status = 0;  // working word of the fill and via generators
  bool present = false;      // false: a gap left by a load that started past the end

  double EndX() const { return x + dx; }
  double EndY() const { return y + dy; }
};

struct Layer {
  bool active = true;
  std::int32_t id = 0;
  const char* name = "";
  graphics::Color colour;
};

struct View {
  double scale = 7.0;  // pixels per millimetre
  double offset_x = 0.0, offset_y = 0.0;
  double origin_x = 310.0, origin_y = 680.0;
  std::int32_t mode = 0;  // CtDrawPtn: 0 filled, 1 outlines

  double PixelX(double x) const { return (x - offset_x) * scale + origin_x; }
  double PixelY(double y) const { return origin_y - (y - offset_y) * scale; }
  double BoardX(double px) const { return (px - origin_x) / scale + offset_x; }
  double BoardY(double py) const { return (origin_y - py) / scale + offset_y; }
};

// Line width and pitch of generated fill, and its clearance to other copper.
struct FillParams {
  double width = 0.3;
  double pitch = 0.302;
  double clearance = 0.3;
};

std::array<Layer, LAYER_COUNT> InitialLayers();

struct PcbState {
  std::vector<Record> records;  // PATTERN_CAPACITY once the first load ran
  int count = 0;
  std::vector<Record> segments;  // fill lines and vias of the generators
  int segment_count = 0;
  std::array<Layer, LAYER_COUNT> layers = InitialLayers();
  double board_x = 0.0, board_y = 0.0;  // largest x and y on the dim layer
  View view;
  FillParams fill;
  int last_hit = -1;  // CtClckPtn's last hit; -1: the last record

  // The layer's index, LAYER_UNKNOWN for a name not in the table.
  int LayerIndex(std::string_view name) const;
  // The layer's name; empty for an index outside the table.
  std::string_view LayerName(int index) const;
  bool LayerActive(int index) const {
    return index >= 0 && index < LAYER_COUNT && layers[index].active;
  }
  // A stored record (present, below the count).
  bool Holds(int index) const {
    return index >= 0 && index < count && records[index].present;
  }
};

// --- GB text

// Appends the record's line: "GB_P:%ld, GB_PIN:%ld, GB_W:%.5lf, ..., GB_EX:%ld, "
// (no line end).
void AppendGbText(const PcbState& state, const Record& record, std::string& out);
std::string GbText(const PcbState& state, const Record& record);

// Fills `record` from a line that holds "GB_P:"; false for any other line.
bool ParseGbLine(const PcbState& state, std::string_view line, Record& record);

// The leading decimal number of a value (0 when there is none; never
// infinite or NaN) and the integer form (saturated to 32 bits).
double LeadingDouble(std::string_view text);
std::int32_t LeadingInt(std::string_view text);

struct LoadResult {
  int read = 0;            // records stored
  bool opened = false;
  bool over_capacity = false;
};
// Reads GB text into the list from index `start` (0 to 49,999); the count
// becomes start + records read. Gaps between the old count and `start`
// become empty records that nothing writes, measures or hits.
LoadResult LoadPatterns(PcbState& state, int start, std::FILE* file);
LoadResult LoadPatternText(PcbState& state, int start, std::string_view text);

// Allocates the lists on first use.
void EnsureAllocated(PcbState& state);

// --- queries

struct Extent {
  double min_x = 0, max_x = 0, min_y = 0, max_y = 0;
  bool found = false;
  void Add(double x, double y);
};

// Largest x and y over the dim layer: both ends of lines, centres of other
// records; 0 when there are none (so CtGetDimSz and the board size agree).
void DimSize(const PcbState& state, double* x, double* y);
// Bounding box of the layer's lines (both ends) and rectangular and oblong
// pads (centre +- half size).
Extent LayerExtent(const PcbState& state, int layer);

// Records with this part and pin get the net (when non-empty and at most 15
// bytes) and flag bit 0 ORed in. Returns the number of records matched.
int PinToNet(PcbState& state, std::string_view part, std::int32_t pin, std::string_view net,
             std::int32_t flag);
int FindPin(const PcbState& state, std::string_view part, std::int32_t pin);
int FindSignal(const PcbState& state, std::string_view part, std::string_view signal);

// The record nearest to a pixel among the active layers, visited cyclically
// after the last hit (the last hit itself last, so equal distances take
// turns); -1 when there is none. The winner becomes the last hit.
int ClickPattern(PcbState& state, double px, double py);

// Distance between a point and the segment a-b.
double PointSegmentDistance(double px, double py, double ax, double ay, double bx, double by);

}  // namespace vx::pcb
