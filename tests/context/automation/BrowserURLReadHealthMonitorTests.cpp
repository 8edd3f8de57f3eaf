#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "Sablekit/context/automation/BrowserURLReadHealthMonitor.h"
#include "Sablekit/platform/simulated/SimulatedClock.h"

namespace Sablekit {
namespace {

constexpr const char* chrome = "com.google.chrome";

struct Read {
  double at;  // seconds after the scenario starts
  bool readable;
  std::optional<double> signalledDuration;  // absent: no signal expected
};

struct Scenario {
  const char* name;
  std::vector<Read> reads;
};

TEST(BrowserURLReadHealthMonitor, SignalsRunsOfFailedReads) {
  const std::optional<double> none;
  const Scenario scenarios[] = {
      {"first signal after five seconds, then once a minute",
       {{0, false, none},
        {3, false, none},
        {6, false, 6.0},
        {30, false, none},
        {65.5, false, none},
        {66, false, 66.0},
        {100, false, none},
        {126, false, 126.0}}},
      {"a run of exactly five seconds is long enough", {{0, false, none}, {4.5, false, none}, {5, false, 5.0}}},
      {"a gap of more than 300 seconds starts a new run",
       {{0, false, none}, {6, false, 6.0}, {307, false, none}, {310, false, none}, {312, false, 5.0}}},
      {"a gap of exactly 300 seconds continues the run", {{0, false, none}, {300, false, 300.0}}},
      {"a readable read ends the run",
       {{0, false, none}, {3, true, none}, {6, false, none}, {10, false, none}, {11, false, 5.0}}},
      {"readable reads alone never signal", {{0, true, none}, {10, true, none}, {100, true, none}}},
  };
  for (const Scenario& scenario : scenarios) {
    SCOPED_TRACE(scenario.name);
    SimulatedClock clock;
    BrowserURLReadHealthMonitor monitor(clock);
    double elapsed = 0;
    for (const Read& read : scenario.reads) {
      SCOPED_TRACE(testing::Message() << "read at " << read.at);
      clock.advance(read.at - elapsed);
      elapsed = read.at;
      const auto signal = monitor.observe(chrome, "120", read.readable);
      ASSERT_EQ(signal.has_value(), read.signalledDuration.has_value());
      if (signal) {
        EXPECT_EQ(*signal, (BrowserReadHealthSignal{chrome, "120", *read.signalledDuration}));
      }
    }
  }
}

TEST(BrowserURLReadHealthMonitor, RunsArePerNormalisedBrowserAndVersion) {
  SimulatedClock clock;
  BrowserURLReadHealthMonitor monitor(clock);
  EXPECT_FALSE(monitor.observe(" Com.Google.Chrome\n", "", false));
  EXPECT_FALSE(monitor.observe(chrome, "121", false));
  clock.advance(6);
  EXPECT_FALSE(monitor.observe(chrome, "121", true)) << "another version's run ends on its own";
  EXPECT_FALSE(monitor.observe("com.google.chrome.beta", "", false)) << "another browser starts its own run";
  const auto signal = monitor.observe("COM.GOOGLE.CHROME", "", false);
  EXPECT_EQ(signal, (BrowserReadHealthSignal{chrome, "unknown", 6.0}));
  EXPECT_FALSE(monitor.observe(chrome, "121", false)) << "its run restarted after the readable read";
}

TEST(BrowserURLReadHealthMonitor, RunsAreTimedIndependentlyOfTheSystemTime) {
  SimulatedClock clock;
  BrowserURLReadHealthMonitor monitor(clock);
  EXPECT_FALSE(monitor.observe(chrome, "120", false));
  clock.setWallTime(clock.now() - 3600);
  clock.advance(6);
  EXPECT_EQ(monitor.observe(chrome, "120", false), (BrowserReadHealthSignal{chrome, "120", 6.0}));
  clock.setWallTime(clock.now() + 7200);
  clock.advance(1);
  EXPECT_FALSE(monitor.observe(chrome, "120", false)) << "neither a new run nor a minute later";
}

}  // namespace
}  // namespace Sablekit
