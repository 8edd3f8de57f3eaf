// The simulated scripting engine: which texts it recognises, what it answers
// for each described application, its faults, delays, holds and scenario.
#include <future>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "Sablekit/platform/simulated/SimulatedClock.h"
#include "Sablekit/platform/simulated/SimulatedDesktop.h"
#include "Sablekit/platform/simulated/SimulatedScripting.h"

namespace Sablekit {
namespace {

using Kind = SimulatedScripting::ScriptKind;

const std::string finderFolder =
    "with timeout of 1 seconds\n  tell application id \"com.apple.finder\"\n    if (count of windows) is 0 then "
    "return \"\"\n    return POSIX path of (target of front window as alias)\n  end tell\nend timeout";
const std::string finderCount =
    "with timeout of 120 seconds\n  tell application id \"com.apple.finder\"\n    return (count of windows) as "
    "integer\n  end tell\nend timeout";

std::string chromiumMode(const std::string& bundleID) {
  return "with timeout of 1 seconds\n  tell application id \"" + bundleID +
         "\"\n    if (count of windows) is 0 then return \"unknown\"\n    return (mode of front window) as text\n  "
         "end tell\nend timeout";
}

std::string chromiumProbe(const std::string& bundleID) {
  return "with timeout of 120 seconds\n  tell application id \"" + bundleID +
         "\"\n    if (count of windows) is 0 then return \"no-windows\"\n    return (mode of front window) as text\n  "
         "end tell\nend timeout";
}

class SimulatedScriptingTest : public ::testing::Test {
 protected:
  SimulatedClock clock;
  FaultInjector faults;
  SimulatedScripting scripting{clock, faults};
};

TEST(SimulatedScriptingRecognition, KnowsTheFixedScriptsByExactText) {
  struct Case {
    const char* name;
    std::string source;
    Kind kind;
    std::optional<std::string> bundleID;
  };
  const std::vector<Case> cases{
      {"finder folder", finderFolder, Kind::finderFrontFolder, "com.apple.finder"},
      {"finder count", finderCount, Kind::finderWindowCount, "com.apple.finder"},
      {"mode query", chromiumMode("com.google.chrome"), Kind::chromiumWindowMode, "com.google.chrome"},
      {"probe keeps case", chromiumProbe("com.Brave.Browser"), Kind::chromiumProbe, "com.Brave.Browser"},
      {"trailing line feed", finderFolder + "\n", Kind::unrecognised, std::nullopt},
      {"other timeout", chromiumProbe("x").replace(16, 3, "12"), Kind::unrecognised, std::nullopt},
      {"empty bundle", chromiumMode(""), Kind::unrecognised, std::nullopt},
      {"quote in bundle", chromiumMode("a\" to quit"), Kind::unrecognised, std::nullopt},
      {"wrong no-windows answer", chromiumMode("b").replace(chromiumMode("b").find("unknown"), 7, "no-windows"),
       Kind::unrecognised, std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const auto [kind, bundleID] = SimulatedScripting::recognise(c.source);
    EXPECT_EQ(kind, c.kind);
    EXPECT_EQ(bundleID, c.bundleID);
  }
}

TEST_F(SimulatedScriptingTest, AnswersEachScriptFromTheApplication) {
  struct Case {
    const char* name;
    SimulatedScripting::Application application;
    std::string source;
    ScriptRunOutcome expected;
  };
  const std::vector<Case> cases{
      {"incognito mode",
       {.bundleID = "com.google.chrome", .frontWindowMode = "incognito"},
       chromiumMode("com.google.chrome"),
       ScriptRunOutcome::success("incognito")},
      {"mode without windows",
       {.bundleID = "com.google.chrome", .windowCount = 0},
       chromiumMode("com.google.chrome"),
       ScriptRunOutcome::success("unknown")},
      {"probe without windows",
       {.bundleID = "com.google.chrome", .windowCount = 0},
       chromiumProbe("com.google.chrome"),
       ScriptRunOutcome::success("no-windows")},
      {"bundle matched without case",
       {.bundleID = "com.google.chrome"},
       chromiumProbe("Com.Google.Chrome"),
       ScriptRunOutcome::success("normal")},
      {"finder folder",
       {.bundleID = "com.apple.finder", .frontFolder = " /Users/me/ \n"},
       finderFolder,
       ScriptRunOutcome::success(" /Users/me/ \n")},
      {"finder without windows",
       {.bundleID = "com.apple.finder", .windowCount = 0},
       finderFolder,
       ScriptRunOutcome::success("")},
      {"finder window without folder",
       {.bundleID = "com.apple.finder"},
       finderFolder,
       ScriptRunOutcome::failure(-1728, "Can't get target of front window.")},
      {"finder count", {.bundleID = "com.apple.finder", .windowCount = 3}, finderCount, ScriptRunOutcome::success("3")},
      {"refused",
       {.bundleID = "com.apple.finder", .errorNumber = -1743, .errorMessage = "Not authorised."},
       finderCount,
       ScriptRunOutcome::failure(-1743, "Not authorised.")},
      {"no string value",
       {.bundleID = "com.apple.finder", .noStringResult = true},
       finderCount,
       ScriptRunOutcome::success(std::nullopt)},
      {"other application not running",
       {.bundleID = "com.apple.finder"},
       chromiumMode("com.google.chrome"),
       ScriptRunOutcome::failure(-600, "Application isn't running.")},
      {"unknown script",
       {.bundleID = "com.apple.finder"},
       "return 1",
       ScriptRunOutcome::failure(-2700, "The simulated scripting engine does not know this script.")},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SimulatedScripting fresh(clock, faults);
    fresh.setApplication(c.application);
    EXPECT_EQ(fresh.run(c.source), c.expected);
    ASSERT_EQ(fresh.ranScripts().size(), 1U);
    EXPECT_EQ(fresh.ranScripts()[0].source, c.source);
    EXPECT_EQ(fresh.ranScripts()[0].outcome, c.expected);
  }
}

TEST_F(SimulatedScriptingTest, ReplacingAndRemovingApplications) {
  scripting.setApplication({.bundleID = "com.google.chrome"});
  scripting.setApplication({.bundleID = "COM.GOOGLE.CHROME", .frontWindowMode = "incognito"});
  EXPECT_EQ(scripting.run(chromiumMode("com.google.chrome")).result, "incognito");
  scripting.removeApplication("com.google.Chrome");
  EXPECT_EQ(scripting.run(chromiumMode("com.google.chrome")).errorNumber, -600);
}

TEST_F(SimulatedScriptingTest, CompileRefusalAndFaults) {
  scripting.setApplication({.bundleID = "com.apple.finder"});

  faults.arm("scripting.compile", FaultKind::fail, 1);
  EXPECT_EQ(scripting.run(finderCount).kind, ScriptRunOutcome::Kind::notCreated);
  EXPECT_EQ(scripting.run(finderCount), ScriptRunOutcome::success("1"));

  faults.arm("scripting.run", FaultKind::fail, 1);
  const ScriptRunOutcome failed = scripting.run(finderCount);
  EXPECT_EQ(failed.kind, ScriptRunOutcome::Kind::failed);
  EXPECT_EQ(failed.errorNumber, std::nullopt);

  faults.arm("scripting.run", FaultKind::empty, 1);
  EXPECT_EQ(scripting.run(finderCount), ScriptRunOutcome::success(std::nullopt));

  scripting.refuseCompile();
  EXPECT_EQ(scripting.run(finderCount).kind, ScriptRunOutcome::Kind::notCreated);
  scripting.refuseCompile(false);
  EXPECT_EQ(scripting.run(finderCount), ScriptRunOutcome::success("1"));
}

TEST_F(SimulatedScriptingTest, DelayedScriptEndsWhenTheClockReachesItsDelay) {
  scripting.setApplication({.bundleID = "com.apple.finder", .windowCount = 2, .delaySeconds = 30.0});
  auto pending = std::async(std::launch::async, [&] { return scripting.run(finderCount); });
  ASSERT_TRUE(scripting.waitForWaitingScripts(1));
  clock.advance(29.0);
  EXPECT_NE(pending.wait_for(std::chrono::milliseconds(0)), std::future_status::ready);
  clock.advance(1.0);
  EXPECT_EQ(pending.get(), ScriptRunOutcome::success("2"));
}

TEST_F(SimulatedScriptingTest, DelayBeyondTheScriptsOwnTimeoutFailsAtTheTimeout) {
  scripting.setApplication({.bundleID = "com.google.chrome", .delaySeconds = 5.0});
  auto pending = std::async(std::launch::async, [&] { return scripting.run(chromiumMode("com.google.chrome")); });
  ASSERT_TRUE(scripting.waitForWaitingScripts(1));
  clock.advance(1.0);
  const ScriptRunOutcome outcome = pending.get();
  EXPECT_EQ(outcome.kind, ScriptRunOutcome::Kind::failed);
  EXPECT_EQ(outcome.errorNumber, ScriptErrorNumber::timedOut);
}

TEST_F(SimulatedScriptingTest, HeldScriptsWaitForTheirRelease) {
  scripting.setApplication({.bundleID = "com.apple.finder"});
  scripting.holdScripts();
  auto first = std::async(std::launch::async, [&] { return scripting.run(finderCount); });
  auto second = std::async(std::launch::async, [&] { return scripting.run(finderCount); });
  ASSERT_TRUE(scripting.waitForWaitingScripts(2));
  EXPECT_TRUE(scripting.ranScripts().empty());
  scripting.releaseScripts();
  EXPECT_EQ(first.get(), ScriptRunOutcome::success("1"));
  EXPECT_EQ(second.get(), ScriptRunOutcome::success("1"));
  EXPECT_EQ(scripting.ranScripts().size(), 2U);
}

TEST_F(SimulatedScriptingTest, ScenarioDescribesApplications) {
  scripting.loadScenario(nlohmann::json::parse(R"({
    "refuseCompile": false,
    "applications": [
      {"bundleID": "com.apple.finder", "windowCount": 2, "frontFolder": "/Users/me/"},
      {"bundleID": "com.google.chrome", "frontWindowMode": "incognito"},
      {"bundleID": "com.microsoft.edgemac", "errorNumber": -609, "errorMessage": "gone", "delaySeconds": 0},
      {"bundleID": "com.brave.browser", "noStringResult": true}
    ]})"));
  EXPECT_EQ(scripting.run(finderFolder), ScriptRunOutcome::success("/Users/me/"));
  EXPECT_EQ(scripting.run(finderCount), ScriptRunOutcome::success("2"));
  EXPECT_EQ(scripting.run(chromiumMode("com.google.chrome")), ScriptRunOutcome::success("incognito"));
  EXPECT_EQ(scripting.run(chromiumProbe("com.microsoft.edgemac")), ScriptRunOutcome::failure(-609, "gone"));
  EXPECT_EQ(scripting.run(chromiumProbe("com.brave.browser")), ScriptRunOutcome::success(std::nullopt));
}

TEST_F(SimulatedScriptingTest, ScenarioFaultsNameTheirPathAndChangeNothing) {
  struct Case {
    const char* section;
    const char* path;
  };
  const std::vector<Case> cases{
      {R"({"apps": []})", "scripting.apps"},
      {R"({"applications": {}})", "scripting.applications"},
      {R"({"applications": [{"windowCount": 1}]})", "scripting.applications[0].bundleID"},
      {R"({"applications": [{"bundleID": "a"}, {"bundleID": "b", "mode": "x"}]})", "scripting.applications[1].mode"},
      {R"({"applications": [{"bundleID": "a", "errorNumber": 4294967296}]})", "scripting.applications[0].errorNumber"},
      {R"({"applications": [{"bundleID": "a", "delaySeconds": -1}]})", "scripting.applications[0].delaySeconds"},
      {R"({"applications": [{"bundleID": "a", "windowCount": -1}]})", "scripting.applications[0].windowCount"},
      {R"({"applications": [{"bundleID": "com.apple.finder"}], "refuseCompile": 1})", "scripting.refuseCompile"},
      {R"([])", "scripting"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.section);
    try {
      scripting.loadScenario(nlohmann::json::parse(c.section));
      ADD_FAILURE() << "accepted";
    } catch (const ScenarioError& error) {
      EXPECT_NE(std::string(error.what()).find(std::string(c.path) + ":"), std::string::npos) << error.what();
    }
  }
  EXPECT_EQ(scripting.run(finderCount).errorNumber, -600);
}

}  // namespace
}  // namespace Sablekit
