#include "qt/timers.hpp"

#include <algorithm>

namespace vx::qt {
namespace {

// Shorter intervals are raised to the smallest a window timer supports.
constexpr std::int32_t kShortestIntervalMs = 10;

}  // namespace

bool QtTimers::Start(std::int32_t timer_id, std::int32_t interval_ms) {
  auto timer = std::make_unique<QTimer>();
  timer->setInterval(std::max(interval_ms, kShortestIntervalMs));
  timer->setTimerType(Qt::PreciseTimer);
  QObject::connect(timer.get(), &QTimer::timeout, [this, timer_id] { on_fire_(timer_id); });
  timer->start();
  if (!timer->isActive()) return false;
  timers_[timer_id] = std::move(timer);
  return true;
}

void QtTimers::StopAll() {
  for (auto& [id, timer] : timers_) {
    timer->stop();
    timer.release()->deleteLater();
  }
  timers_.clear();
}

bool QtTimers::Running(std::int32_t timer_id) const {
  const auto it = timers_.find(timer_id);
  return it != timers_.end() && it->second->isActive();
}

}  // namespace vx::qt
