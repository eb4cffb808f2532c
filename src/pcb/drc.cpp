#include "pcb/drc.hpp"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numeric>
#include <tuple>
#include <unordered_map>
#include <utility>

#include "pcb/fill.hpp"
#include "pcb/text_format.hpp"

namespace vx::pcb {

double DrcRules::Clearance(Rule rule) const {
  switch (rule) {
    case Rule::copper: return copper;
    case Rule::hole: return hole;
    case Rule::edge: return edge;
    case Rule::keepout: return keepout;
  }
  return RULE_OFF;
}

namespace {

constexpr double kInfinity = std::numeric_limits<double>::infinity();

struct Item {
  int index;
  CopperShape shape;
};

void SortByLeft(std::vector<Item>& items) {
  std::sort(items.begin(), items.end(),
            [](const Item& a, const Item& b) { return a.shape.min_x < b.shape.min_x; });
}

// The records of a layer that cover an area, sorted by their left edge.
std::vector<Item> LayerItems(const PcbState& state, int layer) {
  std::vector<Item> items;
  for (int i = 0; i < state.count; ++i) {
    const Record& r = state.records[i];
    if (!r.present || r.layer != layer) continue;
    Item item{i, {}};
    if (ShapeOf(r, item.shape)) items.push_back(item);
  }
  SortByLeft(items);
  return items;
}

// The drills of every layer's holes.
std::vector<Item> HoleItems(const PcbState& state) {
  std::vector<Item> items;
  for (int i = 0; i < state.count; ++i) {
    const Record& r = state.records[i];
    if (!r.present || !IsHole(r.kind)) continue;
    Item item{i, DiscShape(r.x, r.y, r.width / 2)};
    if (item.shape.ComputeBounds()) items.push_back(item);
  }
  SortByLeft(items);
  return items;
}

// The board edge: the centre lines of the outline's lines, where the board
// is cut.
std::vector<Item> OutlineItems(const PcbState& state) {
  std::vector<Item> items;
  for (int i = 0; i < state.count; ++i) {
    const Record& r = state.records[i];
    if (!r.present || r.layer != LAYER_DIM || r.kind != KIND_LINE) continue;
    Item item{i, SegmentShape(r.x, r.y, r.EndX(), r.EndY(), 0)};
    if (item.shape.ComputeBounds()) items.push_back(item);
  }
  return items;
}

bool BoxesWithin(const CopperShape& a, const CopperShape& b, double reach) {
  return !(b.min_x > a.max_x + reach || a.min_x > b.max_x + reach ||
           b.min_y > a.max_y + reach || a.min_y > b.max_y + reach);
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

// The same between two lists (both sorted by their left edge): visit(i, j)
// with i in `a` and j in `b`.
template <class Visit>
void SweepBetween(const std::vector<Item>& a, const std::vector<Item>& b, double& reach,
                  Visit visit) {
  struct Entry {
    const Item* item;
    std::size_t index;
    bool first;
  };
  std::vector<Entry> merged;
  merged.reserve(a.size() + b.size());
  std::size_t i = 0, j = 0;
  while (i < a.size() || j < b.size()) {
    if (j == b.size() || (i < a.size() && a[i].shape.min_x <= b[j].shape.min_x))
      merged.push_back({&a[i], i, true}), ++i;
    else
      merged.push_back({&b[j], j, false}), ++j;
  }
  for (std::size_t k = 0; k < merged.size(); ++k) {
    const CopperShape& s = merged[k].item->shape;
    for (std::size_t m = k + 1; m < merged.size(); ++m) {
      const CopperShape& t = merged[m].item->shape;
      if (t.min_x > s.max_x + reach) break;
      if (merged[m].first == merged[k].first) continue;
      if (t.min_y > s.max_y + reach || s.min_y > t.max_y + reach) continue;
      if (merged[k].first)
        visit(merged[k].index, merged[m].index);
      else
        visit(merged[m].index, merged[k].index);
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

std::string_view NetName(const PcbState& state, int index) { return state.records[index].net.View(); }

// The net a record belongs to for shorts: none for an empty name and for
// "$nonet$", the name of copper that the generators made without a net.
std::string_view OwnNet(const PcbState& state, int index) {
  const std::string_view net = NetName(state, index);
  return net == kNoNet ? std::string_view() : net;
}

// Both records belong to nets, and to different ones.
bool Contrary(const PcbState& state, int a, int b) {
  const std::string_view na = OwnNet(state, a), nb = OwnNet(state, b);
  return !na.empty() && !nb.empty() && na != nb;
}

bool Touching(double gap) { return gap <= TOUCH_GAP; }

// A gap the rule's clearance forbids: touching, or short of the clearance
// by more than the tolerance.
bool TooClose(double gap, double clearance) {
  return Touching(gap) || gap < clearance - DRC_TOLERANCE;
}

Violation MakeViolation(int a, int b, const Gap& gap, Rule rule) {
  Violation v;
  v.a = a;
  v.b = b;
  v.distance = gap.distance;
  v.at_x = gap.at_x;
  v.at_y = gap.at_y;
  v.rule = rule;
  return v;
}

// Keeps the smallest gap; ties go to the lower record pair.
void KeepSmallest(std::optional<Violation>& best, const Violation& v) {
  if (!best || v.distance < best->distance ||
      (v.distance == best->distance && std::make_pair(v.a, v.b) < std::make_pair(best->a, best->b)))
    best = v;
}

// Whether the point lies inside the closed outline (even-odd: a cut-out
// inside the board is outside).
bool InsideOutline(const std::vector<Item>& outline, double x, double y) {
  bool inside = false;
  for (const Item& edge : outline) {
    const CopperShape& s = edge.shape;
    const double ax = s.X(0), ay = s.Y(0), bx = s.X(1), by = s.Y(1);
    if ((ay > y) == (by > y)) continue;
    if (ax + (y - ay) * (bx - ax) / (by - ay) > x) inside = !inside;
  }
  return inside;
}

// One layer's check: its copper, how it joins into conductors, and the
// pairs each rule measures.
class LayerCheck {
 public:
  LayerCheck(const PcbState& state, int layer)
      : state_(state), layer_(layer), items_(LayerItems(state, layer)), conductors_(items_.size()) {
    JoinConductors();
  }

  // Calls report(violation) for every pair the rule measures whose gap
  // `close(gap)` accepts; `reach` bounds the gaps worth measuring and may
  // shrink as report goes (a search for the smallest).
  template <class Close, class Report>
  void Pairs(Rule rule, double& reach, Close close, Report report) {
    switch (rule) {
      case Rule::copper: CopperPairs(reach, close, report); break;
      case Rule::hole: HolePairs(reach, close, report); break;
      case Rule::edge: EdgePairs(reach, close, report); break;
      case Rule::keepout: KeepoutPairs(reach, close, report); break;
    }
  }

 private:
  // Records that touch, or that carry the same net name, are one conductor:
  // clearance rules hold between different nets, never within one.
  void JoinConductors() {
    std::unordered_map<std::string_view, std::size_t> first_of_net;
    for (std::size_t i = 0; i < items_.size(); ++i) {
      const std::string_view net = NetName(state_, items_[i].index);
      if (net.empty()) continue;
      const auto [it, fresh] = first_of_net.emplace(net, i);
      if (!fresh) conductors_.Join(i, it->second);
    }
    std::vector<std::pair<std::size_t, std::size_t>> touching;
    double touch = TOUCH_GAP;
    SweepPairs(items_, touch, [&](std::size_t i, std::size_t j) {
      if (!Touching(ShapeGap(items_[i].shape, items_[j].shape).distance)) return;
      conductors_.Join(i, j);
      touching.emplace_back(i, j);
    });
    SpreadNets(touching);
  }

  // Copper without a net carries the net of the copper it is joined to by
  // touching, so that a pad of one net and a pad of another shorted through
  // an unnamed track show as a short at the track. A fill made without a net
  // takes the net of the copper it swallows.
  void SpreadNets(const std::vector<std::pair<std::size_t, std::size_t>>& touching) {
    nets_.resize(items_.size());
    std::vector<std::vector<std::size_t>> next(items_.size());
    for (const auto& [i, j] : touching) {
      next[i].push_back(j);
      next[j].push_back(i);
    }
    std::vector<std::size_t> queue;
    for (std::size_t i = 0; i < items_.size(); ++i) {
      nets_[i] = OwnNet(state_, items_[i].index);
      if (!nets_[i].empty()) queue.push_back(i);
    }
    for (std::size_t k = 0; k < queue.size(); ++k)
      for (const std::size_t j : next[queue[k]])
        if (nets_[j].empty()) {
          nets_[j] = nets_[queue[k]];
          queue.push_back(j);
        }
  }

  // Touching copper whose nets (named, or spread to it) differ.
  bool Shorted(std::size_t i, std::size_t j) const {
    return !nets_[i].empty() && !nets_[j].empty() && nets_[i] != nets_[j];
  }

  template <class Close, class Report>
  void CopperPairs(double& reach, Close close, Report report) {
    SweepPairs(items_, reach, [&](std::size_t i, std::size_t j) {
      const int a = items_[i].index, b = items_[j].index;
      const bool apart = conductors_.Find(i) != conductors_.Find(j);
      if (!apart && !Shorted(i, j)) return;
      const Gap gap = ShapeGap(items_[i].shape, items_[j].shape);
      // Within one conductor only a short counts.
      if (apart ? !close(gap.distance) : !Touching(gap.distance)) return;
      report(MakeViolation(std::min(a, b), std::max(a, b), gap, Rule::copper));
    });
  }

  // A plated hole joins the copper it touches (its pad, the tracks on the
  // pad) unless that copper names another net than the hole, and the copper
  // of its own net. A non-plated hole belongs to nothing.
  template <class Close, class Report>
  void HolePairs(double& reach, Close close, Report report) {
    const std::vector<Item> holes = HoleItems(state_);
    std::vector<std::vector<std::size_t>> own(holes.size());
    double touch = TOUCH_GAP;
    SweepBetween(holes, items_, touch, [&](std::size_t h, std::size_t i) {
      if (state_.records[holes[h].index].kind != KIND_PLATED_HOLE ||
          Contrary(state_, holes[h].index, items_[i].index))
        return;
      if (Touching(ShapeGap(holes[h].shape, items_[i].shape).distance))
        own[h].push_back(conductors_.Find(i));
    });
    auto belongs = [&](std::size_t h, std::size_t i) {
      const int hole = holes[h].index, copper = items_[i].index;
      if (state_.records[hole].kind != KIND_PLATED_HOLE) return false;
      const std::string_view net = OwnNet(state_, hole);
      if (!net.empty() && OwnNet(state_, copper) == net) return true;
      const std::size_t root = conductors_.Find(i);
      return std::find(own[h].begin(), own[h].end(), root) != own[h].end();
    };
    SweepBetween(holes, items_, reach, [&](std::size_t h, std::size_t i) {
      if (belongs(h, i)) return;
      const Gap gap = ShapeGap(items_[i].shape, holes[h].shape);
      if (close(gap.distance)) report(MakeViolation(items_[i].index, holes[h].index, gap, Rule::hole));
    });
  }

  // Per copper record the nearest outline line; copper outside the outline
  // counts as touching it.
  template <class Close, class Report>
  void EdgePairs(double& reach, Close close, Report report) {
    if (layer_ == LAYER_DIM) return;
    const std::vector<Item> outline = OutlineItems(state_);
    if (outline.empty()) return;
    for (const Item& item : items_) {
      const bool outside = !InsideOutline(outline, item.shape.X(0), item.shape.Y(0));
      std::optional<Violation> nearest;
      for (const Item& edge : outline) {
        if (!outside && !BoxesWithin(item.shape, edge.shape, reach)) continue;
        KeepSmallest(nearest, MakeViolation(item.index, edge.index,
                                            ShapeGap(item.shape, edge.shape), Rule::edge));
      }
      if (!nearest) continue;
      if (outside) nearest->distance = 0;
      if (close(nearest->distance)) report(*nearest);
    }
  }

  template <class Close, class Report>
  void KeepoutPairs(double& reach, Close close, Report report) {
    int keepout = -1;
    if (layer_ == LAYER_TOP_COPPER) keepout = LAYER_TOP_KEEPOUT;
    if (layer_ == LAYER_BOTTOM_COPPER) keepout = LAYER_BOTTOM_KEEPOUT;
    if (keepout < 0) return;
    const std::vector<Item> areas = LayerItems(state_, keepout);
    SweepBetween(items_, areas, reach, [&](std::size_t i, std::size_t k) {
      const Gap gap = ShapeGap(items_[i].shape, areas[k].shape);
      if (close(gap.distance))
        report(MakeViolation(items_[i].index, areas[k].index, gap, Rule::keepout));
    });
  }

  const PcbState& state_;
  int layer_;
  std::vector<Item> items_;
  Conductors conductors_;
  std::vector<std::string_view> nets_;  // per item: its net, or the one spread to it
};

constexpr std::array<Rule, RULE_COUNT> kRules = {Rule::copper, Rule::hole, Rule::edge,
                                                 Rule::keepout};

}  // namespace

DrcResult CheckRules(const PcbState& state, int layer, const DrcRules& rules, std::size_t limit) {
  DrcResult result;
  std::vector<Violation> found;
  LayerCheck check(state, layer);
  for (const Rule rule : kRules) {
    double clearance = rules.Clearance(rule);
    if (!(clearance >= 0)) continue;  // off, or not a number
    if (!std::isfinite(clearance)) clearance = std::numeric_limits<double>::max();
    double reach = clearance;
    check.Pairs(
        rule, reach, [&](double gap) { return TooClose(gap, clearance); },
        [&](const Violation& v) {
          found.push_back(v);
          ++result.counts[static_cast<int>(rule)];
        });
  }
  std::sort(found.begin(), found.end(), [](const Violation& a, const Violation& b) {
    return std::make_tuple(static_cast<int>(a.rule), a.a, a.b) <
           std::make_tuple(static_cast<int>(b.rule), b.a, b.b);
  });
  result.total = found.size();
  if (found.size() > limit) found.resize(limit);
  result.listed = std::move(found);
  return result;
}

std::vector<Violation> CheckClearance(const PcbState& state, int layer, double clearance,
                                      std::size_t limit, std::size_t* total) {
  DrcRules rules;
  rules.copper = clearance >= 0 ? clearance : 0.0;  // not a number: 0
  DrcResult result = CheckRules(state, layer, rules, limit);
  *total = result.total;
  return std::move(result.listed);
}

std::optional<Violation> MinimumGap(const PcbState& state, int layer, Rule rule) {
  LayerCheck check(state, layer);
  std::optional<Violation> best;
  double reach = kInfinity;
  check.Pairs(
      rule, reach, [](double) { return true; },
      [&](const Violation& v) {
        KeepSmallest(best, v);
        reach = best->distance;
      });
  return best;
}

std::optional<Violation> MinimumClearance(const PcbState& state, int layer) {
  return MinimumGap(state, layer, Rule::copper);
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
  out += ')';
  switch (v.rule) {
    case Rule::copper: break;
    case Rule::hole: out += " hole"; break;
    case Rule::edge: out += " edge"; break;
    case Rule::keepout: out += " keep-out"; break;
  }
  out += "\r\n";
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
