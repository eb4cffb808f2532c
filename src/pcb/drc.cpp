#include "pcb/drc.hpp"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numeric>
#include <unordered_map>

#include "pcb/fill.hpp"
#include "pcb/text_format.hpp"

namespace vx::pcb {
namespace {

constexpr double kOctagonCircumradius = 1.08239 / 2;  // per flat-to-flat width

void AddCorner(CopperShape& s, double x, double y) {
  s.xy[2 * s.corners] = x;
  s.xy[2 * s.corners + 1] = y;
  ++s.corners;
}

void ComputeBounds(CopperShape& s) {
  s.min_x = s.max_x = s.xy[0];
  s.min_y = s.max_y = s.xy[1];
  for (int i = 1; i < s.corners; ++i) {
    s.min_x = std::min(s.min_x, s.xy[2 * i]);
    s.max_x = std::max(s.max_x, s.xy[2 * i]);
    s.min_y = std::min(s.min_y, s.xy[2 * i + 1]);
    s.max_y = std::max(s.max_y, s.xy[2 * i + 1]);
  }
  s.min_x -= s.radius;
  s.max_x += s.radius;
  s.min_y -= s.radius;
  s.max_y += s.radius;
}

struct Near {
  double distance;
  double ax, ay, bx, by;  // nearest points
};

Near PointToSegment(double px, double py, double ax, double ay, double bx, double by) {
  const double vx = bx - ax, vy = by - ay;
  const double len2 = vx * vx + vy * vy;
  double t = 0.0;
  if (len2 > 0.0) t = std::clamp(((px - ax) * vx + (py - ay) * vy) / len2, 0.0, 1.0);
  const double qx = ax + t * vx, qy = ay + t * vy;
  return {std::hypot(px - qx, py - qy), px, py, qx, qy};
}

bool SegmentsCross(double ax, double ay, double bx, double by, double cx, double cy, double dx,
                   double dy) {
  auto orient = [](double px, double py, double qx, double qy, double rx, double ry) {
    const double v = (qx - px) * (ry - py) - (qy - py) * (rx - px);
    return (v > 0) - (v < 0);
  };
  const int o1 = orient(ax, ay, bx, by, cx, cy), o2 = orient(ax, ay, bx, by, dx, dy);
  const int o3 = orient(cx, cy, dx, dy, ax, ay), o4 = orient(cx, cy, dx, dy, bx, by);
  return o1 * o2 < 0 && o3 * o4 < 0;
}

// Whether the point lies inside the convex polygon (3 or more corners).
bool Inside(const CopperShape& s, double x, double y) {
  if (s.corners < 3) return false;
  int sign = 0;
  for (int i = 0; i < s.corners; ++i) {
    const int j = (i + 1) % s.corners;
    const double cross = (s.xy[2 * j] - s.xy[2 * i]) * (y - s.xy[2 * i + 1]) -
                         (s.xy[2 * j + 1] - s.xy[2 * i + 1]) * (x - s.xy[2 * i]);
    const int c = (cross > 0) - (cross < 0);
    if (c == 0) continue;
    if (sign == 0) sign = c;
    if (c != sign) return false;
  }
  return true;
}

// Nearest points between the corners of one shape and the edges of the other.
void Closest(const CopperShape& a, const CopperShape& b, bool swapped, Near& best) {
  const int edges = b.corners == 1 ? 1 : (b.corners == 2 ? 1 : b.corners);
  for (int i = 0; i < a.corners; ++i) {
    for (int e = 0; e < edges; ++e) {
      const int j = b.corners == 1 ? 0 : (e + 1) % b.corners;
      const Near n = PointToSegment(a.xy[2 * i], a.xy[2 * i + 1], b.xy[2 * e], b.xy[2 * e + 1],
                                    b.xy[2 * j], b.xy[2 * j + 1]);
      if (n.distance < best.distance)
        best = swapped ? Near{n.distance, n.bx, n.by, n.ax, n.ay} : n;
    }
  }
}

}  // namespace

bool ShapeOf(const Record& r, CopperShape& s) {
  s = CopperShape{};
  switch (r.kind) {
    case KIND_LINE:
      AddCorner(s, r.x, r.y);
      AddCorner(s, r.EndX(), r.EndY());
      s.radius = std::fabs(r.width) / 2;
      break;
    case KIND_ROUND_PAD:
      AddCorner(s, r.x, r.y);
      s.radius = std::fabs(r.width) / 2;
      break;
    case KIND_RECT_PAD: {
      const double hx = std::fabs(r.dx) / 2, hy = std::fabs(r.dy) / 2;
      AddCorner(s, r.x - hx, r.y - hy);
      AddCorner(s, r.x + hx, r.y - hy);
      AddCorner(s, r.x + hx, r.y + hy);
      AddCorner(s, r.x - hx, r.y + hy);
      break;
    }
    case KIND_OBLONG_PAD: {
      const double sx = std::fabs(r.dx), sy = std::fabs(r.dy);
      const double run = std::fabs(sx - sy) / 2;
      if (sx >= sy) {
        AddCorner(s, r.x - run, r.y);
        AddCorner(s, r.x + run, r.y);
      } else {
        AddCorner(s, r.x, r.y - run);
        AddCorner(s, r.x, r.y + run);
      }
      s.radius = std::min(sx, sy) / 2;
      break;
    }
    case KIND_OCTAGON_PAD: {
      const double radius = std::fabs(r.width) * kOctagonCircumradius;
      for (int k = 0; k < 8; ++k) {
        const double angle = (22.5 + 45.0 * k) * M_PI / 180.0;
        AddCorner(s, r.x + radius * std::cos(angle), r.y + radius * std::sin(angle));
      }
      break;
    }
    default: return false;
  }
  ComputeBounds(s);
  return std::isfinite(s.min_x) && std::isfinite(s.max_x) && std::isfinite(s.min_y) &&
         std::isfinite(s.max_y);
}

double ShapeDistance(const CopperShape& a, const CopperShape& b, double* at_x, double* at_y) {
  Near best{std::numeric_limits<double>::infinity(), 0, 0, 0, 0};
  Closest(a, b, false, best);
  Closest(b, a, true, best);
  bool overlap = false;
  // Crossing edges or a corner inside the other polygon: the cores overlap.
  for (int i = 0; i < a.corners && !overlap; ++i) {
    if (Inside(b, a.xy[2 * i], a.xy[2 * i + 1])) overlap = true;
    const int i2 = (i + 1) % a.corners;
    for (int j = 0; j < b.corners && !overlap; ++j) {
      const int j2 = (j + 1) % b.corners;
      overlap = SegmentsCross(a.xy[2 * i], a.xy[2 * i + 1], a.xy[2 * i2], a.xy[2 * i2 + 1],
                              b.xy[2 * j], b.xy[2 * j + 1], b.xy[2 * j2], b.xy[2 * j2 + 1]);
    }
  }
  for (int j = 0; j < b.corners && !overlap; ++j)
    if (Inside(a, b.xy[2 * j], b.xy[2 * j + 1])) overlap = true;
  if (at_x) *at_x = (best.ax + best.bx) / 2;
  if (at_y) *at_y = (best.ay + best.by) / 2;
  if (overlap) return 0.0;
  return std::max(0.0, best.distance - a.radius - b.radius);
}

namespace {

struct Item {
  int index;
  CopperShape shape;
};

std::vector<Item> LayerItems(const PcbState& state, int layer) {
  std::vector<Item> items;
  for (int i = 0; i < state.count; ++i) {
    const Record& r = state.records[i];
    if (!r.present || r.layer != layer) continue;
    Item item{i, {}};
    if (ShapeOf(r, item.shape)) items.push_back(item);
  }
  std::sort(items.begin(), items.end(),
            [](const Item& a, const Item& b) { return a.shape.min_x < b.shape.min_x; });
  return items;
}

// Calls visit(i, j) for item pairs whose boxes come within `reach` of each
// other; visit may shrink `reach` as it goes.
template <class Visit>
void SweepPairs(const std::vector<Item>& items, double& reach, Visit visit) {
  for (std::size_t i = 0; i < items.size(); ++i) {
    const CopperShape& a = items[i].shape;
    for (std::size_t j = i + 1; j < items.size(); ++j) {
      const CopperShape& b = items[j].shape;
      if (b.min_x > a.max_x + reach) break;
      if (b.min_y > a.max_y + reach || a.min_y > b.max_y + reach) continue;
      visit(i, j);
    }
  }
}

class Conductors {
 public:
  explicit Conductors(std::size_t n) : parent_(n) { std::iota(parent_.begin(), parent_.end(), 0); }
  std::size_t Find(std::size_t i) {
    while (parent_[i] != i) i = parent_[i] = parent_[parent_[i]];
    return i;
  }
  void Join(std::size_t a, std::size_t b) { parent_[Find(a)] = Find(b); }

