// The built shortcut host as its parent sees it: event lines on standard
// output, one owner per user, and an end when standard input closes. Each
// test gives the hosts a lock directory of their own through the environment.
#include <fstream>
#include <map>
#include <optional>
#include <string>

#include <gtest/gtest.h>

#include "Sablekit/platform/HostLease.h"
#include "tests/support/ScratchDirectory.h"
#include "tests/support/RunningChild.h"

namespace Sablekit {
namespace {

using Testing::RunningChild;

const std::string healthLine = R"({"accessibilityTrusted":true,"event":"health","monitorInstalled":true})";
const std::string ownerUnavailableLine =
    R"({"accessibilityTrusted":true,"event":"health","monitorInstalled":false,"reason":"ownerUnavailable"})";

class KeyloftProgram : public ::testing::Test {
 protected:
  std::map<std::string, std::string> environment() const { return {{"XDG_RUNTIME_DIR", scratch.path().string()}}; }

  std::string writeScenario(const std::string& json) const {
    const std::string path = (scratch.path() / "scenario.json").string();
    std::ofstream(path) << json;
    return path;
  }

  testing::ScratchDirectory scratch;
};

class BothPrograms : public KeyloftProgram, public ::testing::WithParamInterface<const char*> {};

TEST_P(BothPrograms, ReportsHealthTakesTheLeaseAndEndsWhenStandardInputCloses) {
  RunningChild host(GetParam(), {"--command-command=primary"}, environment());
  EXPECT_EQ(host.readLine(), healthLine);
  EXPECT_TRUE(std::filesystem::exists(scratch.path() / kShortcutHostLeaseFileName));
  host.closeInput();
  EXPECT_EQ(host.waitForExit(), 0);
  EXPECT_EQ(host.readLine(), std::nullopt) << "nothing after the health line";
}

TEST_P(BothPrograms, SecondInstanceStandsByUntilItsOwnParentGoes) {
  RunningChild owner(GetParam(), {}, environment());
  ASSERT_EQ(owner.readLine(), healthLine);

  RunningChild second(GetParam(), {"--exclusive", "--command-command=primary"}, environment());
  EXPECT_EQ(second.readLine(), ownerUnavailableLine);
  second.closeInput();
  EXPECT_EQ(second.waitForExit(), 0);
  EXPECT_FALSE(owner.hasExited()) << "the owner is not told about the other instance";

  owner.closeInput();
  EXPECT_EQ(owner.waitForExit(), 0);
  // The lock went with the owner's process: a new instance owns the shortcut.
  RunningChild third(GetParam(), {}, environment());
  EXPECT_EQ(third.readLine(), healthLine);
}

// build/bin/Keyloft listens to a real X server; its own tests run it on one
// (tests/platform/x11/keyboard). Here the simulated keyboard stands in.
INSTANTIATE_TEST_SUITE_P(SimulatedKeyboard, BothPrograms, ::testing::Values(KEYLOFT_SIM_PATH));

TEST_F(KeyloftProgram, BytesFromTheParentAreDiscardedAndDoNotEndTheHost) {
  RunningChild owner(KEYLOFT_SIM_PATH, {}, environment());
  ASSERT_EQ(owner.readLine(), healthLine);
  owner.write("{\"method\":\"health\"}\nanything at all\n");
  // Still alive and still holding the lease after reading them.
  RunningChild second(KEYLOFT_SIM_PATH, {}, environment());
  EXPECT_EQ(second.readLine(), ownerUnavailableLine);
  EXPECT_FALSE(owner.hasExited());
  owner.closeInput();
  EXPECT_EQ(owner.waitForExit(), 0);
  EXPECT_EQ(owner.readLine(), std::nullopt) << "the bytes were not answered";
}

TEST_F(KeyloftProgram, ScriptedChordsBecomeEventLines) {
  const std::string scenario = writeScenario(R"({
    "permissions": {"accessibilityTrusted": false},
    "keyboard": {"script": [
      {"press": 55}, {"press": 54}, {"release": 54}, {"release": 55},
      {"press": 60}, {"press": 54}, {"press": 55}, {"release": 55}, {"release": 54}, {"release": 60}
    ]}
  })");
  RunningChild host(KEYLOFT_SIM_PATH, {scenario, "--exclusive", "--command-command-shift=search"}, environment());
  EXPECT_EQ(host.readLine(), R"({"accessibilityTrusted":false,"event":"health","monitorInstalled":true})");
  EXPECT_EQ(host.readLine(), R"({"event":"search"})") << "the plain chord has no action";
  host.closeInput();
  EXPECT_EQ(host.waitForExit(), 0);
  EXPECT_EQ(host.readLine(), std::nullopt);
}

TEST_F(KeyloftProgram, ExclusiveModeSwallowsTheCompletingChangeAndTheHarnessReportsIt) {
  const std::string scenario = writeScenario(R"({
    "keyboard": {"script": [{"press": 55}, {"press": 54}, {"release": 54}, {"release": 55}, {"press": 56}]}
  })");
  const std::string errors = ::testing::TempDir() + "/keyloft-sim-dropped.txt";
  RunningChild host(KEYLOFT_SIM_PATH, {scenario, "--exclusive", "--command-command=primary"}, environment(), errors);
  EXPECT_EQ(host.readLine(), R"({"accessibilityTrusted":true,"event":"health","monitorInstalled":true})");
  EXPECT_EQ(host.readLine(), R"({"event":"primary"})");
  host.closeInput();
  EXPECT_EQ(host.waitForExit(), 0);
  std::ifstream reported(errors);
  std::vector<std::string> lines;
  for (std::string line; std::getline(reported, line);) {
    lines.push_back(line);
  }
  // The completing press of the right Command key and its release: neither
  // reaches the focused application; the unrelated Shift press does.
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0].rfind(R"({"dropped":{"keyCode":54,)", 0), 0u) << lines[0];
  EXPECT_EQ(lines[1].rfind(R"({"dropped":{"keyCode":54,)", 0), 0u) << lines[1];
}

TEST_F(KeyloftProgram, RefusedMonitorIsReportedAndTheHostStaysForItsParent) {
  const std::string scenario = writeScenario(R"({"keyboard": {"refuseListening": true,
    "script": [{"press": 55}, {"press": 54}]}})");
  RunningChild host(KEYLOFT_SIM_PATH, {scenario, "--command-command=primary"}, environment());
  EXPECT_EQ(host.readLine(), R"({"accessibilityTrusted":true,"event":"health","monitorInstalled":false})");
  host.closeInput();
  EXPECT_EQ(host.waitForExit(), 0);
  EXPECT_EQ(host.readLine(), std::nullopt);
}

TEST_F(KeyloftProgram, BadScenarioIsRefusedWithStatusTwoAndNoOutput) {
  const std::string scenario = writeScenario(R"({"keyboard": {"script": [{"tap": 55}]}})");
  RunningChild host(KEYLOFT_SIM_PATH, {scenario}, environment());
  EXPECT_EQ(host.waitForExit(), 2);
  EXPECT_EQ(host.readLine(), std::nullopt);
}

}  // namespace
}  // namespace Sablekit
