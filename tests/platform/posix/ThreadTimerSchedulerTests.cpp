// The timer thread beyond the clock contract: timers run on its own thread,
// not the caller's.
#include <atomic>
#include <future>
#include <thread>

#include <gtest/gtest.h>

#include "Sablekit/platform/posix/ThreadTimerScheduler.h"

namespace Sablekit {
namespace {

TEST(ThreadTimerScheduler, RunsTimersOnItsThreadAndNeverAfterCancel) {
  ThreadTimerScheduler scheduler;
  std::promise<std::thread::id> ran;
  auto ranOn = ran.get_future();
  std::atomic<int> cancelledRuns{0};
  TimerHandle cancelled = scheduler.scheduleAfter(0.05, [&] { ++cancelledRuns; });
  cancelled.cancel();
  scheduler.scheduleAfter(0.0, [&] { ran.set_value(std::this_thread::get_id()); });
  EXPECT_NE(ranOn.get(), std::this_thread::get_id());
  // A later timer that is due after the cancelled one proves the cancelled one was skipped.
  std::promise<void> later;
  scheduler.scheduleAfter(0.06, [&] { later.set_value(); });
  later.get_future().wait();
  EXPECT_EQ(cancelledRuns.load(), 0);
}

}  // namespace
}  // namespace Sablekit
