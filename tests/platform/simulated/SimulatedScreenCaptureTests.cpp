// Tests for the simulated screen-capture service: content derived from the
// desktop, omitted windows, composited screenshots (filters, area-averaged
// scaling, text), faults and its scenario section.
#include <algorithm>

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

using Colour = std::array<std::uint8_t, 4>;

Colour colourAt(const PixelImage& image, std::int64_t x, std::int64_t y) {
  const std::uint8_t* pixel = image.pixel(x, y);
  return {pixel[0], pixel[1], pixel[2], pixel[3]};
}

bool anyPixelIs(const PixelImage& image, const Colour& colour) {
  for (std::size_t offset = 0; offset < image.bgra.size(); offset += 4) {
    if (std::equal(colour.begin(), colour.end(), image.bgra.begin() + static_cast<std::ptrdiff_t>(offset))) {
      return true;
    }
  }
  return false;
}

// A display of 200 by 100 points at two pixels per point. Process 7 has a
// window in front of process 8's large window and another one on its own;
// the right of the display shows the desktop.
class CompositorTest : public ::testing::Test {
 protected:
  static constexpr Colour front{0x10, 0x20, 0xf0, 0xff};  // window 1, process 7
  static constexpr Colour back{0xe0, 0xd0, 0x30, 0xff};   // window 2, process 8
  static constexpr Colour aside{0x50, 0xa0, 0x40, 0xff};  // window 3, process 7
  static constexpr Colour black{0, 0, 0, 0xff};
  const ShareableDisplay display{1, {0, 0, 200, 100}, 2};

  CompositorTest() {
    desktop.simulatedWindowServer()
        .addDisplay({1, display.frame, 2})
        .addWindow(SimulatedWindowServer::window(1, 7, {20, 20, 60, 40}), false, {.fill = front})
        .addWindow(SimulatedWindowServer::window(2, 8, {0, 0, 120, 100}), false, {.fill = back})
        .addWindow(SimulatedWindowServer::window(3, 7, {150, 10, 40, 40}), false, {.fill = aside});
  }

  PixelImage shot(const CaptureFilter& filter, std::int64_t width, std::int64_t height) {
    auto taken = desktop.screenCapture().screenshot(filter, ScreenshotConfiguration{.width = width, .height = height});
    if (const auto* error = std::get_if<ScreenCaptureError>(&taken)) {
      ADD_FAILURE() << error->description;
      return {};
    }
    return std::get<PixelImage>(std::move(taken));
  }

  SimulatedDesktop desktop;
};

TEST_F(CompositorTest, FiltersShowExactlyTheirWindowsAndWhatLiesBeneathAtEverySize) {
  struct Sample {
    Point at;  // display points, well inside one area
    Colour expected;
  };
  struct Case {
    const char* name;
    CaptureFilter filter;
    std::vector<Sample> samples;
    std::vector<Colour> absent;
  };
  const Colour desk = SimulatedScreenCapture::backgroundColour;
  const auto excluding = [&](std::vector<std::uint32_t> ids) {
    return CaptureFilter{.display = display, .excludedWindowIDs = std::move(ids)};
  };
  const auto onlyProcess = [&](std::int32_t processID) {
    return CaptureFilter{
        .kind = CaptureFilter::Kind::displayIncludingApplication, .display = display, .includedProcessID = processID};
  };
  const Case cases[] = {
      {"everything", excluding({}), {{{50, 40}, front}, {{100, 80}, back}, {{170, 30}, aside}, {{130, 90}, desk}}, {}},
      {"the front window cut out shows the one beneath",
       excluding({1}),
       {{{50, 40}, back}, {{100, 80}, back}, {{170, 30}, aside}},
       {front}},
      {"both cut out show the desktop", excluding({1, 2}), {{{50, 40}, desk}, {{170, 30}, aside}}, {front, back}},
      {"one application on black",
       onlyProcess(7),
       {{{50, 40}, front}, {{170, 30}, aside}, {{100, 80}, black}, {{130, 90}, black}},
       {back, desk}},
      {"the other application, without the window in front of it",
       onlyProcess(8),
       {{{50, 40}, back}, {{170, 30}, black}},
       {front, aside, desk}},
  };
  const std::pair<std::int64_t, std::int64_t> sizes[] = {{400, 200}, {160, 80}, {1000, 500}, {97, 31}};
  for (const Case& c : cases) {
    for (const auto& [width, height] : sizes) {
      SCOPED_TRACE(std::string(c.name) + " at " + std::to_string(width) + "x" + std::to_string(height));
      const PixelImage image = shot(c.filter, width, height);
      ASSERT_EQ(image.width, width);
      ASSERT_EQ(image.height, height);
      ASSERT_EQ(image.bgra.size(), static_cast<std::size_t>(width * height * 4));
      for (const Sample& sample : c.samples) {
        const auto x = static_cast<std::int64_t>(sample.at.x * static_cast<double>(width) / 200);
        const auto y = static_cast<std::int64_t>(sample.at.y * static_cast<double>(height) / 100);
        EXPECT_EQ(colourAt(image, x, y), sample.expected) << "at " << sample.at.x << "," << sample.at.y;
      }
      for (const Colour& colour : c.absent) {
        EXPECT_FALSE(anyPixelIs(image, colour)) << "a filtered-out colour survived";
      }
    }
  }
}

