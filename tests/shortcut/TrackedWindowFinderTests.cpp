// Tracked window finder: the selection rule, and following a window through
// timer ticks and desktop switches that hop to the main run loop.
#include <cmath>
#include <memory>
#include <optional>
#include <vector>

#include <gtest/gtest.h>

#include "Sablekit/platform/RunLoop.h"
#include "Sablekit/platform/posix/ThreadTimerScheduler.h"
#include "Sablekit/platform/simulated/SimulatedClock.h"
#include "Sablekit/platform/simulated/SimulatedWindowServer.h"
#include "Sablekit/platform/simulated/SimulatedWorkspace.h"
#include "Sablekit/shortcut/TrackedWindowFinder.h"

namespace Sablekit {
namespace {

constexpr std::int32_t followed = 42;
using State = std::optional<TrackedWindowState>;

WindowListEntry window(std::int64_t number, Rect bounds, std::int64_t layer = 0, std::int64_t owner = followed) {
  return SimulatedWindowServer::window(number, owner, bounds, layer);
}

TEST(TrackedWindowSelection, PicksTheProcesssMainWindow) {
  auto noNumber = window(9, {0, 0, 900, 900});
  noNumber.windowNumber.reset();
  auto noBounds = window(9, {0, 0, 900, 900});
  noBounds.bounds.reset();
  struct Case {
    const char* name;
    std::vector<WindowListEntry> windows;
    std::optional<std::uint32_t> expected;
  };
  const Case cases[] = {
      {"palette in front of the document", {window(1, {0, 0, 150, 100}), window(2, {10, 20, 800, 600})}, 2},
      {"frontmost comfortable window, not the largest", {window(1, {0, 0, 200, 150}), window(2, {0, 0, 800, 600})}, 1},
      {"only small windows: the largest", {window(1, {0, 0, 100, 100}), window(2, {0, 0, 199, 149})}, 2},
      {"equal areas: the frontmost", {window(1, {0, 0, 100, 50}), window(2, {0, 0, 50, 100})}, 1},
      {"width 1, height 1, another layer or process: never",
       {window(1, {0, 0, 1, 900}), window(2, {0, 0, 900, 1}), window(3, {0, 0, 900, 900}, 3),
        window(4, {0, 0, 900, 900}, 0, followed + 1), window(5, {0, 0, 2, 2})},
       5},
      {"entries without a number or bounds are skipped", {noNumber, noBounds, window(6, {0, 0, 10, 10})}, 6},
      {"no candidates", {window(1, {0, 0, 1, 1}), window(2, {0, 0, 900, 900}, -20)}, std::nullopt},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.name);
    const State chosen = TrackedWindowFinder::selectWindow(test.windows, followed);
    ASSERT_EQ(chosen.has_value(), test.expected.has_value());
    if (chosen) {
      EXPECT_EQ(chosen->windowID, *test.expected);
    }
  }
  EXPECT_EQ(TrackedWindowFinder::selectWindow({window(7, {10, 20, 300, 200})}, followed),
            (TrackedWindowState{7, 10, 20, 300, 200}));
}

TEST(TrackedWindowSelection, FindWindowLeavesDesktopElementsOutAndReadsFailureAsNoWindow) {
  FaultInjector faults;
  SimulatedWindowServer server{faults};
  server.addWindow(window(1, {0, 0, 900, 900}), true).addWindow(window(2, {0, 0, 50, 50}));
  EXPECT_EQ(TrackedWindowFinder::findWindow(server, followed)->windowID, 2u);
  faults.arm(std::string(SimulatedOperation::onScreenWindows), FaultKind::fail, 1);
  EXPECT_EQ(TrackedWindowFinder::findWindow(server, followed), std::nullopt);
}

class TrackedWindowFinderTest : public ::testing::Test {
 protected:
  std::unique_ptr<TrackedWindowFinder> makeFinder(double interval = 0.5) {
    return std::make_unique<TrackedWindowFinder>(server, workspace, clock, runLoop, followed, interval,
                                                 [this](const State& state) { delivered.push_back(state); });
  }
  // Moves time on and runs the hops the ticks posted.
  void pass(double seconds) {
    clock.advance(seconds);
    runLoop.runUntilIdle();
  }

