// The leak the harness found: the snapshot of a focused browser walks every
// window of the browser, so a private window the image cut out reached the
// parent through its accessibility nodes. A frame now takes no snapshot when
// another window of the focused application was cut out.
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "Sablekit/capture/CaptureHostServices.h"
#include "Sablekit/platform/simulated/SimulatedDesktop.h"
#include "Vistrel/VistrelMain.h"

namespace Sablekit {
namespace {

// Firefox in front with a news page; behind it, optionally, a private
// window of the same Firefox. The accessibility tree lists both windows.
std::string scenario(bool privateWindowBehind) {
  nlohmann::json windows = nlohmann::json::array();
  windows.push_back({{"windowNumber", 21},
                     {"ownerPID", 612},
                     {"title", "News — Mozilla Firefox"},
                     {"bounds", {{"x", 0}, {"y", 0}, {"width", 500}, {"height", 400}}}});
  nlohmann::json children = nlohmann::json::array();
  children.push_back(
      {{"id", "news"},
       {"attributes", {{"AXRole", "AXWindow"}, {"AXTitle", "News — Mozilla Firefox"}}},
       {"children", {{{"attributes", {{"AXRole", "AXWebArea"}, {"AXURL", {{"url", "https://news.example.org/"}}}}}}}}});
  if (privateWindowBehind) {
    windows.push_back({{"windowNumber", 22},
                       {"ownerPID", 612},
                       {"title", "Clinic booking — Mozilla Firefox Private Browsing"},
                       {"bounds", {{"x", 300}, {"y", 200}, {"width", 300}, {"height", 200}}}});
    children.push_back(
        {{"id", "clinic"},
         {"attributes", {{"AXRole", "AXWindow"}, {"AXTitle", "Clinic booking — Mozilla Firefox Private Browsing"}}}});
  }
  const nlohmann::json scenario = {
      {"process", {{"processID", 10}, {"parentProcessID", 300}}},
      {"displays", {{{"displayID", 1}, {"frame", {{"x", 0}, {"y", 0}, {"width", 800}, {"height", 600}}}}}},
      {"windows", windows},
      {"applications", {{{"processID", 612}, {"bundleID", "org.mozilla.firefox"}, {"localizedName", "Firefox"}}}},
      {"frontmostProcessID", 612},
      {"accessibility",
       {{"applications",
         {{{"processID", 612},
           {"id", "firefox"},
           {"attributes", {{"AXRole", "AXApplication"}, {"AXFocusedWindow", {{"element", "news"}}}}},
           {"children", children}}}}}}};
  return scenario.dump();
}

TEST(FocusedBrowserSnapshot, NoSnapshotWhenAnotherWindowOfTheBrowserWasCutOut) {
  struct Case {
    const char* name;
    bool privateWindowBehind;
    const char* params;
    bool walked;
  };
  const Case cases[] = {
      {"private window behind, default policy", true, "null", false},
      {"private window behind, private windows allowed", true, R"({"excludePrivateBrowsing": false})", true},
      {"the only window of the browser", false, "null", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const auto desktop = SimulatedDesktop::fromScenario(scenario(c.privateWindowBehind));
    CaptureHostServices services(*desktop);
    const std::string line = encodeResponse(
        VistrelMain::respond(services, std::string(R"({"id":1,"method":"capture.frame","params":)") + c.params + "}"));
    const nlohmann::json response = nlohmann::json::parse(line);
    ASSERT_TRUE(response.at("ok").get<bool>()) << line.substr(0, 300);
    const nlohmann::json& snapshot = response.at("result").at("accessibility");
    EXPECT_EQ(snapshot.at("bundleID"), "org.mozilla.firefox");
    EXPECT_EQ(snapshot.at("extractionMode") != "none", c.walked);
    EXPECT_EQ(line.find("Clinic booking") != std::string::npos, c.walked && c.privateWindowBehind);
  }
}

}  // namespace
}  // namespace Sablekit
