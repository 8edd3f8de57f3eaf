// Tests for the simulated screen-capture service: content derived from the
// desktop, omitted windows, painted screenshots, faults and its scenario section.
#include <gtest/gtest.h>

#include "Sablekit/platform/simulated/SimulatedDesktop.h"

namespace Sablekit {
namespace {

TEST(SimulatedScreenCaptureTest, ContentFollowsTheDesktopAndLeavesOutOmittedWindows) {
  const auto desktop = SimulatedDesktop::fromScenario(R"({
    "displays": [{"displayID": 4, "frame": {"x": 0, "y": 0, "width": 100, "height": 50}, "pixelsPerPoint": 2}],
    "windows": [
      {"windowNumber": 1, "ownerPID": 7, "layer": 0, "bounds": {"x": 0, "y": 0, "width": 50, "height": 50}},
      {"windowNumber": 2, "ownerPID": 7, "layer": 0, "bounds": {"x": 50, "y": 0, "width": 50, "height": 50}},
      {"windowNumber": 3, "ownerPID": 7, "layer": -1, "bounds": {"x": 0, "y": 0, "width": 100, "height": 50},
       "desktopElement": true}
    ],
    "applications": [{"processID": 7, "bundleID": "com.example.a"}],
    "shareableContent": {"omitWindowIDs": [2]}
  })");
  const auto content = std::get<ShareableContent>(desktop->screenCapture().shareableContent());
  ASSERT_EQ(content.displays.size(), 1u);
  EXPECT_EQ(content.displays[0], (ShareableDisplay{4, {0, 0, 100, 50}, 2}));
  ASSERT_EQ(content.windows.size(), 2u);
  EXPECT_EQ(content.windows[0].windowID, 1u);
  EXPECT_EQ(content.windows[1].windowID, 3u);  // desktop windows are shareable too
  EXPECT_EQ(content.applications, std::vector<ShareableApplication>{{7}});
}

TEST(SimulatedScreenCaptureTest, ScreenshotsPaintIncludedWindowsFrontOnTop) {
  SimulatedDesktop desktop;
  desktop.simulatedWindowServer()
      .addDisplay({1, {0, 0, 100, 100}, 1})
      .addWindow(SimulatedWindowServer::window(1, 7, {0, 0, 50, 50}))
      .addWindow(SimulatedWindowServer::window(2, 8, {0, 0, 100, 100}));
  const ShareableDisplay display{1, {0, 0, 100, 100}, 1};
  const auto colourAt = [](const PixelImage& image, std::int64_t x, std::int64_t y) {
    const std::uint8_t* pixel = image.pixel(x, y);
    return std::array<std::uint8_t, 4>{pixel[0], pixel[1], pixel[2], pixel[3]};
  };
  const ScreenshotConfiguration half{.width = 50, .height = 50};
  const auto all = std::get<PixelImage>(desktop.screenCapture().screenshot({.display = display}, half));
  EXPECT_EQ(all.width, 50);
  EXPECT_EQ(colourAt(all, 10, 10), SimulatedScreenCapture::windowColour(1));
  EXPECT_EQ(colourAt(all, 40, 40), SimulatedScreenCapture::windowColour(2));
  const auto withoutFront =
      std::get<PixelImage>(desktop.screenCapture().screenshot({.display = display, .excludedWindowIDs = {1}}, half));
  EXPECT_EQ(colourAt(withoutFront, 10, 10), SimulatedScreenCapture::windowColour(2));
  const CaptureFilter onlySeven{
      .kind = CaptureFilter::Kind::displayIncludingApplication, .display = display, .includedProcessID = 7};
  const auto application = std::get<PixelImage>(desktop.screenCapture().screenshot(onlySeven, half));
  EXPECT_EQ(colourAt(application, 10, 10), SimulatedScreenCapture::windowColour(1));
  EXPECT_NE(colourAt(application, 40, 40), SimulatedScreenCapture::windowColour(2));
  EXPECT_EQ(desktop.simulatedScreenCapture().lastFilter(), onlySeven);
  EXPECT_EQ(desktop.simulatedScreenCapture().lastConfiguration(), half);
}

TEST(SimulatedScreenCaptureTest, FaultsTurnIntoErrorsOrEmptyContent) {
  SimulatedDesktop desktop;
  desktop.simulatedWindowServer().addDisplay({1, {0, 0, 10, 10}, 1});
  desktop.faults().arm("screenCapture.shareableContent", FaultKind::fail, 1);
  EXPECT_TRUE(std::holds_alternative<ScreenCaptureError>(desktop.screenCapture().shareableContent()));
  desktop.faults().arm("screenCapture.shareableContent", FaultKind::empty, 1);
  EXPECT_EQ(std::get<ShareableContent>(desktop.screenCapture().shareableContent()), ShareableContent{});
  EXPECT_EQ(std::get<ShareableContent>(desktop.screenCapture().shareableContent()).displays.size(), 1u);
  desktop.faults().arm("screenCapture.screenshot", FaultKind::empty, 1);
  EXPECT_TRUE(std::holds_alternative<ScreenCaptureError>(
      desktop.screenCapture().screenshot({}, ScreenshotConfiguration{.width = 2, .height = 2})));
}

TEST(SimulatedScreenCaptureTest, TheScenarioChangesTheDesktopDuringTheFirstScreenshotOnly) {
  const auto desktop = SimulatedDesktop::fromScenario(R"({
    "windows": [{"windowNumber": 1, "ownerPID": 7, "layer": 0, "bounds": {"x": 0, "y": 0, "width": 5, "height": 5}}],
    "frontmostProcessID": 7,
    "shareableContent": {"duringFirstScreenshot": {"frontmostProcessID": 8,
        "moveWindow": {"windowNumber": 1, "bounds": {"x": 1, "y": 2, "width": 3, "height": 4}}}}
  })");
  const ScreenshotConfiguration tiny{.width = 2, .height = 2};
  desktop->screenCapture().screenshot({}, tiny);
  EXPECT_EQ(desktop->workspace().frontmostProcessID(), 8);
  EXPECT_EQ(desktop->simulatedWindowServer().windows()[0].entry.bounds, (Rect{1, 2, 3, 4}));
  desktop->simulatedWorkspace().setFrontmostProcessID(7);
  desktop->screenCapture().screenshot({}, tiny);
  EXPECT_EQ(desktop->workspace().frontmostProcessID(), 7);
}

TEST(SimulatedScreenCaptureTest, TheScenarioSectionIsReadStrictly) {
  struct Case {
    const char* section;
    const char* path;
  };
  const Case cases[] = {
      {R"({"omit": []})", "shareableContent.omit"},
      {R"({"omitWindowIDs": [-1]})", "shareableContent.omitWindowIDs[0]"},
      {R"({"duringFirstScreenshot": {"moveWindow": {"windowNumber": 1}}})",
       "shareableContent.duringFirstScreenshot.moveWindow"},
      {R"({"duringFirstScreenshot": {"frontmost": 1}})", "shareableContent.duringFirstScreenshot.frontmost"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.section);
    try {
      SimulatedDesktop::fromScenario(std::string(R"({"shareableContent": )") + c.section + "}");
      ADD_FAILURE() << "accepted";
    } catch (const ScenarioError& error) {
      EXPECT_NE(std::string(error.what()).find(c.path), std::string::npos) << error.what();
    }
  }
}

}  // namespace
}  // namespace Sablekit
