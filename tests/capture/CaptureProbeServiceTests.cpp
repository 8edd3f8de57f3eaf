// Tests for the capture pipeline on a simulated desktop: the order of its
// refusals, window exclusion, output sizes, filters, the post-capture check
// and the result mapping.
#include <functional>
#include <optional>
#include <string>

#include <gtest/gtest.h>

#include "Sablekit/capture/CaptureHostServices.h"
#include "Sablekit/capture/CaptureProbeService.h"
#include "Sablekit/platform/simulated/SimulatedDesktop.h"
#include "Sablekit/protocol/CaptureHostError.h"

namespace Sablekit {
namespace {

using Code = CaptureHostError::Code;

constexpr std::int32_t ownPID = 10;
constexpr std::int32_t parentPID = 20;
constexpr std::int32_t editorPID = 101;
constexpr std::int32_t browserPID = 102;
constexpr std::int32_t dockPID = 103;
constexpr std::uint32_t editorWindow = 11;
constexpr std::uint32_t browserWindow = 12;
constexpr std::uint32_t parentWindow = 13;
constexpr Rect displayFrame{0, 0, 1512, 982};
constexpr Rect editorBounds{100, 100, 600, 400};
constexpr Rect browserBounds{50, 50, 1200, 800};

// A display of 1512 by 982 points at two pixels per point with an editor in
// front of a browser window; the browser shows a page on mail.example.com.
class CaptureDesktop {
 public:
  CaptureDesktop() {
    desktop.setProcess(ownPID, parentPID);
    desktop.simulatedWindowServer()
        .addDisplay({.displayID = 1, .frame = displayFrame, .pixelsPerPoint = 2})
        .addWindow(SimulatedWindowServer::window(editorWindow, editorPID, editorBounds, 0, "notes.txt"))
        .addWindow(SimulatedWindowServer::window(browserWindow, browserPID, browserBounds, 0, "Inbox"));
    desktop.simulatedWorkspace()
        .addApplication({editorPID, "com.example.Editor", "Editor", "2.1", "210"})
        .addApplication({browserPID, "com.google.chrome", "Google Chrome", "120.0", "120"})
        .addApplication({parentPID, "com.example.parent", "Parent", "1.0", "1"})
        .setFrontmostProcessID(editorPID)
        .setPointer(Point{300, 282});  // 700 points above the display's bottom edge
    desktop.simulatedAccessibility().addApplication(browserPID, "chrome").addElement("chrome.window", browserPID);
    desktop.simulatedAccessibility()
        .setValue("chrome", "AXFocusedWindow", desktop.simulatedAccessibility().reference("chrome.window"))
        .setValue("chrome.window", "AXRole", std::string("AXWindow"))
        .addElement("chrome.page", browserPID)
        .setValue("chrome.page", "AXRole", std::string("AXGroup"))
        .setValue("chrome.page", "AXURL", AccessibilityValue(std::string("https://mail.example.com/inbox")))
        .addElement("chrome.web", browserPID)
        .setValue("chrome.web", "AXRole", std::string("AXWebArea"))
        .setChildren("chrome.page", {"chrome.web"})
        .setChildren("chrome.window", {"chrome.page"});
  }

  void focusBrowser() { desktop.simulatedWorkspace().setFrontmostProcessID(browserPID); }

  // The browser window comes to the front with `title`.
  void browserInFront(const std::string& title) {
    desktop.simulatedWindowServer().setWindows(
        {{SimulatedWindowServer::window(browserWindow, browserPID, browserBounds, 0, title)},
         {SimulatedWindowServer::window(editorWindow, editorPID, editorBounds, 0, "notes.txt")}});
    focusBrowser();
  }

  // A parent window titled `title` in front of everything, its application frontmost.
  void parentInFront(const std::string& title) {
    auto windows = desktop.simulatedWindowServer().windows();
    windows.insert(windows.begin(),
                   {SimulatedWindowServer::window(parentWindow, parentPID, {200, 200, 400, 300}, 0, title)});
    desktop.simulatedWindowServer().setWindows(windows);
    desktop.simulatedWorkspace().setFrontmostProcessID(parentPID);
  }