  FaultInjector faults;
  SimulatedWindowServer server{faults};
  SimulatedWorkspace workspace{faults};
  SimulatedClock clock;
  RunLoop runLoop;
  std::vector<State> delivered;
};

TEST_F(TrackedWindowFinderTest, DeliversAtOnceThenOnlyChanges) {
  auto finder = makeFinder();
  finder->start();
  EXPECT_EQ(delivered, std::vector<State>{std::nullopt}) << "the first result always reaches the owner";
  pass(2.0);
  EXPECT_EQ(delivered.size(), 1u);

  server.addWindow(window(5, {100, 100, 800, 600}));
  pass(0.5);
  server.moveWindow(5, {101, 100, 800, 600});
  pass(0.5);
  pass(0.5);
  server.moveWindow(5, {101, 99, 800, 600});
  faults.arm(std::string(SimulatedOperation::onScreenWindows), FaultKind::fail, 1);
  pass(0.5);
  pass(0.5);
  EXPECT_EQ(delivered, (std::vector<State>{std::nullopt, TrackedWindowState{5, 100, 100, 800, 600},
                                           TrackedWindowState{5, 101, 100, 800, 600}, std::nullopt,
                                           TrackedWindowState{5, 101, 99, 800, 600}}));
}

TEST_F(TrackedWindowFinderTest, IntervalNeverFallsBelowTheMinimum) {
  struct Case {
    double given;
    double expected;
  };
  const Case cases[] = {{0, 0.05}, {0.01, 0.05}, {-3, 0.05}, {NAN, 0.05}, {0.05, 0.05}, {0.2, 0.2}};
  for (const Case& test : cases) {
    SCOPED_TRACE(test.given);
    delivered.clear();
    server.setWindows({});
    auto finder = makeFinder(test.given);
    EXPECT_EQ(finder->interval(), test.expected);
    finder->start();
    server.addWindow(window(1, {0, 0, 300, 300}));
    pass(test.expected * 0.98);
    EXPECT_EQ(delivered.size(), 1u) << "no poll before the interval";
    pass(test.expected * 0.04);
    EXPECT_EQ(delivered.size(), 2u) << "a poll at the interval";
  }
}

TEST_F(TrackedWindowFinderTest, StartingTwiceKeepsOneTimerAndOneObserver) {
  auto finder = makeFinder();
  finder->start();
  finder->start();
  EXPECT_EQ(delivered.size(), 1u);
  EXPECT_EQ(workspace.desktopObserverCount(), 1u);
  clock.advance(0.5);
  EXPECT_EQ(runLoop.runUntilIdle(), 1) << "one tick, one hop";
}

TEST_F(TrackedWindowFinderTest, DesktopSwitchPollsOnTheMainLoop) {
  auto finder = makeFinder(10);
  finder->start();
  server.addWindow(window(3, {0, 0, 400, 300}));
  workspace.switchDesktop();
  EXPECT_EQ(delivered.size(), 1u) << "nothing is polled outside the main loop";
  runLoop.runUntilIdle();
  ASSERT_EQ(delivered.size(), 2u);
  EXPECT_EQ(delivered.back()->windowID, 3u);
}

TEST_F(TrackedWindowFinderTest, StopEndsDeliveriesAndARestartDeliversOnlyAChange) {
  auto finder = makeFinder();
  server.addWindow(window(3, {0, 0, 400, 300}));
  finder->start();
  server.moveWindow(3, {5, 5, 400, 300});
  workspace.switchDesktop();  // a hop is queued before the stop
  clock.advance(0.5);
  finder->stop();
  EXPECT_FALSE(finder->isStarted());
  EXPECT_EQ(workspace.desktopObserverCount(), 0u);
  runLoop.runUntilIdle();
  workspace.switchDesktop();
  pass(5);
  EXPECT_EQ(delivered.size(), 1u) << "nothing reaches the owner after stop()";

  finder->start();
  EXPECT_EQ(delivered.size(), 2u) << "the move while stopped is a change";
  finder->stop();
  finder->start();
  EXPECT_EQ(delivered.size(), 2u) << "the same window again is no change";
  pass(0.5);
  EXPECT_EQ(delivered.size(), 2u);
}

TEST_F(TrackedWindowFinderTest, ReleasingTheFinderEndsThePolling) {
  auto finder = makeFinder();
  finder->start();
  server.addWindow(window(3, {0, 0, 400, 300}));
  workspace.switchDesktop();
  clock.advance(0.5);
  finder.reset();
  EXPECT_EQ(workspace.desktopObserverCount(), 0u);
  runLoop.runUntilIdle();  // the queued hops find no finder
  pass(5);
  EXPECT_EQ(delivered.size(), 1u);
}

TEST_F(TrackedWindowFinderTest, CallbackMayStopTheFinder) {
  std::unique_ptr<TrackedWindowFinder> finder;
  int calls = 0;
  finder = std::make_unique<TrackedWindowFinder>(server, workspace, clock, runLoop, followed, 0.5, [&](const State&) {
    ++calls;
    finder.reset();
  });
  finder->start();
  EXPECT_EQ(calls, 1);
  EXPECT_EQ(finder, nullptr);
  server.addWindow(window(3, {0, 0, 400, 300}));
  pass(2);
  EXPECT_EQ(calls, 1);
}

// With a real timer thread, ticks cross to the main loop; runs under the
// thread sanitizer. It waits for deliveries, not for a length of time.
TEST(TrackedWindowFinderThreads, TicksFromTheTimerThreadArriveOnTheMainLoop) {
  FaultInjector faults;
  SimulatedWindowServer server{faults};
  SimulatedWorkspace workspace{faults};
  ThreadTimerScheduler timers;
  RunLoop runLoop;
  std::vector<State> delivered;
  TrackedWindowFinder finder(server, workspace, timers, runLoop, followed, 0.05, [&](const State& state) {
    delivered.push_back(state);
    if (delivered.size() == 1) {
      server.addWindow(window(8, {0, 0, 640, 480}));  // the main thread owns the window list
    } else {
      runLoop.stop();
    }
  });
  // Only a guard against hanging when deliveries never come; no timing is asserted.
  bool gaveUp = false;
  TimerHandle guard = timers.scheduleAfter(60, [&] {
    runLoop.post([&] {
      gaveUp = true;
      runLoop.stop();
    });
  });
  runLoop.post([&] { finder.start(); });
  runLoop.run();
  guard.cancel();
  finder.stop();
  EXPECT_FALSE(gaveUp);
  EXPECT_EQ(delivered, (std::vector<State>{std::nullopt, TrackedWindowState{8, 0, 0, 640, 480}}));
}

}  // namespace
}  // namespace Sablekit
