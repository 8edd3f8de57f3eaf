// Many threads at once on one coordinator, cache and monitor, as a scripted
// query's background job races the main thread and a reset. Meant to run
// under ThreadSanitizer as well; bounded, no waiting on time.
#include <array>
#include <atomic>
#include <latch>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "Sablekit/context/automation/BrowserAutomationCapabilityCache.h"
#include "Sablekit/context/automation/BrowserAutomationProbeCoordinator.h"
#include "Sablekit/context/automation/BrowserURLReadHealthMonitor.h"
#include "Sablekit/platform/simulated/SimulatedClock.h"

namespace Sablekit {
namespace {

TEST(AutomationConcurrency, QueriesNeverOverlapAndEveryTokenCompletesOnce) {
  constexpr int workerCount = 4;
  constexpr int iterations = 3000;
  constexpr int resets = 600;
  const std::array<std::string, 3> browsers{"com.google.chrome", "Com.Apple.Safari", " com.brave.browser "};

  SimulatedClock clock;
  BrowserAutomationCapabilityCache cache(clock);
  BrowserAutomationProbeCoordinator coordinator;
  BrowserURLReadHealthMonitor monitor(clock);

  std::atomic<int> holders{0};
  std::atomic<int> overlaps{0};
  std::atomic<int> issued{0};
  std::atomic<int> wanted{0};
  std::atomic<int> discarded{0};
  std::atomic<int> doubleCompletions{0};
  std::latch start(workerCount + 2);

  std::vector<std::thread> threads;
  for (int worker = 0; worker < workerCount; ++worker) {
    threads.emplace_back([&, worker] {
      start.arrive_and_wait();
      for (int i = 0; i < iterations; ++i) {
        const std::string& browser = browsers[static_cast<std::size_t>(worker + i) % browsers.size()];
        const std::string version = std::to_string(i % 4);
        if (!cache.shouldAttempt(browser, version)) {
          continue;
        }
        const auto token = coordinator.begin(browser);
        if (!token) {
          continue;
        }
        issued.fetch_add(1);
        if (holders.fetch_add(1) != 0) {
          overlaps.fetch_add(1);
        }
        holders.fetch_sub(1);  // before complete: afterwards another query may begin
        if (coordinator.complete(*token)) {
          wanted.fetch_add(1);
          switch (i % 3) {
            case 0:
              cache.recordSuccess(browser, version);
              break;
            case 1:
              cache.recordTransientFailure(browser, version);
              break;
            default:
              if (i % 97 == 0) {
                cache.recordPermanentFailure(browser);
              }
              break;
          }
        } else {
          discarded.fetch_add(1);
        }
        if (coordinator.complete(*token)) {
          doubleCompletions.fetch_add(1);
        }
      }
    });
  }
  // The main thread's side: resets, health answers and the clock moving on.
  threads.emplace_back([&] {
    start.arrive_and_wait();
    for (int i = 0; i < resets; ++i) {
      const std::optional<std::string> target =
          i % 2 == 0 ? std::nullopt
                     : std::optional<std::string>(browsers[static_cast<std::size_t>(i) % browsers.size()]);
      coordinator.invalidate(target);
      cache.invalidate(target);
      static_cast<void>(coordinator.isBusy());
      clock.advance(1.0);
    }
  });
  threads.emplace_back([&] {
    start.arrive_and_wait();
    for (int i = 0; i < iterations; ++i) {
      static_cast<void>(monitor.observe(browsers[static_cast<std::size_t>(i) % browsers.size()], "1", i % 50 == 0));
    }
  });
  for (std::thread& thread : threads) {
    thread.join();
  }

  EXPECT_EQ(overlaps.load(), 0) << "two queries held the coordinator at once";
  EXPECT_EQ(doubleCompletions.load(), 0);
  EXPECT_EQ(wanted.load() + discarded.load(), issued.load()) << "every issued token completed exactly once";
  EXPECT_GT(issued.load(), 0);
  EXPECT_FALSE(coordinator.isBusy());

  // Quiet again: one more reset of everything leaves a clean slate.
  cache.invalidate(std::nullopt);
  for (const std::string& browser : browsers) {
    SCOPED_TRACE(browser);
    EXPECT_TRUE(cache.shouldAttempt(browser, "0"));
    const auto token = coordinator.begin(browser);
    ASSERT_TRUE(token.has_value());
    EXPECT_TRUE(coordinator.complete(*token));
  }
}

}  // namespace
}  // namespace Sablekit
