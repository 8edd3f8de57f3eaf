// The simulated clock's own promises beyond the clock contract: time moves
// only when advanced, timers run inside the advance at their own time, and
// the wall time can be set apart from the monotonic one.
#include <vector>

#include <gtest/gtest.h>

#include "Sablekit/platform/simulated/SimulatedClock.h"

namespace Sablekit {
namespace {

TEST(SimulatedClock, AdvancingRunsDueTimersInDeadlineOrderAtTheirOwnTime) {
  SimulatedClock clock(1000.0);
  std::vector<std::pair<int, double>> fired;
  clock.scheduleAfter(2.0, [&] { fired.emplace_back(2, clock.monotonicNow()); });
  clock.scheduleAfter(1.0, [&] { fired.emplace_back(1, clock.monotonicNow()); });
  TimerHandle cancelled = clock.scheduleAfter(1.5, [&] { fired.emplace_back(99, clock.monotonicNow()); });
  clock.scheduleAfter(5.0, [&] { fired.emplace_back(5, clock.monotonicNow()); });
  cancelled.cancel();

  clock.advance(0.5);
  EXPECT_TRUE(fired.empty());
  clock.advance(2.0);
  EXPECT_EQ(fired, (std::vector<std::pair<int, double>>{{1, 1.0}, {2, 2.0}}));
  EXPECT_DOUBLE_EQ(clock.monotonicNow(), 2.5);
  EXPECT_DOUBLE_EQ(clock.now(), 1002.5);
  clock.advance(-10.0);
  EXPECT_DOUBLE_EQ(clock.monotonicNow(), 2.5) << "time never goes backwards";
}

TEST(SimulatedClock, ATimerScheduledByATimerRunsInTheSameAdvanceWhenDue) {
  SimulatedClock clock;
  int runs = 0;
  clock.scheduleAfter(1.0, [&] {
    ++runs;
    clock.scheduleAfter(1.0, [&] { ++runs; });
  });
  clock.advance(2.0);
  EXPECT_EQ(runs, 2);
}

TEST(SimulatedClock, SettingTheWallTimeLeavesTheMonotonicClockAlone) {
  SimulatedClock clock(50.0);
  clock.advance(3.0);
  clock.setWallTime(10.0);
  EXPECT_DOUBLE_EQ(clock.now(), 10.0);
  EXPECT_DOUBLE_EQ(clock.monotonicNow(), 3.0);
  EXPECT_EQ(wireMilliseconds(1.9999), 1999);
  EXPECT_EQ(wireMilliseconds(-1.9999), -1999) << "truncated toward zero";
}

}  // namespace
}  // namespace Sablekit
