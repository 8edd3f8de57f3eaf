// A clock and timer scheduler that move only when told to. Advancing the clock
// runs every timer that falls due, in deadline order, on the advancing thread.
#pragma once

#include <map>
#include <memory>
#include <mutex>

#include "Sablekit/platform/Clock.h"
#include "Sablekit/platform/TimerScheduler.h"

namespace Sablekit {

class SimulatedClock final : public Clock, public TimerScheduler {
 public:
  // Starts at `startSeconds` since 1970 (wall) and 0 (monotonic).
  explicit SimulatedClock(double startSeconds = 1'767'225'600.0);  // 2026-01-01 00:00 UTC

  double now() const override;
  double monotonicNow() const override;
  TimerHandle scheduleAfter(double delaySeconds, std::function<void()> action) override;

  // Moves both clocks forward by `seconds` (negative values are ignored) and
  // runs the timers that fall due, each seeing the clock at its own deadline.
  void advance(double seconds);
  // Sets the wall clock only, as when the user changes the system time.
  void setWallTime(double secondsSince1970);

 private:
  mutable std::mutex mutex_;  // guards the times and pending_
  double wallOffset_;
  double monotonic_ = 0.0;
  std::multimap<double, std::shared_ptr<TimerState>> pending_;
};

}  // namespace Sablekit
