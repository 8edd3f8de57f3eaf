// The clock contract: what every backend's Clock and TimerScheduler promise —
// time that never runs backwards, timers that run once, never early, in the
// order of their deadlines, and never after cancel() — written once and
// instantiated for each backend. An arranger type provides:
//   Clock& clock(); TimerScheduler& timers();
//   void letPass(double seconds);  // at least this much of the clock's time goes by
//   bool waitUntil(const std::function<bool()>& done);  // false after a safety period
// Timers may run on any thread: what they record is guarded here.
#pragma once

#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "Sablekit/platform/Clock.h"
#include "Sablekit/platform/TimerScheduler.h"

namespace Sablekit::Testing {

// What the timers of one test did, in the order they ran.
class TimerLog {
 public:
  void record(std::string name, double at) {
    const std::lock_guard lock(mutex_);
    runs_.push_back({std::move(name), at});
  }
  struct Run {
    std::string name;
    double at;  // the clock's monotonic time when it ran
  };
  std::vector<Run> runs() const {
    const std::lock_guard lock(mutex_);
    return runs_;
  }
  std::vector<std::string> names() const {
    std::vector<std::string> names;
    for (const Run& run : runs()) {
      names.push_back(run.name);
    }
    return names;
  }

 private:
  mutable std::mutex mutex_;  // guards runs_
  std::vector<Run> runs_;
};

template <class Arranger>
class ClockContract : public ::testing::Test {
 protected:
  // A timer that records `name` and the clock's time in the log.
  std::function<void()> logged(std::string name) {
    return [this, name] { log_.record(name, arranger_.clock().monotonicNow()); };
  }
  bool ran(std::size_t count) {
    return arranger_.waitUntil([&] { return log_.runs().size() >= count; });
  }

  Arranger arranger_;
  TimerLog log_;
};

TYPED_TEST_SUITE_P(ClockContract);

TYPED_TEST_P(ClockContract, TimeNeverRunsBackwardsAndTheWallClockIsOfThisCentury) {
  Clock& clock = this->arranger_.clock();
  double previous = clock.monotonicNow();
  for (int step = 0; step < 200; ++step) {
    this->arranger_.letPass(step % 50 == 0 ? 0.001 : 0);
    const double current = clock.monotonicNow();
    ASSERT_GE(current, previous);
    previous = current;
  }
  EXPECT_GT(clock.now(), 1.7e9);  // after 2023
  EXPECT_LT(clock.now(), 4.1e9);  // before 2100
}

TYPED_TEST_P(ClockContract, TimersRunOnceInDeadlineOrderAndNeverEarly) {
  TimerScheduler& timers = this->arranger_.timers();
  const double start = this->arranger_.clock().monotonicNow();
  timers.scheduleAfter(0.04, this->logged("later"));
  timers.scheduleAfter(0.02, this->logged("sooner"));
  timers.scheduleAfter(0.0, this->logged("now"));
  this->arranger_.letPass(0.06);
  ASSERT_TRUE(this->ran(3));
  this->arranger_.letPass(0.02);
  EXPECT_EQ(this->log_.names(), (std::vector<std::string>{"now", "sooner", "later"}));
  const auto runs = this->log_.runs();
  const double delays[] = {0.0, 0.02, 0.04};
  for (std::size_t index = 0; index < runs.size(); ++index) {
    EXPECT_GE(runs[index].at - start, delays[index] - 1e-9) << runs[index].name << " ran early";
  }
}

TYPED_TEST_P(ClockContract, ACancelledTimerNeverRunsAndCancellingTwiceOrLateIsHarmless) {
  TimerScheduler& timers = this->arranger_.timers();
  TimerHandle cancelled = timers.scheduleAfter(0.02, this->logged("cancelled"));
  TimerHandle kept = timers.scheduleAfter(0.0, this->logged("kept"));
  cancelled.cancel();
  cancelled.cancel();
  // A timer due after the cancelled one shows the cancelled one was passed over.
  timers.scheduleAfter(0.04, this->logged("after"));
  this->arranger_.letPass(0.06);
  ASSERT_TRUE(this->ran(2));
  kept.cancel();  // it already ran
  this->arranger_.letPass(0.02);
  EXPECT_EQ(this->log_.names(), (std::vector<std::string>{"kept", "after"}));
}

TYPED_TEST_P(ClockContract, ATimerMayScheduleAnotherThatRunsWhenDue) {
  TimerScheduler& timers = this->arranger_.timers();
  timers.scheduleAfter(0.01, [this, &timers] {
    this->log_.record("first", this->arranger_.clock().monotonicNow());
    timers.scheduleAfter(0.01, this->logged("second"));
  });
  this->arranger_.letPass(0.03);
  ASSERT_TRUE(this->ran(2));
  EXPECT_EQ(this->log_.names(), (std::vector<std::string>{"first", "second"}));
}

REGISTER_TYPED_TEST_SUITE_P(ClockContract,
                            TimeNeverRunsBackwardsAndTheWallClockIsOfThisCentury,
                            TimersRunOnceInDeadlineOrderAndNeverEarly,
                            ACancelledTimerNeverRunsAndCancellingTwiceOrLateIsHarmless,
                            ATimerMayScheduleAnotherThatRunsWhenDue);

}  // namespace Sablekit::Testing
