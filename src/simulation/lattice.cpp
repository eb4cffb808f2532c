#include "simulation/lattice.hpp"

#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>

namespace vx::simulation {

namespace {

// Two half-springs in series.
double SeriesSpring(double ka, double kb) { return ka + kb > 0.0 ? 2.0 * ka * kb / (ka + kb) : 0.0; }

}  // namespace

Lattice::Lattice() {
  const std::size_t size = LATTICE_CELLS_MAX;
  for (std::vector<double>* v : {&u_, &v_, &a_, &mass_, &stiffness_, &damping_, &right_k_, &down_k_,
                                 &inv_mass_, &moves_, &damp_div_}) {
    v->assign(size, 0.0);
  }
  held_.assign(size, 0);
  Init(LATTICE_SIDE_MAX, LATTICE_SIDE_MAX, 0.5, BOUNDARY_FIXED);
}

bool Lattice::Init(std::int32_t width, std::int32_t height, double dt, std::int32_t left, std::int32_t top,
                   std::int32_t right, std::int32_t bottom) {
  if (width < LATTICE_SIDE_MIN || width > LATTICE_SIDE_MAX || height < LATTICE_SIDE_MIN ||
      height > LATTICE_SIDE_MAX) {
    return false;
  }
  if (!(dt > 0.0) || !std::isfinite(dt)) return false;
  if (!ValidBoundary(left) || !ValidBoundary(top) || !ValidBoundary(right) || !ValidBoundary(bottom)) return false;
  width_ = width;
  height_ = height;
  dt_ = dt;
  edges_ = LatticeEdges{static_cast<Boundary>(left), static_cast<Boundary>(top), static_cast<Boundary>(right),
                        static_cast<Boundary>(bottom)};
  std::fill(mass_.begin(), mass_.end(), 1.0);
  std::fill(stiffness_.begin(), stiffness_.end(), 1.0);
  std::fill(damping_.begin(), damping_.end(), 0.0);
  std::fill(held_.begin(), held_.end(), 0);
  forces_.clear();
  prepared_ = false;
  Flatten();
  return true;
}

void Lattice::Flatten() {
  std::fill(u_.begin(), u_.end(), 0.0);
  std::fill(v_.begin(), v_.end(), 0.0);
  std::fill(a_.begin(), a_.end(), 0.0);
  time_ = 0.0;
  steps_ = 0;
  accel_valid_ = false;
  for (AttachedSource& f : forces_) f.since = 0.0;  // they start again with the time
}

bool Lattice::Rectangle(std::int32_t& x0, std::int32_t& y0, std::int32_t& x1, std::int32_t& y1) const {
  if (x0 > x1) std::swap(x0, x1);
  if (y0 > y1) std::swap(y0, y1);
  return Inside(x0, y0) && Inside(x1, y1);
}

std::int32_t Lattice::CellsIn(std::int32_t x0, std::int32_t y0, std::int32_t x1, std::int32_t y1) const {
  if (!Rectangle(x0, y0, x1, y1)) return 0;
  return (x1 - x0 + 1) * (y1 - y0 + 1);
}

double* Lattice::Slot(Attribute attribute, std::size_t i) {
  switch (attribute) {
    case ATTR_MASS: return &mass_[i];
    case ATTR_STIFFNESS: return &stiffness_[i];
    case ATTR_DAMPING: return &damping_[i];
    case ATTR_DISPLACEMENT: return &u_[i];
    case ATTR_VELOCITY: return &v_[i];
    case ATTR_HELD: break;
  }
  return nullptr;
}

void Lattice::Changed(Attribute attribute) {
  if (attribute != ATTR_VELOCITY) accel_valid_ = false;
  if (attribute != ATTR_DISPLACEMENT && attribute != ATTR_VELOCITY) prepared_ = false;
}

bool Lattice::Set(Attribute attribute, std::int32_t x0, std::int32_t y0, std::int32_t x1, std::int32_t y1,
                  double value) {
  if (!Rectangle(x0, y0, x1, y1) || !ValidAttributeValue(attribute, value)) return false;
  const std::vector<double> values(static_cast<std::size_t>(CellsIn(x0, y0, x1, y1)), value);
  return Write(attribute, x0, y0, x1, y1, values);
}

bool Lattice::Read(Attribute attribute, std::int32_t x0, std::int32_t y0, std::int32_t x1, std::int32_t y1,
                   std::span<double> values) const {
  if (!Rectangle(x0, y0, x1, y1) || values.size() != static_cast<std::size_t>(CellsIn(x0, y0, x1, y1))) {
    return false;
  }
  std::size_t k = 0;
  for (std::int32_t y = y0; y <= y1; ++y) {
    for (std::int32_t x = x0; x <= x1; ++x, ++k) {
      const std::size_t i = Index(x, y);
      switch (attribute) {
        case ATTR_MASS: values[k] = mass_[i]; break;
        case ATTR_STIFFNESS: values[k] = stiffness_[i]; break;
        case ATTR_DAMPING: values[k] = damping_[i]; break;
        case ATTR_DISPLACEMENT: values[k] = u_[i]; break;
        case ATTR_VELOCITY: values[k] = v_[i]; break;
        case ATTR_HELD: values[k] = Held(x, y) ? 1.0 : 0.0; break;
      }
    }
  }
  return true;
}

bool Lattice::Write(Attribute attribute, std::int32_t x0, std::int32_t y0, std::int32_t x1, std::int32_t y1,
                    std::span<const double> values) {
  if (!Rectangle(x0, y0, x1, y1) || values.size() != static_cast<std::size_t>(CellsIn(x0, y0, x1, y1))) {
    return false;
  }
  for (const double value : values) {
    if (!ValidAttributeValue(attribute, value)) return false;
  }
  std::size_t k = 0;
  for (std::int32_t y = y0; y <= y1; ++y) {
    for (std::int32_t x = x0; x <= x1; ++x, ++k) {
      const std::size_t i = Index(x, y);
      if (attribute == ATTR_HELD) {
        held_[i] = values[k] != 0.0 ? 1 : 0;
        if (held_[i] != 0) v_[i] = 0.0;
      } else {
        *Slot(attribute, i) = values[k];
      }
    }
  }
  Changed(attribute);
  return true;
}

bool Lattice::Force(std::int32_t x, std::int32_t y, const Source& source) {
  if (!Inside(x, y)) return false;
  const std::int32_t index = static_cast<std::int32_t>(Index(x, y));
  auto it = std::find_if(forces_.begin(), forces_.end(),
                         [index](const AttachedSource& s) { return s.index == index; });
  if (source.Kind() == SOURCE_OFF) {
    if (it != forces_.end()) forces_.erase(it);
  } else if (it != forces_.end()) {
    *it = AttachedSource{index, source, time_};
  } else if (static_cast<std::int32_t>(forces_.size()) < SOURCES_MAX) {
    forces_.push_back(AttachedSource{index, source, time_});
  } else {
    return false;
  }
  accel_valid_ = false;
  return true;
}

bool Lattice::Held(std::int32_t x, std::int32_t y) const {
  if (!Inside(x, y)) return false;
  return held_[Index(x, y)] != 0 || SidesOf(x, y, BOUNDARY_FIXED) > 0;
}

void Lattice::Prepare() {
  const double h = dt_ / 2.0;
  double lambda = 0.0;
  for (std::int32_t y = 0; y < height_; ++y) {
    for (std::int32_t x = 0; x < width_; ++x) {
      const std::size_t i = Index(x, y);
      right_k_[i] = x + 1 < width_ ? SeriesSpring(stiffness_[i], stiffness_[i + 1]) : 0.0;
      down_k_[i] = y + 1 < height_ ? SeriesSpring(stiffness_[i], stiffness_[i + width_]) : 0.0;
      inv_mass_[i] = 1.0 / mass_[i];
    }
  }
  for (std::int32_t y = 0; y < height_; ++y) {
    for (std::int32_t x = 0; x < width_; ++x) {
      const std::size_t i = Index(x, y);
      const bool moves = !Held(x, y);
      moves_[i] = moves ? 1.0 : 0.0;
      double drag = damping_[i];
      // A dashpot matched to the medium for each absorbing side the cell
      // lies on: it stands in for the spring that side lacks.
      drag += SidesOf(x, y, BOUNDARY_ABSORBING) * std::sqrt(stiffness_[i] * mass_[i]);
      damp_div_[i] = 1.0 / (1.0 + h * drag * inv_mass_[i]);
      if (!moves) continue;
      double around = right_k_[i] + down_k_[i];
      if (x > 0) around += right_k_[i - 1];
      if (y > 0) around += down_k_[i - static_cast<std::size_t>(width_)];
      lambda = std::max(lambda, 2.0 * around * inv_mass_[i]);
    }
  }
  limit_ = lambda > 0.0 ? 2.0 / std::sqrt(lambda) : std::numeric_limits<double>::infinity();
  prepared_ = true;
  accel_valid_ = false;
}

double Lattice::StabilityLimit() {
  if (!prepared_) Prepare();
  return limit_;
}

void Lattice::Accelerate(double t) {
  const std::size_t w = static_cast<std::size_t>(width_);
  for (std::int32_t y = 0; y < height_; ++y) {
    for (std::int32_t x = 0; x < width_; ++x) {
      const std::size_t i = Index(x, y);
      const double here = u_[i];
      double f = 0.0;
      if (x > 0) f += right_k_[i - 1] * (u_[i - 1] - here);
      if (x + 1 < width_) f += right_k_[i] * (u_[i + 1] - here);
      if (y > 0) f += down_k_[i - w] * (u_[i - w] - here);
      if (y + 1 < height_) f += down_k_[i] * (u_[i + w] - here);
      a_[i] = f * inv_mass_[i];
    }
  }
  for (const AttachedSource& s : forces_) {
    const std::size_t i = static_cast<std::size_t>(s.index);
    a_[i] += s.At(t) * inv_mass_[i];
  }
  accel_valid_ = true;
}

bool Lattice::Step() {
  if (!(dt_ < StabilityLimit())) return false;
  if (!accel_valid_) Accelerate(time_);
  const double h = dt_ / 2.0;
  const std::size_t n = static_cast<std::size_t>(width_) * static_cast<std::size_t>(height_);
  for (std::size_t i = 0; i < n; ++i) v_[i] = (v_[i] + h * a_[i]) * damp_div_[i] * moves_[i];
  for (std::size_t i = 0; i < n; ++i) u_[i] += dt_ * v_[i];
  time_ += dt_;
  ++steps_;
  Accelerate(time_);
  for (std::size_t i = 0; i < n; ++i) v_[i] = (v_[i] + h * a_[i]) * damp_div_[i] * moves_[i];
  return true;
}

double Lattice::Kinetic() const {
  const std::size_t n = static_cast<std::size_t>(width_) * static_cast<std::size_t>(height_);
  double sum = 0.0;
  for (std::size_t i = 0; i < n; ++i) sum += 0.5 * mass_[i] * v_[i] * v_[i];
  return sum;
}

double Lattice::Potential() {
  if (!prepared_) Prepare();
  double sum = 0.0;
  const std::size_t w = static_cast<std::size_t>(width_);
  for (std::int32_t y = 0; y < height_; ++y) {
    for (std::int32_t x = 0; x < width_; ++x) {
      const std::size_t i = Index(x, y);
      if (x + 1 < width_) sum += 0.5 * right_k_[i] * (u_[i + 1] - u_[i]) * (u_[i + 1] - u_[i]);
      if (y + 1 < height_) sum += 0.5 * down_k_[i] * (u_[i + w] - u_[i]) * (u_[i + w] - u_[i]);
    }
  }
  return sum;
}

}  // namespace vx::simulation