TEST_F(CompositorTest, ScalingAveragesTheAreaEachOutputPixelCovers) {
  // Four display pixels in a row, the first white, the rest black.
  SimulatedDesktop row;
  row.simulatedWindowServer()
      .addDisplay({1, {0, 0, 4, 1}, 1})
      .addWindow(SimulatedWindowServer::window(1, 7, {0, 0, 1, 1}), false, {.fill = Colour{0xff, 0xff, 0xff, 0xff}});
  const CaptureFilter filter{.kind = CaptureFilter::Kind::displayIncludingApplication,
                             .display = {1, {0, 0, 4, 1}, 1},
                             .includedProcessID = 7};
  struct Case {
    std::int64_t width;
    std::vector<std::uint8_t> firstChannel;  // blue of each output pixel, left to right
  };
  const Case cases[] = {
      {4, {255, 0, 0, 0}},
      {2, {128, 0}},     // half white
      {3, {191, 0, 0}},  // three quarters of the first output pixel is white
      {1, {64}},         // a quarter of the whole row
      {8, {255, 255, 0, 0, 0, 0, 0, 0}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.width);
    auto taken = row.screenCapture().screenshot(filter, {.width = c.width, .height = 1});
    const auto& image = std::get<PixelImage>(taken);
    ASSERT_EQ(image.width, c.width);
    for (std::int64_t x = 0; x < c.width; ++x) {
      EXPECT_EQ(image.pixel(x, 0)[0], c.firstChannel[static_cast<std::size_t>(x)]) << "pixel " << x;
      EXPECT_EQ(image.pixel(x, 0)[3], 0xff);
    }
  }
}

TEST_F(CompositorTest, TextIsDrawnInItsWindowOnlyWhereTheWindowIsVisible) {
  const Colour paper{0xf0, 0xf0, 0xf0, 0xff};
  const Colour cover{0xe0, 0xf8, 0xf8, 0xff};
  desktop.simulatedWindowServer().setWindows({
      {SimulatedWindowServer::window(1, 7, {100, 0, 100, 100}), false, {.fill = cover}},
      {SimulatedWindowServer::window(2, 8, {0, 0, 200, 100}),
       false,
       {.fill = paper, .text = {std::string(40, 'W'), "Second line"}, .textSize = 14}},
  });
  // Pixels of the back window other than its fill, and how many of them are
  // dark; the window in front must keep its plain fill.
  const auto ink = [&](const PixelImage& image) {
    std::pair<std::int64_t, std::int64_t> counts{0, 0};
    for (std::int64_t y = 0; y < 200; ++y) {
      for (std::int64_t x = 0; x < 400; ++x) {
        const Colour colour = colourAt(image, x, y);
        if (x >= 200) {
          EXPECT_EQ(colour, cover) << "text leaked into the window in front at " << x << "," << y;
          if (colour != cover) {
            return counts;
          }
        } else if (colour != paper) {
          ++counts.first;
          counts.second += colour[1] < 0x60 ? 1 : 0;
        }
      }
    }
    return counts;
  };
  const auto [inked, dark] = ink(shot({.display = display}, 400, 200));
  // Two lines of 28-pixel glyphs leave thousands of pixels inked, many fully dark.
  EXPECT_GT(inked, 2000);
  EXPECT_GT(dark, 500);
  desktop.simulatedWindowServer().setContent(2, {.fill = paper});
  EXPECT_EQ(ink(shot({.display = display}, 400, 200)), (std::pair<std::int64_t, std::int64_t>{0, 0}));
}

TEST_F(CompositorTest, TextNeedsAReadableFontAndSaysWhichFileItLacked) {
  desktop.simulatedScreenCapture().setFontPath("/nonexistent/Font.ttf");
  const ScreenshotConfiguration size{.width = 40, .height = 20};
  EXPECT_TRUE(std::holds_alternative<PixelImage>(desktop.screenCapture().screenshot({.display = display}, size)))
      << "no text, no font needed";
  desktop.simulatedWindowServer().setContent(2, {.text = {"hello"}});
  const auto failed = desktop.screenCapture().screenshot({.display = display}, size);
  ASSERT_TRUE(std::holds_alternative<ScreenCaptureError>(failed));
  const std::string& description = std::get<ScreenCaptureError>(failed).description;
  EXPECT_NE(description.find("/nonexistent/Font.ttf"), std::string::npos) << description;
  EXPECT_NE(description.find("fonts-dejavu-core"), std::string::npos) << description;
}

TEST_F(CompositorTest, SizesOutsideTheSupportedRangeAreErrors) {
  const std::pair<std::int64_t, std::int64_t> sizes[] = {{0, 10}, {10, -1}, {SimulatedCompositor::maximumSide + 1, 2}};
  for (const auto& [width, height] : sizes) {
    SCOPED_TRACE(std::to_string(width) + "x" + std::to_string(height));
    EXPECT_TRUE(std::holds_alternative<ScreenCaptureError>(
        desktop.screenCapture().screenshot({.display = display}, {.width = width, .height = height})));
  }
  const CaptureFilter huge{.display = {1, {0, 0, 1e9, 100}, 2}};
  EXPECT_TRUE(std::holds_alternative<ScreenCaptureError>(
      desktop.screenCapture().screenshot(huge, {.width = 10, .height = 10})));
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
