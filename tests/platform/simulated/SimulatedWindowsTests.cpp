// The simulated window server and workspace: scenario sections, desktop
// elements, faults and desktop-change subscriptions.
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "Sablekit/platform/simulated/SimulatedDesktop.h"
#include "Sablekit/platform/simulated/SimulatedWindowServer.h"
#include "Sablekit/platform/simulated/SimulatedWorkspace.h"

namespace Sablekit {
namespace {

using Json = nlohmann::json;

class SimulatedWindowsTest : public ::testing::Test {
 protected:
  FaultInjector faults;
  SimulatedWindowServer server{faults};
  SimulatedWorkspace workspace{faults};
};

TEST_F(SimulatedWindowsTest, ScenarioBuildsDisplaysAndWindowsFrontToBack) {
  server.loadScenario("displays", Json::parse(R"([
    {"displayID": 5, "frame": {"x": -1920, "y": 0, "width": 1920, "height": 1080}},
    {"displayID": 7, "frame": {"x": 0, "y": 0, "width": 1512, "height": 982}, "pixelsPerPoint": 2, "main": true}
  ])"));
  server.loadScenario("windows", Json::parse(R"([
    {"windowNumber": 11, "ownerPID": 300, "bounds": {"x": 0, "y": 25, "width": 800, "height": 600}, "title": "Doc"},
    {"windowNumber": 12, "ownerPID": 300, "layer": 3, "bounds": {"x": 1, "y": 2, "width": 3, "height": 4},
     "omit": ["bounds", "ownerPID"]},
    {"windowNumber": 13, "ownerPID": 400, "layer": -2147483603, "bounds": {"x": 0, "y": 0, "width": 1512, "height": 982}},
    {"windowNumber": 14, "ownerPID": 400, "layer": -20, "desktopElement": false,
     "bounds": {"x": 0, "y": 0, "width": 10, "height": 10},
     "content": {"fill": "#1A2b3C", "text": ["first", "", "third"], "textSize": 20.5}}
  ])"));

  EXPECT_EQ(server.displays(),
            (std::vector<SimulatedDisplay>{{5, {-1920, 0, 1920, 1080}, 1.0}, {7, {0, 0, 1512, 982}, 2.0}}));
  EXPECT_EQ(server.mainDisplayID(), 7u);
  EXPECT_EQ(server.displayBounds(5), (Rect{-1920, 0, 1920, 1080}));
  EXPECT_EQ(server.displayBounds(6), std::nullopt);

  const auto all = server.onScreenWindows(true);
  ASSERT_EQ(all.size(), 4u);
  EXPECT_EQ(all[0], SimulatedWindowServer::window(11, 300, {0, 25, 800, 600}, 0, "Doc"));
  EXPECT_EQ(all[1], (WindowListEntry{.windowNumber = 12, .layer = 3}));
  const auto withoutDesktop = server.onScreenWindows(false);
  ASSERT_EQ(withoutDesktop.size(), 3u) << "negative layers are desktop elements unless said otherwise";
  EXPECT_EQ(withoutDesktop[2].windowNumber, 14);
  EXPECT_EQ(
      server.windows()[3].content,
      (SimulatedWindowContent{std::array<std::uint8_t, 4>{0x3c, 0x2b, 0x1a, 0xff}, {"first", "", "third"}, 20.5}));
  EXPECT_EQ(server.windows()[0].content, SimulatedWindowContent{}) << "no fill of its own, no text";
}

TEST_F(SimulatedWindowsTest, ScenarioBuildsTheWorkspace) {
  workspace.loadScenario("applications", Json::parse(R"([
    {"processID": 300, "bundleID": " Com.Example.Editor ", "localizedName": "Editor", "bundleVersion": "88"},
    {"processID": 200}
  ])"));
  workspace.loadScenario("frontmostProcessID", Json(300));
  workspace.loadScenario("pointer", Json::parse(R"({"x": 10.5, "y": 20})"));

  const auto applications = workspace.runningApplications();
  ASSERT_EQ(applications.size(), 2u);
  EXPECT_EQ(
      applications[0],
      (RunningApplication{
          .processID = 300, .bundleID = " Com.Example.Editor ", .localizedName = "Editor", .bundleVersion = "88"}));
  EXPECT_EQ(applications[1], RunningApplication{.processID = 200});
  EXPECT_EQ(workspace.application(200), RunningApplication{.processID = 200});
  EXPECT_EQ(workspace.application(201), std::nullopt);
  EXPECT_EQ(workspace.frontmostProcessID(), 300);
  EXPECT_EQ(workspace.pointerLocation(), (Point{10.5, 20}));
}

TEST_F(SimulatedWindowsTest, FaultyScenariosNameThePath) {
  struct Case {
    const char* section;
    const char* json;
    const char* path;
  };
  const Case cases[] = {
      {"displays", R"({"displayID": 1})", "scenario displays: expected an array"},
      {"displays", R"([{"displayID": 1, "frame": {"x": 0, "y": 0, "width": 1, "height": 1}, "scale": 2}])",
       "scenario displays[0].scale: unknown key"},
      {"displays", R"([{"frame": {"x": 0, "y": 0, "width": 1, "height": 1}}])", "scenario displays[0].displayID"},
      {"displays", R"([{"displayID": -1, "frame": {"x": 0, "y": 0, "width": 1, "height": 1}}])",
       "scenario displays[0].displayID: integer out of range"},
      {"displays", R"([{"displayID": 1, "frame": {"x": 0, "y": 0, "width": 1}}])", "scenario displays[0].frame"},
      {"displays", R"([{"displayID": 1, "frame": {"x": 0, "y": 0, "width": 1, "height": 1}, "pixelsPerPoint": 0}])",
       "scenario displays[0].pixelsPerPoint"},
      {"displays",
       R"([{"displayID": 1, "frame": {"x": 0, "y": 0, "width": 1, "height": 1}, "main": true},
           {"displayID": 2, "frame": {"x": 1, "y": 0, "width": 1, "height": 1}, "main": true}])",
       "scenario displays[1].main"},
      {"windows", R"([{"windowNumber": 1, "ownerPID": 2}])", "scenario windows[0].bounds: missing"},
      {"windows", R"([{"windowNumber": 1, "ownerPID": 2, "omit": ["bounds"], "titel": "x"}])",
       "scenario windows[0].titel: unknown key"},
      {"windows", R"([{"windowNumber": 1, "ownerPID": 2, "omit": ["size"]}])", "scenario windows[0].omit[0]"},
      {"windows", R"([{"windowNumber": "1", "ownerPID": 2, "omit": ["bounds"]}])",
       "scenario windows[0].windowNumber: expected an integer"},
      {"windows", R"([{"windowNumber": 1, "ownerPID": 2, "omit": ["bounds"], "content": {"fill": "#12345"}}])",
       "scenario windows[0].content.fill: expected a colour"},
      {"windows", R"([{"windowNumber": 1, "ownerPID": 2, "omit": ["bounds"], "content": {"fill": "123456g"}}])",
       "scenario windows[0].content.fill: expected a colour"},
      {"windows", R"([{"windowNumber": 1, "ownerPID": 2, "omit": ["bounds"], "content": {"text": ["a", 2]}}])",
       "scenario windows[0].content.text[1]: expected a string"},
      {"windows", R"([{"windowNumber": 1, "ownerPID": 2, "omit": ["bounds"], "content": {"textSize": 0.5}}])",
       "scenario windows[0].content.textSize"},
      {"windows", R"([{"windowNumber": 1, "ownerPID": 2, "omit": ["bounds"], "content": {"colour": "#000000"}}])",
       "scenario windows[0].content.colour: unknown key"},
      {"applications", R"([{"processID": 1}, {"processID": 1}])", "scenario applications[1].processID"},
      {"applications", R"([{"processID": 1, "version": "1"}])", "scenario applications[0].version: unknown key"},
      {"frontmostProcessID", R"("300")", "scenario frontmostProcessID: expected an integer"},
      {"pointer", R"({"x": 1})", "scenario pointer: needs x and y"},
      {"keyboard", R"({})", "scenario keyboard: unknown section"},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(std::string(test.section) + " " + test.json);
    const Json section = Json::parse(test.json);
    const bool serverSection = std::string(test.section) == "displays" || std::string(test.section) == "windows";
    try {
      if (serverSection) {
        server.loadScenario(test.section, section);
      } else {
        workspace.loadScenario(test.section, section);
      }
      ADD_FAILURE() << "loaded";
    } catch (const ScenarioError& error) {
      EXPECT_EQ(std::string(error.what()).rfind(test.path, 0), 0u) << error.what();
    }
  }
}

