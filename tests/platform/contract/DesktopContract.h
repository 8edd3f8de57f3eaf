// The desktop contract: what every backend's window server, workspace,
// screen capture, permission checks and Platform facade promise, written
// once and instantiated for each backend with that backend's arranger.
// An arranger type provides, besides DesktopArranger:
//   static std::string unavailableReason();   // empty when the suite can run here
//   static void setUpSuite(); static void tearDownSuite();
//   static std::unique_ptr<DesktopArranger> arrange();
//   static std::unique_ptr<Platform> unreachable();  // a desktop the host cannot reach
#pragma once

#include <algorithm>
#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>
#include <unistd.h>

#include "Sablekit/capture/CaptureHostServices.h"
#include "Sablekit/protocol/CaptureHostError.h"
#include "tests/platform/contract/DesktopArranger.h"
#include "tests/support/InterruptedPlatform.h"
#include "tests/support/PixelChecks.h"

namespace Sablekit::Testing {

template <class Arranger>
class DesktopContract : public ::testing::Test {
 public:
  static void SetUpTestSuite() {
    if (Arranger::unavailableReason().empty()) {
      Arranger::setUpSuite();
    }
  }
  static void TearDownTestSuite() { Arranger::tearDownSuite(); }

 protected:
  // A window manager frames a window with at most this much on each side.
  static constexpr double largestFrameMargin = 64;

  void SetUp() override {
    if (const std::string reason = Arranger::unavailableReason(); !reason.empty()) {
      GTEST_SKIP() << reason;
    }
    arranger_ = Arranger::arrange();
  }

  DesktopArranger& arranger() { return *arranger_; }
  Platform& platform() { return arranger_->platform(); }

