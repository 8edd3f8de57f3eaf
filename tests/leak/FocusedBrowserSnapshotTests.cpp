// The snapshot of a focused browser walks the browser's accessibility tree,
// which lists every window of it: private ones behind the focused window,
// minimised ones, windows on listed sites. A frame's snapshot must carry none
// of the windows its image left out, and only those.
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "Sablekit/capture/CaptureHostServices.h"
#include "Sablekit/platform/simulated/SimulatedDesktop.h"
#include "Vistrel/VistrelMain.h"

namespace Sablekit {
namespace {

// Another window of the focused Firefox besides its news page.
enum class Other {
  none,
  privateBehind,       // on screen, behind the news page
  minimisedPrivate,    // in the tree only
  excludedSiteBehind,  // on screen, on a site the request lists
};

nlohmann::json box(double x, double y, double width, double height) {
  return {{"x", x}, {"y", y}, {"width", width}, {"height", height}};
}

// A window element with the frame the window list gives the window, and
// its page as a web area whose title is the page's own text.
nlohmann::json windowElement(const std::string& id,
                             const std::string& title,
                             const nlohmann::json& bounds,
                             const std::string& url,
                             const std::string& pageText,
                             bool minimised) {
  return {
      {"id", id},
      {"attributes",
       {{"AXRole", "AXWindow"},
        {"AXTitle", title},
        {"AXMinimized", minimised},
        {"AXPosition", {{"point", {bounds["x"], bounds["y"]}}}},
        {"AXSize", {{"size", {bounds["width"], bounds["height"]}}}}}},
      {"children", {{{"attributes", {{"AXRole", "AXWebArea"}, {"AXTitle", pageText}, {"AXURL", {{"url", url}}}}}}}}};
}

std::string scenario(Other other) {
  const nlohmann::json newsBounds = box(0, 0, 500, 400);
  const nlohmann::json otherBounds = box(300, 200, 300, 200);
  nlohmann::json windows = nlohmann::json::array();
  windows.push_back(
      {{"windowNumber", 21}, {"ownerPID", 612}, {"title", "News — Mozilla Firefox"}, {"bounds", newsBounds}});
  nlohmann::json children = nlohmann::json::array();
  children.push_back(
      windowElement("news", "News — Mozilla Firefox", newsBounds, "https://news.example.org/", "Headlines", false));
  switch (other) {
    case Other::none:
      break;
    case Other::privateBehind:
    case Other::minimisedPrivate: {
      const std::string title = "Clinic booking — Mozilla Firefox Private Browsing";
      const bool minimised = other == Other::minimisedPrivate;
      if (!minimised) {
        windows.push_back({{"windowNumber", 22}, {"ownerPID", 612}, {"title", title}, {"bounds", otherBounds}});
      }
      children.push_back(
          windowElement("clinic", title, otherBounds, "https://clinic.example.net/", "Appointments", minimised));
      break;
    }
    case Other::excludedSiteBehind:
      windows.push_back(
          {{"windowNumber", 22}, {"ownerPID", 612}, {"title", "Statement — Mozilla Firefox"}, {"bounds", otherBounds}});
      children.push_back(windowElement("bank", "Statement — Mozilla Firefox", otherBounds, "https://www.bank.example/",
                                       "Balance", false));
      break;
  }
  const nlohmann::json scenario = {
      {"process", {{"processID", 10}, {"parentProcessID", 300}}},
      {"displays", {{{"displayID", 1}, {"frame", box(0, 0, 800, 600)}}}},
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

TEST(FocusedBrowserSnapshot, CarriesOnlyTheWindowsTheImageShows) {
  struct Case {
    const char* name;
    Other other;
    const char* params;
    bool otherInSnapshot;
  };
  const Case cases[] = {
      {"the only window of the browser", Other::none, "null", false},
      {"private window behind, default policy", Other::privateBehind, "null", false},
      {"private window behind, private windows allowed", Other::privateBehind, R"({"excludePrivateBrowsing": false})",
       true},
      {"minimised private window, private windows allowed", Other::minimisedPrivate,
       R"({"excludePrivateBrowsing": false})", false},
      {"minimised private window, default policy", Other::minimisedPrivate, "null", false},
      {"window on a listed site behind", Other::excludedSiteBehind,
       R"({"excludePrivateBrowsing": false, "excludedDomains": ["bank.example"]})", false},
      {"window on an unlisted site behind", Other::excludedSiteBehind, R"({"excludePrivateBrowsing": false})", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const auto desktop = SimulatedDesktop::fromScenario(scenario(c.other));
    CaptureHostServices services(*desktop);
    const std::string line = encodeResponse(
        VistrelMain::respond(services, std::string(R"({"id":1,"method":"capture.frame","params":)") + c.params + "}"));
    const nlohmann::json response = nlohmann::json::parse(line);
    ASSERT_TRUE(response.at("ok").get<bool>()) << line.substr(0, 300);
    const nlohmann::json& snapshot = response.at("result").at("accessibility");
    EXPECT_EQ(snapshot.at("extractionMode"), "static");
    EXPECT_FALSE(snapshot.at("partial").get<bool>());
    const std::string text = snapshot.at("searchableText").get<std::string>();
    EXPECT_NE(text.find("Headlines"), std::string::npos) << text;
    if (c.otherInSnapshot) {
      EXPECT_TRUE(text.find("Appointments") != std::string::npos || text.find("Balance") != std::string::npos) << text;
      continue;
    }
    for (const char* word :
         {"Clinic booking", "Appointments", "clinic.example", "Statement", "Balance", "bank.example"}) {
      EXPECT_EQ(line.find(word), std::string::npos) << word;
    }
  }
}

}  // namespace
}  // namespace Sablekit
