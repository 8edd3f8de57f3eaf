// One-shot timers as a service, so races against a timer can be tested
// without waiting for real time to pass.
#pragma once

#include <functional>
#include <memory>
#include <mutex>

namespace Sablekit {

// The shared state of one timer: its action runs at most once, and never
// after cancel(). Schedulers keep one and hand out TimerHandles to it.
class TimerState {
 public:
  explicit TimerState(std::function<void()> action) : action_(std::move(action)) {}

  // Takes the action if it has neither been taken nor cancelled; an empty
  // function otherwise. The caller runs it without holding any lock.
  std::function<void()> claim();
  void cancel();

 private:
  std::mutex mutex_;  // guards action_
  std::function<void()> action_;
};

// Cancels its timer when asked; dropping the handle does not cancel it.
class TimerHandle {
 public:
  TimerHandle() = default;
  explicit TimerHandle(std::shared_ptr<TimerState> state) : state_(std::move(state)) {}

  // After cancel() returns the action will not start; if it already started,
  // cancel() does not wait for it. Safe from any thread, any number of times.
  void cancel() {
    if (state_) {
      state_->cancel();
    }
  }

 private:
  std::shared_ptr<TimerState> state_;
};

class TimerScheduler {
 public:
  virtual ~TimerScheduler() = default;

  // Runs `action` once, `delaySeconds` after now on the scheduler's monotonic
  // clock, on a thread of the scheduler's choosing and never inside this call.
  // Safe from any thread.
  virtual TimerHandle scheduleAfter(double delaySeconds, std::function<void()> action) = 0;
};

}  // namespace Sablekit
