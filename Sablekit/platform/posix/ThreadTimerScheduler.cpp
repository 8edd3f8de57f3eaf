#include "Sablekit/platform/posix/ThreadTimerScheduler.h"

#include <algorithm>

namespace Sablekit {

ThreadTimerScheduler::ThreadTimerScheduler() : thread_([this] { run(); }) {}

ThreadTimerScheduler::~ThreadTimerScheduler() {
  {
    const std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  wake_.notify_all();
  thread_.join();
}

TimerHandle ThreadTimerScheduler::scheduleAfter(double delaySeconds, std::function<void()> action) {
  auto state = std::make_shared<TimerState>(std::move(action));
  const auto delay = std::chrono::duration<double>(std::max(0.0, delaySeconds));
  const Deadline deadline =
      std::chrono::steady_clock::now() + std::chrono::duration_cast<std::chrono::nanoseconds>(delay);
  {
    const std::lock_guard lock(mutex_);
    pending_.emplace(deadline, state);
  }
  wake_.notify_all();
  return TimerHandle(state);
}

void ThreadTimerScheduler::run() {
  std::unique_lock lock(mutex_);
  while (!stopping_) {
    if (pending_.empty()) {
      wake_.wait(lock);
      continue;
    }
    const auto first = pending_.begin();
    if (first->first > std::chrono::steady_clock::now()) {
      wake_.wait_until(lock, first->first);
      continue;
    }
    const std::shared_ptr<TimerState> due = first->second;
    pending_.erase(first);
    lock.unlock();
    if (auto action = due->claim()) {
      action();
    }
    lock.lock();
  }
}

}  // namespace Sablekit