  SimulatedDesktop desktop;
  CaptureHostServices services{desktop};
  CaptureProbeService& service = services.captureProbeService();
};

class CaptureProbeServiceTest : public ::testing::Test, public CaptureDesktop {};

CaptureProbeParameters withTitles(std::vector<std::string> titles) {
  return CaptureProbeParameters{.excludedParentWindowTitles = std::move(titles)};
}

TEST_F(CaptureProbeServiceTest, RefusalsComeInPipelineOrderWithTheirPayloads) {
  struct Case {
    const char* name;
    std::function<void(CaptureDesktop&)> setUp;
    std::optional<CaptureProbeParameters> parameters;
    std::optional<Code> error;  // absent: the capture succeeds
    std::string text = {};
    std::int64_t count = 0;
  };
  std::vector<std::string> thirtyThree(32, "other");
  thirtyThree.push_back("Secret");
  const Case cases[] = {
      {"permission missing beats everything",
       [](auto& t) {
         t.desktop.setScreenRecordingGranted(false);
         t.desktop.faults().arm("screenCapture.shareableContent", FaultKind::fail);
       },
       std::nullopt, Code::permissionDenied},
      {"content fetch fails",
       [](auto& t) { t.desktop.faults().arm("screenCapture.shareableContent", FaultKind::fail); }, std::nullopt,
       Code::captureFailed, "The simulated screen capture could not list shareable content."},
      {"content without displays",
       [](auto& t) { t.desktop.faults().arm("screenCapture.shareableContent", FaultKind::empty); }, std::nullopt,
       Code::noShareableDisplay},
      {"no window at all", [](auto& t) { t.desktop.simulatedWindowServer().setWindows({}); }, std::nullopt,
       Code::noEligibleWindow},
      {"listed parent title", [](auto& t) { t.parentInFront("Secret"); }, withTitles({"Secret"}),
       Code::focusedWindowExcluded, "Secret"},
      {"parent title listed in another case", [](auto& t) { t.parentInFront("Secret"); }, withTitles({"secret"}),
       std::nullopt},
      {"501-byte title never listed", [](auto& t) { t.parentInFront(std::string(501, 'x')); },
       withTitles({std::string(501, 'x')}), std::nullopt},
      {"500-byte title listed", [](auto& t) { t.parentInFront(std::string(500, 'x')); },
       withTitles({std::string(500, 'x')}), Code::focusedWindowExcluded, std::string(500, 'x')},
      {"33rd entry ignored", [](auto& t) { t.parentInFront("Secret"); }, withTitles(thirtyThree), std::nullopt},
      {"unknown bundle",
       [](auto& t) {
         t.desktop.simulatedWorkspace().addApplication({editorPID, std::nullopt, "Editor", {}, {}});
       },
       std::nullopt, Code::focusedApplicationExcluded, "unknown"},
      {"explicitly excluded application keeps its spelling", nullptr,
       CaptureProbeParameters{.excludedBundleIDs = std::vector<std::string>{"com.example.editor"}},
       Code::focusedApplicationExcluded, "com.example.Editor"},
      {"private browser window", [](auto& t) { t.browserInFront("Inbox - Incognito"); }, std::nullopt,
       Code::privateBrowserWindow, "com.google.chrome"},
      {"private browser window when private browsing is allowed",
       [](auto& t) { t.browserInFront("Inbox - Incognito"); }, CaptureProbeParameters{.excludePrivateBrowsing = false},
       std::nullopt},
      {"inactive capture still reads the browser", [](auto& t) { t.browserInFront("Inbox - Incognito"); },
       CaptureProbeParameters{.inactive = true}, Code::privateBrowserWindow, "com.google.chrome"},
      {"private state that cannot be established",
       [](auto& t) {
         t.browserInFront("Inbox");
         t.desktop.setAccessibilityTrusted(false);
       },
       std::nullopt, Code::browserContextUnavailable, "com.google.chrome"},
      {"private state that cannot be established, inactive",
       [](auto& t) {
         t.browserInFront("Inbox");
         t.desktop.setAccessibilityTrusted(false);
       },
       CaptureProbeParameters{.inactive = true}, Code::browserContextUnavailable, "com.google.chrome"},
      {"private state that cannot be established when private browsing is allowed",
       [](auto& t) {
         t.browserInFront("Inbox");
         t.desktop.setAccessibilityTrusted(false);
       },
       CaptureProbeParameters{.excludePrivateBrowsing = false}, std::nullopt},
      {"unreadable page with excluded domains",
       [](auto& t) {
         t.browserInFront("Inbox");
         t.desktop.simulatedAccessibility().setChildren("chrome.window", {});
       },
       CaptureProbeParameters{.excludedDomains = std::vector<std::string>{"other.example"},
                              .excludePrivateBrowsing = false},
       Code::browserContextUnavailable, "com.google.chrome"},
      {"excluded registrable domain", [](auto& t) { t.browserInFront("Inbox"); },
       CaptureProbeParameters{.excludedDomains = std::vector<std::string>{"example.com"}}, Code::excludedDomain,
       "example.com"},
      {"excluded subdomain does not cover the registrable domain", [](auto& t) { t.browserInFront("Inbox"); },
       CaptureProbeParameters{.excludedDomains = std::vector<std::string>{"mail.example.com"}}, std::nullopt},
      {"excluded window unknown to the platform",
       [](auto& t) { t.desktop.simulatedScreenCapture().omitWindow(browserWindow); }, std::nullopt,
       Code::unmatchedExclusion, "", 1},
      {"an unlisted focused window beside an allowed one",
       [](auto& t) { t.desktop.simulatedScreenCapture().omitWindow(editorWindow); },
       CaptureProbeParameters{.excludePrivateBrowsing = false}, std::nullopt},
      {"only excluded windows are shareable",
       [](auto& t) { t.desktop.simulatedScreenCapture().omitWindow(editorWindow); }, std::nullopt,
       Code::noAllowedContent},
      {"screenshot fails", [](auto& t) { t.desktop.faults().arm("screenCapture.screenshot", FaultKind::fail); },
       std::nullopt, Code::captureFailed, "The simulated screen capture could not take a screenshot."},
      {"user switches applications during the screenshot",
       [](auto& t) { t.desktop.simulatedScreenCapture().duringNextScreenshot([&t] { t.browserInFront("Inbox"); }); },
       CaptureProbeParameters{.excludePrivateBrowsing = false}, Code::captureContextChanged},
      {"a window moves onto the display's exclusions during the screenshot",
       [](auto& t) {
         t.desktop.simulatedScreenCapture().duringNextScreenshot([&t] {
           t.desktop.simulatedWindowServer().moveWindow(browserWindow, {5000, 0, 100, 100});
         });
       },
       std::nullopt, Code::captureContextChanged},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    CaptureDesktop fixture;
    if (c.setUp) {
      c.setUp(fixture);
    }
    try {
      const CaptureProbeResult result = fixture.service.probe(c.parameters);
      EXPECT_FALSE(c.error.has_value()) << "captured instead of refusing";
      EXPECT_EQ(result.visibleWindowCount,
                static_cast<std::int64_t>(result.windows.size()) + result.excludedWindowCount);
    } catch (const CaptureHostError& error) {
      ASSERT_TRUE(c.error.has_value()) << "refused with " << error.what();
      EXPECT_EQ(error.code(), *c.error) << error.what();
      EXPECT_EQ(error.text(), c.text);
      EXPECT_EQ(error.count(), c.count);
    }
    if (c.error == Code::permissionDenied) {
      EXPECT_EQ(fixture.desktop.simulatedScreenCapture().shareableContentRequests(), 0);
    }
  }
}

TEST_F(CaptureProbeServiceTest, AnActiveCaptureReportsTheFocusedWindowAndCutsOutTheBrowserBehindIt) {
  desktop.simulatedClock().setWallTime(1'767'225'600.1239);
  const CaptureOutcome outcome = service.capture(CaptureRequest::resolve(std::nullopt));
  const CaptureProbeResult result = CaptureProbeService::makeCaptureResult(outcome, false);
  EXPECT_EQ(result.capturedAtMilliseconds, 1'767'225'600'123);
  EXPECT_EQ(result.focusedBundleID, "com.example.Editor");
  EXPECT_EQ(result.focusedApplicationName, "Editor");
  EXPECT_EQ(result.focusedApplicationVersion, "2.1");
  EXPECT_EQ(result.focusedWindowTitle, "notes.txt");
  EXPECT_EQ(result.focusedProcessID, editorPID);
  EXPECT_EQ(result.focusedWindowID, editorWindow);
  EXPECT_EQ(result.mouseX, 300);
  EXPECT_EQ(result.mouseY, 700);
  EXPECT_EQ(result.contextLevel, "enriched");
  EXPECT_EQ(result.visibleWindowCount, 2);
  EXPECT_EQ(result.excludedWindowCount, 1);
  ASSERT_EQ(result.windows.size(), 1u);
  EXPECT_EQ(result.windows[0].windowID, editorWindow);
  EXPECT_TRUE(result.windows[0].focused);
  EXPECT_EQ(result.browserReadStatus, std::nullopt);
  EXPECT_EQ(result.contextURL, std::nullopt);
  // The cut-out browser is missing from the pixels; the editor is there.
  const auto& filter = desktop.simulatedScreenCapture().lastFilter();
  ASSERT_TRUE(filter.has_value());
  EXPECT_EQ(filter->kind, CaptureFilter::Kind::displayExcludingWindows);
  EXPECT_EQ(filter->excludedWindowIDs, std::vector<std::uint32_t>{browserWindow});
  const auto browserOnly = outcome.image.pixel(60 * 2, 60 * 2);
  const auto editor = outcome.image.pixel(150 * 2, 150 * 2);
  EXPECT_TRUE(std::equal(browserOnly, browserOnly + 4, SimulatedScreenCapture::backgroundColour.begin()));
  const auto editorColour = SimulatedScreenCapture::windowColour(editorWindow);
  EXPECT_TRUE(std::equal(editor, editor + 4, editorColour.begin()));
}

TEST_F(CaptureProbeServiceTest, TheBackgroundBrowserStaysWhenNeitherPrivateWindowsNorDomainsAreExcluded) {
  const CaptureProbeResult result = service.probe(CaptureProbeParameters{.excludePrivateBrowsing = false});
  EXPECT_EQ(result.excludedWindowCount, 0);
  EXPECT_EQ(result.windows.size(), 2u);
  EXPECT_TRUE(desktop.simulatedScreenCapture().lastFilter()->excludedWindowIDs.empty());
}

TEST_F(CaptureProbeServiceTest, AFocusedBrowserReportsItsPageAndRegistrableDomain) {
  browserInFront("Inbox");
  const CaptureProbeResult result = service.probe(std::nullopt);
  EXPECT_EQ(result.focusedBundleID, "com.google.chrome");
  EXPECT_EQ(result.contextURL, "https://mail.example.com/inbox");
  EXPECT_EQ(result.normalizedDomain, "example.com");
  EXPECT_EQ(result.browserReadStatus, BrowserReadStatus::pageURL);
  EXPECT_EQ(result.browserPrivacy, BrowserPrivacyVerdict::normal);
  EXPECT_EQ(result.browserPrivacyAuthoritative, false);
  EXPECT_EQ(result.finderReadStatus, std::nullopt);
}

TEST_F(CaptureProbeServiceTest, AnInactiveCaptureReportsTheNeutralIdentity) {
  browserInFront("Inbox");
  const CaptureProbeResult result = service.probe(CaptureProbeParameters{.inactive = true});
  EXPECT_TRUE(result.inactive);
  EXPECT_EQ(result.focusedBundleID, "com.apple.finder");
  EXPECT_EQ(result.focusedApplicationName, "Finder");
  EXPECT_EQ(result.focusedWindowTitle, "");
  EXPECT_EQ(result.focusedApplicationVersion, "");
  EXPECT_EQ(result.focusedProcessID, 0);
  EXPECT_EQ(result.focusedWindowID, 0u);
  EXPECT_EQ(result.mouseX, 0);
  EXPECT_EQ(result.mouseY, 0);
  EXPECT_EQ(result.visibleWindowCount, 0);
  EXPECT_EQ(result.excludedWindowCount, 0);  // the editor is not a browser; nothing was cut out
  EXPECT_TRUE(result.windows.empty());
  EXPECT_EQ(result.contextLevel, "identityOnly");
  EXPECT_EQ(result.contextURL, std::nullopt);
  EXPECT_EQ(result.normalizedDomain, std::nullopt);
  EXPECT_EQ(result.browserReadStatus, std::nullopt);
  EXPECT_EQ(result.accessibilityWake,
            (AccessibilityWakeResult{
                .kind = AccessibilityWakeKind::none, .attempted = false, .succeeded = true, .cached = false}));
  EXPECT_EQ(result.width, 3024);
  EXPECT_EQ(result.displayPointWidth, 1512);
}

TEST_F(CaptureProbeServiceTest, AnInactiveCaptureKeepsTheExcludedCount) {
  const CaptureProbeResult result = service.probe(CaptureProbeParameters{.inactive = true});
  EXPECT_EQ(result.excludedWindowCount, 1);  // the browser behind the editor
  EXPECT_EQ(result.visibleWindowCount, 0);
}

TEST_F(CaptureProbeServiceTest, OutputSizeFollowsScaleAndTheLongestSideBound) {
  struct Case {
    std::optional<std::int64_t> maximumDimension;
    std::int64_t width;
    std::int64_t height;
  };
  const Case cases[] = {
      {std::nullopt, 3024, 1964}, {1280, 1280, 830}, {100, 320, 208}, {0, 320, 208}, {-5, 320, 208},
      {10000, 3024, 1964},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.maximumDimension.value_or(-1));
    CaptureDesktop fixture;
    const CaptureProbeResult result = fixture.service.probe(
        CaptureProbeParameters{.maximumDimension = c.maximumDimension, .excludePrivateBrowsing = false});
    EXPECT_EQ(result.width, c.width);
    EXPECT_EQ(result.height, c.height);
    const auto& configuration = fixture.desktop.simulatedScreenCapture().lastConfiguration();
    ASSERT_TRUE(configuration.has_value());
    EXPECT_EQ(configuration->width, c.width);
    EXPECT_EQ(configuration->height, c.height);
    EXPECT_TRUE(configuration->showsCursor);
  }
  // Tiny and odd displays still give even sides of at least 2.
  EXPECT_EQ(CaptureProbeService::outputSize({0, 0, 1, 1}, 1, 3840), (std::pair<std::int64_t, std::int64_t>{2, 2}));
  EXPECT_EQ(CaptureProbeService::outputSize({0, 0, 7, 5}, 1, 3840), (std::pair<std::int64_t, std::int64_t>{6, 4}));
  EXPECT_EQ(CaptureProbeService::outputSize({0, 0, 8000, 10}, 1, 7680),
            (std::pair<std::int64_t, std::int64_t>{7680, 10}));
}

TEST_F(CaptureProbeServiceTest, AFullScreenBrowserIsCapturedThroughItsApplicationAlone) {
  browserInFront("Inbox");
  desktop.simulatedWorkspace().addApplication({dockPID, "com.apple.dock", "Dock", "1.0", "1"});
  desktop.simulatedWindowServer().addWindow(
      SimulatedWindowServer::window(99, dockPID, displayFrame, -2147483624, "Fullscreen Backdrop"));
  const CaptureProbeResult result = service.probe(std::nullopt);
  EXPECT_EQ(result.focusedWindowID, browserWindow);
  const auto& filter = desktop.simulatedScreenCapture().lastFilter();
  ASSERT_TRUE(filter.has_value());
  EXPECT_EQ(filter->kind, CaptureFilter::Kind::displayIncludingApplication);
  EXPECT_EQ(filter->includedProcessID, browserPID);
  EXPECT_TRUE(filter->excludedWindowIDs.empty());
}

TEST_F(CaptureProbeServiceTest, AParentWindowWithUnlistedTitleIsCapturedWithoutAccessibilitySnapshot) {
  parentInFront("Main");
  EXPECT_TRUE(service.capture(CaptureRequest::resolve(withTitles({"Settings"}))).suppressAccessibilitySnapshot);
  EXPECT_FALSE(service.capture(CaptureRequest::resolve(std::nullopt)).suppressAccessibilitySnapshot);
}

TEST_F(CaptureProbeServiceTest, AListedParentWindowBehindTheFocusedOneIsCutOut) {
  desktop.simulatedWindowServer().addWindow(
      SimulatedWindowServer::window(parentWindow, parentPID, {200, 200, 400, 300}, 0, "Settings"));
  const CaptureProbeResult result = service.probe(CaptureProbeParameters{
      .excludedParentWindowTitles = std::vector<std::string>{"Settings"}, .excludePrivateBrowsing = false});
  EXPECT_EQ(result.focusedWindowID, editorWindow);
  EXPECT_EQ(result.excludedWindowCount, 1);
  EXPECT_EQ(desktop.simulatedScreenCapture().lastFilter()->excludedWindowIDs, std::vector<std::uint32_t>{parentWindow});
}

TEST_F(CaptureProbeServiceTest, AutomationRequestsDelegateOrReportAnInvalidTarget) {
  for (const char* target : {"Browser", "safari", ""}) {
    SCOPED_TRACE(target);
    EXPECT_EQ(service.probeAutomation(CaptureProbeParameters{.automationTarget = std::string(target)}),
              AutomationProbeResult::invalidTarget());
  }
  EXPECT_EQ(service.probeAutomation(std::nullopt), AutomationProbeResult::invalidTarget());
  const AutomationProbeResult finder =
      service.probeAutomation(CaptureProbeParameters{.automationTarget = std::string("finder")});
  EXPECT_EQ(finder.target, AutomationProbeTarget::finder);
}

TEST(CaptureProbeServicePointer, TheWireCountsThePointerFromTheMainDisplaysBottomEdgeOrReportsZeroUnknown) {
  struct Case {
    const char* name;
    std::optional<Point> pointer;  // global points
    double mouseX, mouseY;
  };
  // The capture is of the second display, above and right of the 800-point-high main one.
  const Case cases[] = {
      {"on the captured display", Point{1200, -50}, 1200, 850},
      {"on the main display", Point{10, 790}, 10, 10},
      {"unknown to the platform", std::nullopt, 0, 0},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.name);
    SimulatedDesktop desktop;
    desktop.simulatedWindowServer()
        .addDisplay({.displayID = 1, .frame = {0, 0, 1000, 800}})
        .addDisplay({.displayID = 2, .frame = {1000, -200, 600, 400}})
        .addWindow(SimulatedWindowServer::window(editorWindow, editorPID, {1100, -100, 300, 200}, 0, "notes.txt"));
    desktop.simulatedWorkspace()
        .addApplication({editorPID, "com.example.Editor", "Editor", "2.1", "210"})
        .setFrontmostProcessID(editorPID)
        .setPointer(test.pointer);
    CaptureHostServices services(desktop);
    const CaptureProbeResult result = services.captureProbeService().probe(std::nullopt);
    EXPECT_EQ(result.displayID, 2u);
    EXPECT_EQ(result.mouseX, test.mouseX);
    EXPECT_EQ(result.mouseY, test.mouseY);
  }
}

}  // namespace
}  // namespace Sablekit
