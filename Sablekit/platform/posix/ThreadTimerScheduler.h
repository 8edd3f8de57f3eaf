// Real one-shot timers: one background thread sleeps until the earliest
// deadline and runs due actions there, one at a time.
#pragma once

#include <condition_variable>
#include <map>
#include <mutex>
#include <thread>

#include "Sablekit/platform/TimerScheduler.h"

namespace Sablekit {

class ThreadTimerScheduler final : public TimerScheduler {
 public:
  ThreadTimerScheduler();
  // Stops the thread; timers still pending never run.
  ~ThreadTimerScheduler() override;
  ThreadTimerScheduler(const ThreadTimerScheduler&) = delete;
  ThreadTimerScheduler& operator=(const ThreadTimerScheduler&) = delete;

  TimerHandle scheduleAfter(double delaySeconds, std::function<void()> action) override;

 private:
  using Deadline = std::chrono::steady_clock::time_point;
  void run();

  std::mutex mutex_;  // guards pending_ and stopping_
  std::condition_variable wake_;
  std::multimap<Deadline, std::shared_ptr<TimerState>> pending_;
  bool stopping_ = false;
  std::thread thread_;
};

}  // namespace Sablekit