 private:
  std::vector<std::size_t> parent_;
};

bool Short(const PcbState& state, const Item& a, const Item& b) {
  const std::string_view na = state.records[a.index].net.View();
  const std::string_view nb = state.records[b.index].net.View();
  return !na.empty() && !nb.empty() && na != nb;
}

Violation MakeViolation(const Item& a, const Item& b, double distance, double x, double y) {
  Violation v;
  v.a = std::min(a.index, b.index);
  v.b = std::max(a.index, b.index);
  v.distance = distance;
  v.at_x = x;
  v.at_y = y;
  return v;
}

// Records that touch, or that carry the same net name, are one conductor:
// clearance rules hold between different nets, never within one.
Conductors JoinConductors(const PcbState& state, const std::vector<Item>& items) {
  Conductors conductors(items.size());
  std::unordered_map<std::string_view, std::size_t> first_of_net;
  for (std::size_t i = 0; i < items.size(); ++i) {
    const std::string_view net = state.records[items[i].index].net.View();
    if (net.empty()) continue;
    const auto [it, fresh] = first_of_net.emplace(net, i);
    if (!fresh) conductors.Join(i, it->second);
  }
  double touch = 0.0;
  SweepPairs(items, touch, [&](std::size_t i, std::size_t j) {
    if (ShapeDistance(items[i].shape, items[j].shape, nullptr, nullptr) <= 0.0)
      conductors.Join(i, j);
  });
  return conductors;
}

}  // namespace

std::vector<Violation> CheckClearance(const PcbState& state, int layer, double clearance,
                                      std::size_t limit, std::size_t* total) {
  std::vector<Violation> found;
  *total = 0;
  if (!(clearance >= 0) || !std::isfinite(clearance)) clearance = 0;
  const std::vector<Item> items = LayerItems(state, layer);
  Conductors conductors = JoinConductors(state, items);
  double reach = clearance;
  SweepPairs(items, reach, [&](std::size_t i, std::size_t j) {
    double x = 0, y = 0;
    const double d = ShapeDistance(items[i].shape, items[j].shape, &x, &y);
    const bool apart = conductors.Find(i) != conductors.Find(j);
    const bool violation = (apart && d < clearance) || (d <= 0.0 && Short(state, items[i], items[j]));
    if (!violation) return;
    ++*total;
    found.push_back(MakeViolation(items[i], items[j], d, x, y));
  });
  std::sort(found.begin(), found.end(), [](const Violation& a, const Violation& b) {
    return a.a != b.a ? a.a < b.a : a.b < b.b;
  });
  if (found.size() > limit) found.resize(limit);
  return found;
}

std::optional<Violation> MinimumClearance(const PcbState& state, int layer) {
  const std::vector<Item> items = LayerItems(state, layer);
  Conductors conductors = JoinConductors(state, items);
  std::optional<Violation> best;
  double reach = std::numeric_limits<double>::infinity();
  SweepPairs(items, reach, [&](std::size_t i, std::size_t j) {
    const bool apart = conductors.Find(i) != conductors.Find(j);
    if (!apart && !Short(state, items[i], items[j])) return;
    double x = 0, y = 0;
    const double d = ShapeDistance(items[i].shape, items[j].shape, &x, &y);
    if (!apart && d > 0.0) return;
    const Violation v = MakeViolation(items[i], items[j], d, x, y);
    if (!best || d < best->distance ||
        (d == best->distance && std::make_pair(v.a, v.b) < std::make_pair(best->a, best->b))) {
      best = v;
      reach = d;
    }
  });
  return best;
}

void AppendViolation(const PcbState& state, const Violation& v, std::string& out) {
  auto net = [&](int index) {
    const std::string_view n = state.records[index].net.View();
    return n.empty() ? kNoNet : n;
  };
  out += "A:";
  AppendInt(out, v.a);
  out += ',';
  out += net(v.a);
  out += ",B:";
  AppendInt(out, v.b);
  out += ',';
  out += net(v.b);
  out += ", dist=";
  AppendFixed(out, v.distance, 6);
  out += " \r\n at (";
  AppendFixed(out, v.at_x, 3);
  out += ", ";
  AppendFixed(out, v.at_y, 3);
  out += ")\r\n";
}

std::string NearListing(const PcbState& state, double px, double py, double radius) {
  const View& v = state.view;
  std::string out = "List up near Line segment. \r\n";
  if (!(v.scale >= 0.001)) return out;
  const double bx = v.BoardX(px), by = v.BoardY(py);
  const double reach = std::max(radius, 0.0) / v.scale;
  out += "[mouse pos] (";
  AppendFixed(out, bx, 2);
  out += ", ";
  AppendFixed(out, by, 2);
  out += ") \r\n";
  auto list = [&](const std::vector<Record>& records, int count) {
    for (int i = 0; i < count; ++i) {
      const Record& r = records[i];
      if (!r.present) continue;
      const double ex = r.kind == KIND_LINE ? r.EndX() : r.x;
      const double ey = r.kind == KIND_LINE ? r.EndY() : r.y;
      if (PointSegmentDistance(bx, by, r.x, r.y, ex, ey) > reach) continue;
      out += '[';
      AppendInt(out, i);
      out += "] (";
      AppendFixed(out, r.x, 2);
      out += ", ";
      AppendFixed(out, r.y, 2);
      out += ") (";
      AppendFixed(out, ex, 2);
      out += ", ";
      AppendFixed(out, ey, 2);
      out += ") [";
      AppendInt(out, r.kind);
      out += "]\r\n";
    }
  };
  list(state.records, std::min<int>(state.count, static_cast<int>(state.records.size())));
  out += "\r\n\r\nbeta block\r\n";
  list(state.segments, std::min<int>(state.segment_count, static_cast<int>(state.segments.size())));
  return out;
}

}  // namespace vx::pcb
