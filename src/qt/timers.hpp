#pragma once
// Window timers of timer and step-timer resources, keyed by identifier.
#include <QTimer>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>

namespace vx::qt {

class QtTimers {
 public:
  using FireHandler = std::function<void(std::int32_t timer_id)>;
  explicit QtTimers(FireHandler on_fire) : on_fire_(std::move(on_fire)) {}

  // Starts (or restarts) timer `timer_id`; false when it does not run.
  bool Start(std::int32_t timer_id, std::int32_t interval_ms);
  // Safe from inside a timer's own firing: the timers go once control
  // returns to the event loop.
  void StopAll();
  bool Running(std::int32_t timer_id) const;
  std::size_t Count() const { return timers_.size(); }

 private:
  FireHandler on_fire_;
  std::map<std::int32_t, std::unique_ptr<QTimer>> timers_;
};

}  // namespace vx::qt