TEST_F(SimulatedWindowsTest, FaultsMakeAnswersEmptyOrAbsent) {
  server.addDisplay({.displayID = 3, .frame = {0, 0, 100, 100}});
  server.addWindow(SimulatedWindowServer::window(1, 2, {0, 0, 10, 10}));
  workspace.addApplication({.processID = 2, .shortVersionString = "1.0", .bundleVersion = "10"});
  workspace.setFrontmostProcessID(2);
  for (const auto operation :
       {SimulatedOperation::onScreenWindows, SimulatedOperation::mainDisplayID, SimulatedOperation::displayBounds,
        SimulatedOperation::runningApplications, SimulatedOperation::application, SimulatedOperation::bundleVersions,
        SimulatedOperation::frontmostProcessID}) {
    faults.arm(std::string(operation), FaultKind::fail, 1);
  }
  EXPECT_TRUE(server.onScreenWindows(true).empty());
  EXPECT_EQ(server.mainDisplayID(), std::nullopt);
  EXPECT_EQ(server.displayBounds(3), std::nullopt);
  EXPECT_TRUE(workspace.runningApplications().empty());
  EXPECT_EQ(workspace.application(2), std::nullopt);
  EXPECT_EQ(workspace.application(2), RunningApplication{.processID = 2}) << "bundle unreadable: no versions";
  EXPECT_EQ(workspace.frontmostProcessID(), std::nullopt);

  // Each fault was armed once; the next calls answer normally.
  EXPECT_EQ(server.onScreenWindows(true).size(), 1u);
  EXPECT_EQ(server.mainDisplayID(), 3u);
  EXPECT_EQ(workspace.application(2)->bundleVersion, "10");
  EXPECT_EQ(workspace.frontmostProcessID(), 2);
}

TEST_F(SimulatedWindowsTest, DesktopSwitchReachesLiveSubscriptionsOnly) {
  int first = 0;
  int second = 0;
  auto kept = workspace.observeDesktopChanges([&] { ++first; });
  auto dropped = workspace.observeDesktopChanges([&] { ++second; });
  workspace.switchDesktop();
  dropped.reset();
  workspace.switchDesktop();
  EXPECT_EQ(first, 2);
  EXPECT_EQ(second, 1);
  EXPECT_EQ(workspace.desktopObserverCount(), 1u);

  // A handler may end its own subscription without waiting on itself.
  std::unique_ptr<Subscription> selfEnding;
  int selfCalls = 0;
  selfEnding = workspace.observeDesktopChanges([&] {
    ++selfCalls;
    selfEnding.reset();
  });
  workspace.switchDesktop();
  workspace.switchDesktop();
  EXPECT_EQ(selfCalls, 1);
  EXPECT_EQ(first, 4);
}

}  // namespace
}  // namespace Sablekit
