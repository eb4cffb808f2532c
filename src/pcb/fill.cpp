#include "pcb/fill.hpp"

#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>
#include <vector>

#include "pcb/shape.hpp"
#include "pcb/text_format.hpp"

namespace vx::pcb {

void SetFillParams(FillParams& fill, double width, double clearance) {
  if (width > FILL_WIDTH_MIN && width < FILL_WIDTH_MAX) {
    fill.width = width;
    fill.pitch = width + FILL_PITCH_EXTRA;
  }
  if (clearance > CLEARANCE_MIN && clearance < CLEARANCE_MAX) fill.clearance = clearance;
}

namespace {

struct Interval {
  double from, to;
};

// Swaps x and y so that vertical fill is horizontal fill of the mirror.
CopperShape Transposed(const CopperShape& s) {
  CopperShape t = s;
  for (int i = 0; i < s.corners; ++i) std::swap(t.xy[2 * i], t.xy[2 * i + 1]);
  t.min_x = s.min_y;
  t.max_x = s.max_y;
  t.min_y = s.min_x;
  t.max_y = s.max_x;
  return t;
}

struct Obstacle {
  CopperShape shape;
  double grow;
};

struct Area {
  double min_x, max_x, min_y, max_y;
};

bool OutlineArea(const PcbState& state, Area* area) {
  Extent e;
  for (int i = 0; i < state.count; ++i) {
    const Record& r = state.records[i];
    if (!r.present || r.layer != LAYER_DIM) continue;
    e.Add(r.x, r.y);
    if (r.kind == KIND_LINE) e.Add(r.EndX(), r.EndY());
  }
  if (!e.found) return false;
  *area = Area{e.min_x, e.max_x, e.min_y, e.max_y};
  return true;
}

std::string_view NetOf(const Record& r) {
  return r.net.View().empty() ? kNoNet : r.net.View();
}

// Puts the segment list's records at the end of the pattern list.
void AppendSegments(PcbState& state, GenerateResult& result) {
  for (int i = 0; i < state.segment_count; ++i) {
    if (state.count >= PATTERN_RECORDS_MAX) {
      result.pattern_overflow = true;
      return;
    }
    state.records[state.count++] = state.segments[i];
    ++result.made;
  }
}

bool PushSegment(PcbState& state, const Record& r, GenerateResult& result) {
  if (state.segment_count >= SEGMENT_CAPACITY) {
    result.segment_overflow = true;
    return false;
  }
  state.segments[state.segment_count++] = r;
  return true;
}

Record Generated(std::int32_t kind, int layer, double width, std::string_view net,
                 std::uint32_t status) {
  Record r;
  r.present = true;
  r.kind = kind;
  r.layer = layer;
  r.width = width;
  r.net.Assign(net);
  r.status = status;
  return r;
}

}  // namespace

GenerateResult MakeFill(PcbState& state, IndexRange range, int layer, std::string_view net,
                        bool vertical) {
  GenerateResult result;
  if (layer != LAYER_TOP_COPPER && layer != LAYER_BOTTOM_COPPER) {
    result.bad_layer = true;
    return result;
  }
  EnsureAllocated(state);
  state.segment_count = 0;
  const std::string_view fill_net = net.empty() ? kNoNet : KeptName(net);
  const double w = state.fill.width, c = state.fill.clearance;
  const int keepout = layer == LAYER_TOP_COPPER ? LAYER_TOP_KEEPOUT : LAYER_BOTTOM_KEEPOUT;

  Area area;
  if (!OutlineArea(state, &area)) {
    result.no_solution = true;
    return result;
  }
  std::vector<Obstacle> obstacles;
  for (int i = range.from; i < range.to; ++i) {
    const Record& r = state.records[i];
    if (!r.present) continue;
    Record solid = r;
    if (IsHole(r.kind)) solid.kind = KIND_ROUND_PAD;  // no copper inside a drill
    const bool other_copper = r.layer == layer && NetOf(r) != fill_net;
    if (!(IsHole(r.kind) || other_copper || r.layer == keepout)) continue;
    Obstacle o{{}, c + w / 2};
    if (!ShapeOf(solid, o.shape)) continue;
    if (vertical) o.shape = Transposed(o.shape);
    obstacles.push_back(o);
  }
  if (vertical) area = Area{area.min_y, area.max_y, area.min_x, area.max_x};

  const double inset = c + w / 2;
  const double first = area.min_y + inset, last = area.max_y - inset;
  const double x0 = area.min_x + inset, x1 = area.max_x - inset;
  std::vector<Interval> blocked;
  for (double row = first; row <= last + 1e-9 && x0 < x1; row += state.fill.pitch) {
    blocked.clear();
    for (const Obstacle& o : obstacles) {
      if (row < o.shape.min_y - o.grow || row > o.shape.max_y + o.grow) continue;
      Interval iv;
      if (RowSpan(o.shape, o.grow, row, &iv.from, &iv.to)) blocked.push_back(iv);
    }
    std::sort(blocked.begin(), blocked.end(),
              [](const Interval& a, const Interval& b) { return a.from < b.from; });
    double at = x0;
    auto emit = [&](double to) {
      if (to - at < w) return true;
      Record r = Generated(KIND_LINE, layer, w, fill_net, STATUS_FILL);
      r.x = at;
      r.y = row;
      r.dx = to - at;
      if (vertical) {
        std::swap(r.x, r.y);
        std::swap(r.dx, r.dy);
      }
      return PushSegment(state, r, result);
    };
    for (const Interval& iv : blocked) {
      if (iv.to <= at) continue;
      if (iv.from > at && !emit(std::min(iv.from, x1))) break;
      at = std::max(at, iv.to);
      if (at >= x1) break;
    }
    if (result.segment_overflow) break;
    if (at < x1 && !emit(x1)) break;
  }
  if (state.segment_count == 0 && !result.segment_overflow) {
    result.no_solution = true;
    return result;
  }
  AppendSegments(state, result);
  return result;
}

ViaResult PutVia(PcbState& state, double x, double y, double drill, std::string_view net,
                 std::string_view part, std::string& log) {
  ViaResult via;
  EnsureAllocated(state);
  state.segment_count = 0;
  log += "CoreTrickTapVia() \r\n";
  const double pad = drill + 2 * VIA_RING;
  Record pad_record = Generated(KIND_ROUND_PAD, LAYER_TOP_COPPER, pad, "", STATUS_VIA);
  pad_record.x = x;
  pad_record.y = y;
  CopperShape pad_shape;
  ShapeOf(pad_record, pad_shape);

  // Without a net the via joins the copper it lands on.
  via.net = std::string(net.empty() ? std::string_view() : KeptName(net));
  for (int i = 0; i < state.count && via.net.empty(); ++i) {
    const Record& r = state.records[i];
    CopperShape s;
    if (!r.present || (r.layer != LAYER_TOP_COPPER && r.layer != LAYER_BOTTOM_COPPER) ||
        !ShapeOf(r, s))
      continue;
    CopperShape centre = pad_shape;
    centre.radius = 0;
    if (ShapeGap(centre, s).distance <= 0) via.net = std::string(NetOf(r));
  }
  if (via.net.empty()) via.net = std::string(kNoNet);

  double gap = std::numeric_limits<double>::infinity();
  int nearest = -1;
  for (int i = 0; i < state.count; ++i) {
    const Record& r = state.records[i];
    const bool copper = r.layer == LAYER_TOP_COPPER || r.layer == LAYER_BOTTOM_COPPER;
    if (!r.present || !(IsHole(r.kind) || (copper && NetOf(r) != via.net))) continue;
    Record solid = r;
    if (IsHole(r.kind)) solid.kind = KIND_ROUND_PAD;
    CopperShape s;
    if (!ShapeOf(solid, s)) continue;
    const double d = ShapeGap(pad_shape, s).distance;
    if (d < gap) {
      gap = d;
      nearest = i;
    }
  }
  if (nearest >= 0) {
    log += "gap=";
    AppendFixed(log, gap, 6);
    log += " \r\n";
  }
  if (nearest >= 0 && gap < state.fill.clearance) {
    log += "<via tap gap error> (";
    log += NetOf(state.records[nearest]);
    log += ", ";
    AppendInt(log, nearest);
    log += ") \r\n";
    via.refused = true;
    return via;
  }

  Record hole = Generated(KIND_PLATED_HOLE, LAYER_HOLES, drill, via.net, STATUS_VIA);
  hole.x = x;
  hole.y = y;
  hole.part.Assign(part);
  pad_record.net.Assign(via.net);
  pad_record.part.Assign(part);
  Record bottom = pad_record;
  bottom.layer = LAYER_BOTTOM_COPPER;
  if (PushSegment(state, pad_record, via.generated) && PushSegment(state, bottom, via.generated) &&
      PushSegment(state, hole, via.generated))
    AppendSegments(state, via.generated);
  return via;
}

}  // namespace vx::pcb