  // Whether `holds` is true now or, on a desktop that settles
  // asynchronously, becomes true before a safety period ends.
  template <class Predicate>
  bool eventually(Predicate holds) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!holds()) {
      if (!arranger_->capabilities().settlesAsynchronously || std::chrono::steady_clock::now() > deadline) {
        return false;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
  }

  std::vector<std::int64_t> listedWindowNumbers() {
    std::vector<std::int64_t> numbers;
    for (const WindowListEntry& entry : platform().windowServer().onScreenWindows(false)) {
      numbers.push_back(entry.windowNumber.value_or(-1));
    }
    return numbers;
  }

  // Waits until the list shows exactly `frontToBack` and the first one's
  // application is frontmost.
  bool settledAs(const std::vector<ArrangedWindow>& frontToBack) {
    std::vector<std::int64_t> expected;
    for (const ArrangedWindow& window : frontToBack) {
      expected.push_back(window.windowID);
    }
    return eventually([&] {
      return listedWindowNumbers() == expected &&
             platform().workspace().frontmostProcessID() == frontToBack.front().processID;
    });
  }

  ShareableDisplay mainDisplay() {
    const auto mainID = platform().windowServer().mainDisplayID();
    auto fetched = platform().screenCapture().shareableContent();
    if (!mainID || !std::holds_alternative<ShareableContent>(fetched)) {
      ADD_FAILURE() << "no main display";
      return {};
    }
    const auto& displays = std::get<ShareableContent>(fetched).displays;
    const auto found = std::find_if(displays.begin(), displays.end(),
                                    [&](const ShareableDisplay& display) { return display.displayID == *mainID; });
    if (found == displays.end()) {
      ADD_FAILURE() << "the main display is not shareable";
      return {};
    }
    return *found;
  }

  PixelImage screenshot(const CaptureFilter& filter,
                        std::int64_t width = arrangedDisplayWidth,
                        std::int64_t height = arrangedDisplayHeight) {
    auto shot = platform().screenCapture().screenshot(filter, {.width = width, .height = height, .showsCursor = false});
    if (const auto* error = std::get_if<ScreenCaptureError>(&shot)) {
      ADD_FAILURE() << "screenshot failed: " << error->description;
      return {};
    }
    return std::get<PixelImage>(std::move(shot));
  }

  static std::int64_t centreX(const ArrangedWindow& window) {
    return static_cast<std::int64_t>(window.content.x + window.content.width / 2);
  }
  static std::int64_t centreY(const ArrangedWindow& window) {
    return static_cast<std::int64_t>(window.content.y + window.content.height / 2);
  }

  static CaptureProbeParameters probeParameters(std::vector<std::string> excludedBundleIDs = {}) {
    CaptureProbeParameters parameters;
    parameters.maximumDimension = arrangedDisplayWidth;
    parameters.excludedBundleIDs = std::move(excludedBundleIDs);
    return parameters;
  }

  std::unique_ptr<DesktopArranger> arranger_;
};

TYPED_TEST_SUITE_P(DesktopContract);

TYPED_TEST_P(DesktopContract, ListsOpenWindowsFrontToBackWithTitlesOwnersBoundsAndApplications) {
  const ArrangedWindow back = this->arranger().open({"Contract back", "ContractBack", 0x204080, {60, 80, 300, 200}});
  const ArrangedWindow front =
      this->arranger().open({"Contract front", "ContractFront", 0x802040, {300, 220, 260, 180}});
  ASSERT_TRUE(this->settledAs({front, back}));

  const auto listed = this->platform().windowServer().onScreenWindows(false);
  const auto fetched = this->platform().screenCapture().shareableContent();
  ASSERT_TRUE(std::holds_alternative<ShareableContent>(fetched));
  const ShareableContent& content = std::get<ShareableContent>(fetched);
  struct Expected {
    const ArrangedWindow& window;
    const char* title;
    const char* identity;
  };
  const Expected expected[] = {{front, "Contract front", "ContractFront"}, {back, "Contract back", "ContractBack"}};
  ASSERT_EQ(listed.size(), 2u);
  for (std::size_t index = 0; index < 2; ++index) {
    SCOPED_TRACE(expected[index].title);
    const WindowListEntry& entry = listed[index];
    const ArrangedWindow& window = expected[index].window;
    EXPECT_EQ(entry.ownerPID, window.processID);
    EXPECT_EQ(entry.title, expected[index].title);
    EXPECT_EQ(entry.layer, 0);
    ASSERT_TRUE(entry.bounds);
    const Rect& bounds = *entry.bounds;
    if (this->arranger().capabilities().framesWindows) {
      EXPECT_LE(bounds.minX(), window.content.minX());
      EXPECT_LE(bounds.minY(), window.content.minY());
      EXPECT_GE(bounds.maxX(), window.content.maxX());
      EXPECT_GT(bounds.maxY() - bounds.minY(), window.content.height) << "a title bar at least";
      EXPECT_LE(bounds.width - window.content.width, 2 * this->largestFrameMargin);
      EXPECT_LE(bounds.height - window.content.height, 2 * this->largestFrameMargin);
    } else {
      EXPECT_EQ(bounds, window.content);
    }
    // The capture service lists the same window with the same frame.
    const auto shareable =
        std::find_if(content.windows.begin(), content.windows.end(),
                     [&](const ShareableWindow& candidate) { return candidate.windowID == window.windowID; });
    ASSERT_NE(shareable, content.windows.end());
    EXPECT_EQ(shareable->frame, bounds);
    EXPECT_TRUE(std::any_of(
        content.applications.begin(), content.applications.end(),
        [&](const ShareableApplication& application) { return application.processID == window.processID; }));
    const auto application = this->platform().workspace().application(window.processID);
    ASSERT_TRUE(application);
    EXPECT_EQ(application->bundleID, expected[index].identity);
    const auto running = this->platform().workspace().runningApplications();
    EXPECT_TRUE(std::any_of(running.begin(), running.end(),
                            [&](const RunningApplication& candidate) { return candidate == *application; }));
  }
  EXPECT_FALSE(this->platform().workspace().application(::getpid())) << "a process without windows has none";
}

TYPED_TEST_P(DesktopContract, FrontmostApplicationAndTheCapturesFocusFollowActivation) {
  const ArrangedWindow left = this->arranger().open({"Contract left", "ContractLeft", 0x336699, {40, 60, 300, 220}});
  const ArrangedWindow right =
      this->arranger().open({"Contract right", "ContractRight", 0x996633, {420, 240, 300, 220}});
  CaptureHostServices services(this->platform());
  struct Step {
    const ArrangedWindow& active;
    const ArrangedWindow& behind;
  };
  const Step steps[] = {{left, right}, {right, left}, {left, right}};
  for (const Step& step : steps) {
    SCOPED_TRACE("activating window " + std::to_string(step.active.windowID));
    this->arranger().activate(step.active);
    ASSERT_TRUE(this->settledAs({step.active, step.behind}));
    const CaptureProbeResult result = services.captureProbeService().probe(this->probeParameters());
    EXPECT_EQ(result.focusedWindowID, step.active.windowID);
    EXPECT_EQ(result.focusedProcessID, step.active.processID);
  }
}

TYPED_TEST_P(DesktopContract, AnExcludedWindowContributesNoPixelAndWhatLiesBeneathShows) {
  constexpr std::uint32_t beneathColour = 0x11aa33, secretColour = 0xee2299, asideColour = 0x3344cc;
  const ArrangedWindow beneath =
      this->arranger().open({"Contract beneath", "ContractBeneath", beneathColour, {100, 100, 400, 300}});
  const ArrangedWindow secret =
      this->arranger().open({"Contract secret", "ContractSecret", secretColour, {180, 180, 200, 120}});
  const ArrangedWindow aside =
      this->arranger().open({"Contract aside", "ContractAside", asideColour, {560, 60, 180, 120}});
  ASSERT_TRUE(this->settledAs({aside, secret, beneath}));
  const ShareableDisplay display = this->mainDisplay();

  const PixelImage everything =
      this->screenshot({.kind = CaptureFilter::Kind::displayExcludingWindows, .display = display});
  ASSERT_EQ(everything.width, arrangedDisplayWidth);
  EXPECT_EQ(pixelAt(everything, this->centreX(secret), this->centreY(secret)), opaqueBGRA(secretColour));

  const PixelImage cut = this->screenshot({.kind = CaptureFilter::Kind::displayExcludingWindows,
                                           .display = display,
                                           .excludedWindowIDs = {secret.windowID}});
  ASSERT_EQ(cut.width, arrangedDisplayWidth);
  ASSERT_EQ(cut.height, arrangedDisplayHeight);
  EXPECT_FALSE(containsColour(cut, secretColour)) << "not one pixel of the excluded window";
  ASSERT_NE(this->platform().capabilities().windowExclusion, WindowExclusion::unavailable);
  if (this->platform().capabilities().windowExclusion == WindowExclusion::composited) {
    EXPECT_EQ(pixelAt(cut, this->centreX(secret), this->centreY(secret)), opaqueBGRA(beneathColour))
        << "the window beneath shows where it was";
  }
  EXPECT_EQ(pixelAt(cut, this->centreX(aside), this->centreY(aside)), opaqueBGRA(asideColour));
}

TYPED_TEST_P(DesktopContract, AnApplicationFilterShowsOnlyThatApplicationsWindows) {
  constexpr std::uint32_t shownColour = 0x2255ee, hiddenColour = 0xcc7711;
  const ArrangedWindow hidden =
      this->arranger().open({"Contract hidden", "ContractHidden", hiddenColour, {60, 60, 420, 320}});
  const ArrangedWindow shown =
      this->arranger().open({"Contract shown", "ContractShown", shownColour, {300, 200, 300, 220}});
  ASSERT_TRUE(this->settledAs({shown, hidden}));
  const PixelImage only = this->screenshot({.kind = CaptureFilter::Kind::displayIncludingApplication,
                                            .display = this->mainDisplay(),
                                            .includedProcessID = shown.processID});
  ASSERT_EQ(only.width, arrangedDisplayWidth);
  EXPECT_EQ(pixelAt(only, this->centreX(shown), this->centreY(shown)), opaqueBGRA(shownColour));
  EXPECT_FALSE(containsColour(only, hiddenColour)) << "another application's window showed";
}

TYPED_TEST_P(DesktopContract, ScreenshotsScaleTheWholeDisplayToTheConfiguredSize) {
  constexpr std::uint32_t colour = 0x2277dd;
  const ArrangedWindow window =
      this->arranger().open({"Contract scaled", "ContractScaled", colour, {200, 150, 400, 300}});
  ASSERT_TRUE(this->settledAs({window}));
  struct Size {
    std::int64_t width, height;
  };
  const Size sizes[] = {{400, 300}, {160, 120}, {1200, 900}};
  for (const Size& size : sizes) {
    SCOPED_TRACE(std::to_string(size.width) + "x" + std::to_string(size.height));
    const PixelImage image =
        this->screenshot({.kind = CaptureFilter::Kind::displayExcludingWindows, .display = this->mainDisplay()},
                         size.width, size.height);
    ASSERT_EQ(image.width, size.width);
    ASSERT_EQ(image.height, size.height);
    ASSERT_EQ(image.bgra.size(), static_cast<std::size_t>(size.width * size.height * 4));
    // The window's centre lands at the same fraction of the image.
    EXPECT_EQ(pixelAt(image, this->centreX(window) * size.width / arrangedDisplayWidth,
                      this->centreY(window) * size.height / arrangedDisplayHeight),
              opaqueBGRA(colour));
  }
}

TYPED_TEST_P(DesktopContract, AWindowMovedDuringTheScreenshotMakesTheCaptureRefuse) {
  const ArrangedWindow vault =
      this->arranger().open({"Contract vault", "ContractVault", 0xee2299, {420, 200, 300, 200}});
  const ArrangedWindow editor =
      this->arranger().open({"Contract notes", "ContractEditor", 0x2a6f4e, {40, 60, 320, 240}});
  ASSERT_TRUE(this->settledAs({editor, vault}));
  InterruptedPlatform interrupted(this->platform());
  CaptureHostServices services(interrupted);
  const auto parameters = this->probeParameters({"contractvault"});

  const CaptureProbeResult undisturbed = services.captureProbeService().probe(parameters);
  EXPECT_EQ(undisturbed.focusedWindowID, editor.windowID);
  EXPECT_EQ(undisturbed.excludedWindowCount, 1);

  // The excluded window moves to the other display between the context read
  // and the screenshot: what was cut out no longer matches the desktop.
  interrupted.duringNextScreenshot([&] { this->arranger().move(vault, {arrangedDisplayWidth + 100, 200}); });
  try {
    services.captureProbeService().probe(parameters);
    ADD_FAILURE() << "the capture went through although the desktop changed";
  } catch (const CaptureHostError& error) {
    EXPECT_EQ(error.code(), CaptureHostError::Code::captureContextChanged) << error.what();
  }
}

TYPED_TEST_P(DesktopContract, AnEmptyDesktopHasItsDisplaysButNoWindowsOrFrontmostApplication) {
  Platform& platform = this->platform();
  ASSERT_TRUE(this->eventually([&] { return platform.windowServer().onScreenWindows(true).empty(); }))
      << platform.windowServer().onScreenWindows(true).size() << " windows listed";
  ASSERT_TRUE(this->eventually([&] { return !platform.workspace().frontmostProcessID(); }))
      << "frontmost: " << platform.workspace().frontmostProcessID().value_or(0);
  const auto mainID = platform.windowServer().mainDisplayID();
  ASSERT_TRUE(mainID);
  EXPECT_EQ(platform.windowServer().displayBounds(*mainID), (Rect{0, 0, arrangedDisplayWidth, arrangedDisplayHeight}));
  EXPECT_FALSE(platform.windowServer().displayBounds(*mainID + 1000)) << "an unknown display has no bounds";
  const auto fetched = platform.screenCapture().shareableContent();
  ASSERT_TRUE(std::holds_alternative<ShareableContent>(fetched));
  const ShareableContent& content = std::get<ShareableContent>(fetched);
  ASSERT_EQ(content.displays.size(), 2u);
  for (const ShareableDisplay& display : content.displays) {
    SCOPED_TRACE("display " + std::to_string(display.displayID));
    const bool main = display.displayID == *mainID;
    EXPECT_EQ(display.frame, (Rect{main ? 0.0 : arrangedDisplayWidth, 0, arrangedDisplayWidth, arrangedDisplayHeight}));
    EXPECT_EQ(display.pixelsPerPoint, 1.0);
    EXPECT_EQ(platform.windowServer().displayBounds(display.displayID), display.frame);
  }
  EXPECT_TRUE(content.windows.empty());
  EXPECT_TRUE(content.applications.empty());
  EXPECT_TRUE(platform.workspace().runningApplications().empty());

  // Permissions: a reachable desktop may be captured; a grant the platform
  // cannot read is reported as not given.
  EXPECT_TRUE(platform.permissions().screenRecordingPreflight());
  if (!platform.capabilities().accessibilityPermissionKnown) {
    EXPECT_FALSE(platform.permissions().accessibilityTrusted());
  }
  // The facade hands out the same services every time, for as long as it lives.
  EXPECT_EQ(&platform.windowServer(), &platform.windowServer());
  EXPECT_EQ(&platform.workspace(), &platform.workspace());
  EXPECT_EQ(&platform.screenCapture(), &platform.screenCapture());
  EXPECT_EQ(&platform.permissions(), &platform.permissions());
  EXPECT_FALSE(platform.capabilities().backendName.empty());
  EXPECT_EQ(platform.processIdentity().processID(), ::getpid());
}

TYPED_TEST_P(DesktopContract, ScreenshotsOfAnUnknownDisplayOrOfNoSizeAreErrors) {
  const ShareableDisplay display = this->mainDisplay();
  ShareableDisplay unknown = display;
  unknown.displayID += 1000;
  struct Case {
    const char* what;
    ShareableDisplay display;
    std::int64_t width, height;
  };
  const Case cases[] = {
      {"an unknown display", unknown, 400, 300},
      {"no width", display, 0, 300},
      {"a negative height", display, 400, -1},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.what);
    const auto shot = this->platform().screenCapture().screenshot(
        {.kind = CaptureFilter::Kind::displayExcludingWindows, .display = test.display},
        {.width = test.width, .height = test.height, .showsCursor = false});
    ASSERT_TRUE(std::holds_alternative<ScreenCaptureError>(shot));
    EXPECT_FALSE(std::get<ScreenCaptureError>(shot).description.empty());
  }
}

