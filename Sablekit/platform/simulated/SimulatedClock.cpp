#include "Sablekit/platform/simulated/SimulatedClock.h"

#include <algorithm>

namespace Sablekit {

SimulatedClock::SimulatedClock(double startSeconds) : wallOffset_(startSeconds) {}

double SimulatedClock::now() const {
  const std::lock_guard lock(mutex_);
  return wallOffset_ + monotonic_;
}

double SimulatedClock::monotonicNow() const {
  const std::lock_guard lock(mutex_);
  return monotonic_;
}

TimerHandle SimulatedClock::scheduleAfter(double delaySeconds, std::function<void()> action) {
  auto state = std::make_shared<TimerState>(std::move(action));
  const std::lock_guard lock(mutex_);
  pending_.emplace(monotonic_ + std::max(0.0, delaySeconds), state);
  return TimerHandle(state);
}

void SimulatedClock::advance(double seconds) {
  std::unique_lock lock(mutex_);
  const double target = monotonic_ + std::max(0.0, seconds);
  while (!pending_.empty() && pending_.begin()->first <= target) {
    const auto first = pending_.begin();
    monotonic_ = std::max(monotonic_, first->first);
    const std::shared_ptr<TimerState> due = first->second;
    pending_.erase(first);
    lock.unlock();
    if (auto action = due->claim()) {
      action();
    }
    lock.lock();
  }
  monotonic_ = std::max(monotonic_, target);
}

void SimulatedClock::setWallTime(double secondsSince1970) {
  const std::lock_guard lock(mutex_);
  wallOffset_ = secondsSince1970 - monotonic_;
}

}  // namespace Sablekit
