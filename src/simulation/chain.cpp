#include "simulation/chain.hpp"

#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>

namespace vx::simulation {

bool ValidAttributeValue(Attribute attribute, double value) {
  if (!std::isfinite(value)) return false;
  switch (attribute) {
    case ATTR_MASS: return value > 0.0;
    case ATTR_STIFFNESS:
    case ATTR_DAMPING: return value >= 0.0;
    case ATTR_DISPLACEMENT:
    case ATTR_VELOCITY:
    case ATTR_HELD: return true;
  }
  return false;
}

namespace {

std::size_t At(std::int32_t i) { return static_cast<std::size_t>(i); }

}  // namespace

Chain::Chain() {
  // One slot more than the nodes: u_[n] stays 0 so that the last link's
  // force needs no test.
  const std::size_t size = At(CHAIN_NODES_MAX) + 1;
  for (std::vector<double>* v : {&u_, &v_, &a_, &mass_, &stiffness_, &damping_, &link_k_, &inv_mass_,
                                 &moves_, &damp_div_}) {
    v->assign(size, 0.0);
  }
  cut_.assign(size, 0);
  held_.assign(size, 0);
  Init(CHAIN_NODES_MAX, DEFAULT_TIME_STEP, BOUNDARY_FIXED, BOUNDARY_FIXED);
}

bool Chain::Init(std::int32_t nodes, double dt, std::int32_t left, std::int32_t right) {
  if (nodes < CHAIN_NODES_MIN || nodes > CHAIN_NODES_MAX) return false;
  if (!(dt > 0.0) || !std::isfinite(dt) || !ValidBoundary(left) || !ValidBoundary(right)) return false;
  nodes_ = nodes;
  dt_ = dt;
  time_ = 0.0;
  steps_ = 0;
  left_ = static_cast<Boundary>(left);
  right_ = static_cast<Boundary>(right);
  std::fill(u_.begin(), u_.end(), 0.0);
  std::fill(v_.begin(), v_.end(), 0.0);
  std::fill(a_.begin(), a_.end(), 0.0);
  std::fill(mass_.begin(), mass_.end(), 1.0);
  std::fill(stiffness_.begin(), stiffness_.end(), 1.0);
  std::fill(damping_.begin(), damping_.end(), 0.0);
  std::fill(cut_.begin(), cut_.end(), 0);
  std::fill(held_.begin(), held_.end(), 0);
  sources_.clear();
  prepared_ = false;
  accel_valid_ = false;
  return true;
}

bool Chain::ValidRange(std::int32_t& first, std::int32_t& last) const {
  if (first > last) std::swap(first, last);
  return first >= 0 && last < nodes_;
}

bool Chain::Set(Attribute attribute, std::int32_t first, std::int32_t last, double value) {
  if (!ValidRange(first, last) || attribute == ATTR_HELD || !ValidAttributeValue(attribute, value)) {
    return false;
  }
  const std::vector<double> values(At(last - first + 1), value);
  return Write(attribute, first, last, values);
}

bool Chain::Read(Attribute attribute, std::int32_t first, std::int32_t last, std::span<double> values) const {
  if (!ValidRange(first, last) || values.size() != At(last - first + 1)) return false;
  for (std::int32_t i = first; i <= last; ++i) {
    double& out = values[At(i - first)];
    switch (attribute) {
      case ATTR_MASS: out = mass_[At(i)]; break;
      case ATTR_STIFFNESS: out = stiffness_[At(i)]; break;
      case ATTR_DAMPING: out = damping_[At(i)]; break;
      case ATTR_DISPLACEMENT: out = u_[At(i)]; break;
      case ATTR_VELOCITY: out = v_[At(i)]; break;
      case ATTR_HELD: out = Held(i) ? 1.0 : 0.0; break;
    }
  }
  return true;
}

bool Chain::Write(Attribute attribute, std::int32_t first, std::int32_t last, std::span<const double> values) {
  if (!ValidRange(first, last) || values.size() != At(last - first + 1)) return false;
  for (const double value : values) {
    if (!ValidAttributeValue(attribute, value)) return false;
  }
  if (attribute == ATTR_HELD) {
    for (std::int32_t i = first; i <= last; ++i) {
      const bool held = values[At(i - first)] != 0.0;
      held_[At(i)] = held ? 1 : 0;
      if (held) v_[At(i)] = 0.0;
    }
    prepared_ = false;
    return true;
  }
  std::vector<double>* target = nullptr;
  switch (attribute) {
    case ATTR_MASS: target = &mass_; break;
    case ATTR_STIFFNESS: target = &stiffness_; break;
    case ATTR_DAMPING: target = &damping_; break;
    case ATTR_DISPLACEMENT: target = &u_; break;
    case ATTR_VELOCITY: target = &v_; break;
    case ATTR_HELD: return false;
  }
  std::copy(values.begin(), values.end(), target->begin() + first);
  if (attribute != ATTR_VELOCITY) accel_valid_ = false;
  if (attribute != ATTR_DISPLACEMENT && attribute != ATTR_VELOCITY) prepared_ = false;
  return true;
}

bool Chain::Cut(std::int32_t first, std::int32_t last, bool cut) {
  if (!ValidRange(first, last)) return false;
  // Links first .. last - 1 lie between the two nodes; a single node
  // names the link to its right neighbour.
  const std::int32_t end = std::min(std::max(last, first + 1), nodes_ - 1);
  std::fill(cut_.begin() + first, cut_.begin() + end, cut ? 1 : 0);
  prepared_ = false;
  accel_valid_ = false;
  return true;
}

bool Chain::Hold(std::int32_t first, std::int32_t last, bool held) {
  if (!ValidRange(first, last)) return false;
  std::fill(held_.begin() + first, held_.begin() + last + 1, held ? 1 : 0);
  if (held) std::fill(v_.begin() + first, v_.begin() + last + 1, 0.0);
  prepared_ = false;
  return true;
}

bool Chain::Drive(std::int32_t node, const Source& source) {
  if (node < 0 || node >= nodes_) return false;
  auto it = std::find_if(sources_.begin(), sources_.end(),
                         [node](const AttachedSource& s) { return s.index == node; });
  if (source.Kind() == SOURCE_OFF) {
    if (it != sources_.end()) sources_.erase(it);
  } else if (it != sources_.end()) {
    *it = AttachedSource{node, source, time_};
  } else if (static_cast<std::int32_t>(sources_.size()) < SOURCES_MAX) {
    sources_.push_back(AttachedSource{node, source, time_});
  } else {
    return false;
  }
  prepared_ = false;
  return true;
}

bool Chain::Held(std::int32_t node) const {
  if (node < 0 || node >= nodes_) return false;
  if (held_[At(node)] != 0) return true;
  if ((node == 0 && left_ == BOUNDARY_FIXED) || (node == nodes_ - 1 && right_ == BOUNDARY_FIXED)) return true;
  return std::any_of(sources_.begin(), sources_.end(), [node](const AttachedSource& s) { return s.index == node; });
}

void Chain::Prepare() {
  const double h = dt_ / 2.0;
  double lambda = 0.0;  // Gershgorin bound of w_max^2
  for (std::int32_t i = 0; i < nodes_; ++i) {
    const std::size_t k = At(i);
    link_k_[k] = (i < nodes_ - 1 && cut_[k] == 0) ? stiffness_[k] : 0.0;
    inv_mass_[k] = 1.0 / mass_[k];
  }
  link_k_[At(nodes_ - 1)] = 0.0;
  for (std::int32_t i = 0; i < nodes_; ++i) {
    const std::size_t k = At(i);
    const bool moves = !Held(i);
    moves_[k] = moves ? 1.0 : 0.0;
    double drag = damping_[k];
    // A dashpot of the medium's impedance sqrt(k m) at an absorbing end.
    if ((i == 0 && left_ == BOUNDARY_ABSORBING) || (i == nodes_ - 1 && right_ == BOUNDARY_ABSORBING)) {
      const double end_k = stiffness_[At(i == 0 ? 0 : nodes_ - 2)];
      drag += std::sqrt(end_k * mass_[k]);
    }
    damp_div_[k] = 1.0 / (1.0 + h * drag * inv_mass_[k]);
    if (moves) {
      const double around = (i > 0 ? link_k_[k - 1] : 0.0) + link_k_[k];
      lambda = std::max(lambda, 2.0 * around * inv_mass_[k]);
    }
  }
  limit_ = lambda > 0.0 ? 2.0 / std::sqrt(lambda) : std::numeric_limits<double>::infinity();
  prepared_ = true;
  accel_valid_ = false;
}

double Chain::StabilityLimit() {
  if (!prepared_) Prepare();
  return limit_;
}

void Chain::Accelerate() {
  const double* u = u_.data();
  const double* k = link_k_.data();
  const double* im = inv_mass_.data();
  double* a = a_.data();
  double left_force = 0.0;  // force of link i - 1 pulling node i - 1 towards node i
  for (std::int32_t i = 0; i < nodes_; ++i) {
    const double force = k[i] * (u[i + 1] - u[i]);
    a[i] = (force - left_force) * im[i];
    left_force = force;
  }
  accel_valid_ = true;
}

bool Chain::Step() {
  if (!(dt_ < StabilityLimit())) return false;
  if (!accel_valid_) Accelerate();
  const double h = dt_ / 2.0;
  const std::size_t n = At(nodes_);
  double* u = u_.data();
  double* v = v_.data();
  const double* a = a_.data();
  const double* moves = moves_.data();
  const double* div = damp_div_.data();
  for (std::size_t i = 0; i < n; ++i) v[i] = (v[i] + h * a[i]) * div[i] * moves[i];
  for (std::size_t i = 0; i < n; ++i) u[i] += dt_ * v[i];
  time_ += dt_;
  ++steps_;
  // Driven nodes jump to where their source is now; their velocity is the
  // mean over the step.
  double before[SOURCES_MAX];
  for (std::size_t s = 0; s < sources_.size(); ++s) {
    const std::size_t node = At(sources_[s].index);
    before[s] = u[node];
    u[node] = sources_[s].At(time_);
  }
  Accelerate();
  for (std::size_t i = 0; i < n; ++i) v[i] = (v[i] + h * a[i]) * div[i] * moves[i];
  for (std::size_t s = 0; s < sources_.size(); ++s) {
    const std::size_t node = At(sources_[s].index);
    v[node] = (u[node] - before[s]) / dt_;
  }
  return true;
}

double Chain::Kinetic() const {
  double sum = 0.0;
  for (std::int32_t i = 0; i < nodes_; ++i) sum += 0.5 * mass_[At(i)] * v_[At(i)] * v_[At(i)];
  return sum;
}

double Chain::Potential() const {
  double sum = 0.0;
  for (std::int32_t i = 0; i + 1 < nodes_; ++i) {
    if (cut_[At(i)] != 0) continue;
    const double stretch = u_[At(i) + 1] - u_[At(i)];
    sum += 0.5 * stiffness_[At(i)] * stretch * stretch;
  }
  return sum;
}

}  // namespace vx::simulation
