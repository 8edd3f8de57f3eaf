#include <cstdio>
#include <fstream>

#include <gtest/gtest.h>

#include "Sablekit/platform/simulated/SimulatedDesktop.h"

namespace Sablekit {
namespace {

TEST(SimulatedDesktop, BuildersSetWhatThePlatformServicesAnswer) {
  SimulatedDesktop desktop;
  desktop.setProcess(900, 12).setScreenRecordingGranted(false).setAccessibilityTrusted(true);
  Platform& platform = desktop;
  EXPECT_EQ(platform.processIdentity().processID(), 900);
  EXPECT_EQ(platform.processIdentity().parentProcessID(), 12);
  EXPECT_FALSE(platform.permissions().screenRecordingPreflight());
  EXPECT_TRUE(platform.permissions().accessibilityTrusted());
}

TEST(SimulatedDesktop, ScenarioLoadsEverySection) {
  const auto desktop = SimulatedDesktop::fromScenario(R"({
    "description": "two permissions off",
    "process": {"processID": 31, "parentProcessID": 30},
    "permissions": {"screenRecording": false, "accessibilityTrusted": false},
    "clock": {"startMilliseconds": 1000000},
    "faults": [{"operation": "custom.operation", "kind": "empty", "times": 2}]
  })");
  EXPECT_EQ(desktop->processIdentity().processID(), 31);
  EXPECT_EQ(desktop->processIdentity().parentProcessID(), 30);
  EXPECT_FALSE(desktop->permissions().screenRecordingPreflight());
  EXPECT_FALSE(desktop->permissions().accessibilityTrusted());
  EXPECT_DOUBLE_EQ(desktop->clock().now(), 1000.0);
  EXPECT_EQ(desktop->faults().take("custom.operation"), FaultKind::empty);
  EXPECT_EQ(desktop->faults().take("custom.operation"), FaultKind::empty);
  EXPECT_FALSE(desktop->faults().take("custom.operation").has_value()) << "armed for two calls only";
}

TEST(SimulatedDesktop, BadScenariosAreRefusedWithThePathOfTheFault) {
  struct Case {
    const char* scenario;
    const char* expectedInMessage;
  };
  const Case cases[] = {
      {"not json", "not JSON"},
      {"[]", "top level"},
      {R"({"windws": []})", "windws: unknown section"},
      {R"({"permissions": {"screenRecording": "yes"}})", "permissions.screenRecording"},
      {R"({"permissions": {"screenRec": true}})", "permissions.screenRec: unknown key"},
      {R"({"process": {}})", "needs processID or parentProcessID"},
      {R"({"process": {"processID": 4294967296, "parentProcessID": 1}})", "out of range"},
      {R"({"faults": [{"operation": "x", "kind": "explode"}]})", "faults[0].kind"},
      {R"({"faults": [{"kind": "fail"}]})", "faults[0].operation"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.scenario);
    try {
      SimulatedDesktop::fromScenario(c.scenario);
      ADD_FAILURE() << "scenario was accepted";
    } catch (const ScenarioError& error) {
      EXPECT_NE(std::string(error.what()).find(c.expectedInMessage), std::string::npos) << error.what();
    }
  }
}

TEST(SimulatedDesktop, InjectedFaultsMakePermissionChecksAnswerFalse) {
  SimulatedDesktop desktop;
  desktop.faults().arm(std::string(SimulatedOperation::screenRecordingPreflight), FaultKind::fail, 1);
  desktop.faults().arm(std::string(SimulatedOperation::accessibilityTrusted), FaultKind::empty);
  EXPECT_FALSE(desktop.permissions().screenRecordingPreflight());
  EXPECT_TRUE(desktop.permissions().screenRecordingPreflight()) << "the fault was armed for one call";
  EXPECT_FALSE(desktop.permissions().accessibilityTrusted());
  EXPECT_FALSE(desktop.permissions().accessibilityTrusted()) << "armed without a count: every call";
  desktop.faults().clear(SimulatedOperation::accessibilityTrusted);
  EXPECT_TRUE(desktop.permissions().accessibilityTrusted());
}

TEST(SimulatedDesktop, ScenarioFilesLoadAndMissingFilesAreReported) {
  const std::string path = ::testing::TempDir() + "/scenario.json";
  std::ofstream(path) << R"({"permissions": {"accessibilityTrusted": false}})";
  EXPECT_FALSE(SimulatedDesktop::fromScenarioFile(path)->permissions().accessibilityTrusted());
  std::remove(path.c_str());
  EXPECT_THROW(SimulatedDesktop::fromScenarioFile(path), ScenarioError);
}

TEST(SimulatedDesktop, TheDemoLoads) {
  EXPECT_NO_THROW(SimulatedDesktop::demo());
}

}  // namespace
}  // namespace Sablekit

namespace Sablekit {
namespace {

TEST(SimulatedDesktop, EachScenarioSectionReachesTheServiceThatReadsIt) {
  const auto desktop = SimulatedDesktop::fromScenario(R"({
    "displays": [{"displayID": 7, "frame": {"x": 0, "y": 0, "width": 800, "height": 600}, "main": true}],
    "windows": [{"windowNumber": 41, "ownerPID": 501, "bounds": {"x": 10, "y": 10, "width": 300, "height": 200}}],
    "applications": [{"processID": 501, "bundleID": "com.example.Editor", "localizedName": "Editor"}],
    "frontmostProcessID": 501,
    "pointer": {"x": 5, "y": 6}
  })");
  Platform& platform = *desktop;
  EXPECT_EQ(platform.windowServer().mainDisplayID(), 7u);
  ASSERT_EQ(platform.windowServer().onScreenWindows(true).size(), 1u);
  EXPECT_EQ(platform.windowServer().onScreenWindows(true)[0].windowNumber, 41);
  EXPECT_EQ(platform.workspace().frontmostProcessID(), 501);
  ASSERT_TRUE(platform.workspace().application(501).has_value());
  EXPECT_EQ(platform.workspace().application(501)->localizedName, "Editor");
  EXPECT_EQ(platform.workspace().pointerLocation(), (Point{5, 6}));
}

TEST(SimulatedDesktop, AFaultInASectionNamesItsPath) {
  try {
    SimulatedDesktop::fromScenario(R"({"windows": [{"windowNumber": 1, "titel": "x"}]})");
    FAIL() << "a misspelt key was accepted";
  } catch (const ScenarioError& error) {
    EXPECT_NE(std::string(error.what()).find("windows[0].titel"), std::string::npos) << error.what();
  }
}

}  // namespace
}  // namespace Sablekit