TYPED_TEST_P(DesktopContract, FailuresOnDemandAreErrorsThatPass) {
  if (!this->arranger().capabilities().failsOnDemand) {
    GTEST_SKIP() << "this desktop cannot be made to fail on demand";
  }
  const ShareableDisplay display = this->mainDisplay();
  this->arranger().failNextShareableContent();
  EXPECT_TRUE(std::holds_alternative<ScreenCaptureError>(this->platform().screenCapture().shareableContent()));
  EXPECT_TRUE(std::holds_alternative<ShareableContent>(this->platform().screenCapture().shareableContent()));
  const CaptureFilter filter{.kind = CaptureFilter::Kind::displayExcludingWindows, .display = display};
  const ScreenshotConfiguration configuration{.width = 80, .height = 60, .showsCursor = false};
  this->arranger().failNextScreenshot();
  EXPECT_TRUE(
      std::holds_alternative<ScreenCaptureError>(this->platform().screenCapture().screenshot(filter, configuration)));
  EXPECT_TRUE(std::holds_alternative<PixelImage>(this->platform().screenCapture().screenshot(filter, configuration)));
  CaptureHostServices services(this->platform());
  this->arranger().failNextShareableContent();
  try {
    services.captureProbeService().probe(this->probeParameters());
    ADD_FAILURE() << "a failed fetch of shareable content was captured";
  } catch (const CaptureHostError& error) {
    EXPECT_EQ(error.code(), CaptureHostError::Code::captureFailed) << error.what();
  }
}

TYPED_TEST_P(DesktopContract, AnUnreachableDesktopIsEmptyAndRefusesEveryCapture) {
  const std::unique_ptr<Platform> platform = TypeParam::unreachable();
  EXPECT_FALSE(platform->permissions().screenRecordingPreflight());
  EXPECT_TRUE(platform->windowServer().onScreenWindows(true).empty());
  EXPECT_FALSE(platform->windowServer().mainDisplayID());
  EXPECT_FALSE(platform->workspace().frontmostProcessID());
  EXPECT_TRUE(platform->workspace().runningApplications().empty());
  EXPECT_TRUE(std::holds_alternative<ScreenCaptureError>(platform->screenCapture().shareableContent()));
  const auto shot = platform->screenCapture().screenshot(
      {.kind = CaptureFilter::Kind::displayExcludingWindows,
       .display = {.displayID = 1, .frame = {0, 0, arrangedDisplayWidth, arrangedDisplayHeight}}},
      {.width = 80, .height = 60, .showsCursor = false});
  EXPECT_TRUE(std::holds_alternative<ScreenCaptureError>(shot));
  CaptureHostServices services(*platform);
  try {
    services.captureProbeService().probe(this->probeParameters());
    ADD_FAILURE() << "an unreachable desktop was captured";
  } catch (const CaptureHostError& error) {
    EXPECT_EQ(error.code(), CaptureHostError::Code::permissionDenied) << error.what();
  }
  EXPECT_FALSE(services.captureProbeService().health().screenRecordingPreflight);
}

REGISTER_TYPED_TEST_SUITE_P(DesktopContract,
                            ListsOpenWindowsFrontToBackWithTitlesOwnersBoundsAndApplications,
                            FrontmostApplicationAndTheCapturesFocusFollowActivation,
                            AnExcludedWindowContributesNoPixelAndWhatLiesBeneathShows,
                            AnApplicationFilterShowsOnlyThatApplicationsWindows,
                            ScreenshotsScaleTheWholeDisplayToTheConfiguredSize,
                            AWindowMovedDuringTheScreenshotMakesTheCaptureRefuse,
                            AnEmptyDesktopHasItsDisplaysButNoWindowsOrFrontmostApplication,
                            ScreenshotsOfAnUnknownDisplayOrOfNoSizeAreErrors,
                            FailuresOnDemandAreErrorsThatPass,
                            AnUnreachableDesktopIsEmptyAndRefusesEveryCapture);

}  // namespace Sablekit::Testing
