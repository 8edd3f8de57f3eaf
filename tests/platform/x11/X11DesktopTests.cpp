// The X11 desktop on a private Xvfb with openbox: the window list, the
// applications, monitors, focus and pointer, and screenshots that leave
// excluded windows out for real.
#include <algorithm>
#include <array>
#include <chrono>
#include <memory>
#include <optional>
#include <thread>

#include <gtest/gtest.h>

#include "Sablekit/platform/PlatformBackends.h"
#include "Sablekit/platform/linux/LinuxApplicationIdentity.h"
#include "Sablekit/platform/x11/X11ClientList.h"
#include "Sablekit/platform/x11/X11Desktop.h"
#include "tests/support/X11TestWindow.h"
#include "tests/support/XvfbDisplay.h"

namespace Sablekit {
namespace {

using Testing::X11TestWindow;
using Testing::XvfbDisplay;

constexpr int screenWidth = 800;
constexpr int screenHeight = 600;

// Xvfb with openbox and an X11 desktop connected to it.
class X11DesktopTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!XvfbDisplay::installed() || !XvfbDisplay::windowManagerInstalled()) {
      GTEST_SKIP() << "Xvfb or openbox is not installed";
    }
    display_ = std::make_unique<XvfbDisplay>(
        XvfbDisplay::Options{.width = screenWidth, .height = screenHeight, .windowManager = true});
    desktop_ = std::make_unique<X11Desktop>(mainLoop_, display_->name());
    ASSERT_TRUE(desktop_->connected());
  }

  std::unique_ptr<X11TestWindow> open(X11TestWindow::Options options) {
    return std::make_unique<X11TestWindow>(*display_, options);
  }

  // The list once the window manager has caught up with `count` windows; the
  // manager works asynchronously, so the list is read until it has them.
  std::vector<WindowListEntry> windowsOnceListed(std::size_t count) {
    std::vector<WindowListEntry> windows;
    for (int attempt = 0; attempt < 200; ++attempt) {
      windows = desktop_->windowServer().onScreenWindows(false);
      if (windows.size() >= count) {
        break;
      }
      // The window manager takes windows in on its own schedule.
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return windows;
  }

  std::optional<std::int32_t> frontmostOnceItIs(std::int32_t expected) {
    std::optional<std::int32_t> frontmost;
    for (int attempt = 0; attempt < 200 && frontmost != expected; ++attempt) {
      frontmost = desktop_->workspace().frontmostProcessID();
      if (frontmost != expected) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
      }
    }
    return frontmost;
  }

  PixelImage screenshot(const CaptureFilter& filter) {
    auto shot = desktop_->screenCapture().screenshot(
        filter, {.width = screenWidth, .height = screenHeight, .showsCursor = false});
    EXPECT_TRUE(std::holds_alternative<PixelImage>(shot)) << std::get<ScreenCaptureError>(shot).description;
    return std::holds_alternative<PixelImage>(shot) ? std::get<PixelImage>(shot) : PixelImage{};
  }

  ShareableDisplay mainDisplay() {
    const auto content = std::get<ShareableContent>(desktop_->screenCapture().shareableContent());
    EXPECT_FALSE(content.displays.empty());
    return content.displays.front();
  }

  std::unique_ptr<XvfbDisplay> display_;
  RunLoop mainLoop_;
  std::unique_ptr<X11Desktop> desktop_;
};

std::array<std::uint8_t, 4> bgra(std::uint32_t rgb) {
  return {static_cast<std::uint8_t>(rgb), static_cast<std::uint8_t>(rgb >> 8), static_cast<std::uint8_t>(rgb >> 16),
          0xff};
}

std::array<std::uint8_t, 4> pixelAt(const PixelImage& image, int x, int y) {
  const std::uint8_t* pixel = image.pixel(x, y);
  return {pixel[0], pixel[1], pixel[2], pixel[3]};
}

bool containsColour(const PixelImage& image, std::uint32_t rgb) {
  const auto wanted = bgra(rgb);
  for (std::size_t offset = 0; offset + 4 <= image.bgra.size(); offset += 4) {
    if (std::equal(wanted.begin(), wanted.end(), image.bgra.begin() + static_cast<std::ptrdiff_t>(offset))) {
      return true;
    }
  }
  return false;
}

TEST_F(X11DesktopTest, ListsWindowsFrontToBackWithTitlesProcessesAndFramedBounds) {
  auto back = open({.title = "Back window", .colour = 0x204080, .x = 50, .y = 60, .width = 300, .height = 200});
  auto front = open({.title = "Front window", .colour = 0x802040, .x = 200, .y = 150, .width = 250, .height = 180});
  // openbox may keep a new window behind the focused one; activating raises it.
  front->activate();
  ASSERT_EQ(frontmostOnceItIs(front->processID()), front->processID());
  const auto windows = windowsOnceListed(2);
  ASSERT_EQ(windows.size(), 2u);
  struct Expected {
    const X11TestWindow& window;
    const char* title;
    double width, height;
  };
  const Expected expected[] = {{*front, "Front window", 250, 180}, {*back, "Back window", 300, 200}};
  for (std::size_t index = 0; index < 2; ++index) {
    SCOPED_TRACE(expected[index].title);
    const WindowListEntry& entry = windows[index];
    EXPECT_EQ(entry.windowNumber, std::int64_t{expected[index].window.windowID()});
    EXPECT_EQ(entry.ownerPID, expected[index].window.processID());
    EXPECT_EQ(entry.title, expected[index].title);
    EXPECT_EQ(entry.layer, 0);
    ASSERT_TRUE(entry.bounds);
    // openbox draws a title bar and borders around the client area.
    EXPECT_GT(entry.bounds->height, expected[index].height);
    EXPECT_GE(entry.bounds->width, expected[index].width);
  }
}

TEST_F(X11DesktopTest, FindsTheOwnerWithoutNetWmPidAndLayersDocksAboveAndLeavesUnmappedOut) {
  auto silent = open({.title = "No pid", .setPID = false, .x = 10, .y = 10});
  auto dock = open({.title = "Dock", .x = 0, .y = 560, .width = 800, .height = 40, .type = "DOCK"});
  auto hidden = open({.title = "Unmapped", .x = 400, .y = 300});
  // Unmapped only once the window manager has taken it in: a window unmapped
  // before that was never a client.
  ASSERT_GE(windowsOnceListed(3).size(), 3u);
  hidden->unmap();
  std::vector<WindowListEntry> windows;
  const auto find = [&](const X11TestWindow& window) {
    return std::find_if(windows.begin(), windows.end(), [&](const WindowListEntry& entry) {
      return entry.windowNumber == std::int64_t{window.windowID()};
    });
  };
  for (int attempt = 0; attempt < 200; ++attempt) {
    windows = desktop_->windowServer().onScreenWindows(false);
    if (find(*hidden) == windows.end()) {
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  ASSERT_NE(find(*silent), windows.end());
  EXPECT_EQ(find(*silent)->ownerPID, silent->processID()) << "from the X-Resource extension";
  ASSERT_NE(find(*dock), windows.end());
  EXPECT_EQ(find(*dock)->layer, X11WindowLayer::dock);
  // A window its client unmapped is withdrawn: the window manager lets it go,
  // so it is no longer a client at all (shareable content lists iconified
  // clients, which stay managed).
  EXPECT_EQ(find(*hidden), windows.end());
}

TEST_F(X11DesktopTest, NamesApplicationsByTheirLinuxIdentityInOrder) {
  auto gtk = open({.title = "Editor", .className = "Gedit", .gtkApplicationID = "org.gnome.gedit", .x = 10});
  auto browser = open({.title = "Browser", .instance = "Navigator", .className = "firefox", .x = 300});
  ASSERT_EQ(windowsOnceListed(2).size(), 2u);
  struct Case {
    const X11TestWindow& window;
    const char* bundleID;
    const char* name;
  };
  const Case cases[] = {{*gtk, "org.gnome.gedit", "Gedit"}, {*browser, "org.mozilla.firefox", "firefox"}};
  for (const Case& expected : cases) {
    SCOPED_TRACE(expected.bundleID);
    const auto application = desktop_->workspace().application(expected.window.processID());
    ASSERT_TRUE(application);
    EXPECT_EQ(application->bundleID, expected.bundleID);
    EXPECT_FALSE(application->shortVersionString);
    EXPECT_FALSE(application->bundleVersion);
    if (application->localizedName != expected.name) {
      // A desktop file of that identifier on this machine names it instead.
      EXPECT_TRUE(application->localizedName);
    }
  }
  EXPECT_FALSE(desktop_->workspace().application(::getpid())) << "a process without windows has no application";
  EXPECT_EQ(desktop_->workspace().runningApplications().size(), 2u);
}

TEST_F(X11DesktopTest, FrontmostFollowsTheActiveWindow) {
  auto first = open({.title = "First", .x = 10, .y = 10});
  auto second = open({.title = "Second", .x = 300, .y = 200});
  first->activate();
  EXPECT_EQ(frontmostOnceItIs(first->processID()), first->processID());
  second->activate();
  EXPECT_EQ(frontmostOnceItIs(second->processID()), second->processID());
}

TEST_F(X11DesktopTest, OneMainMonitorAtTheOriginAndAPointerMeasuredFromItsBottom) {
  const auto mainID = desktop_->windowServer().mainDisplayID();
  ASSERT_TRUE(mainID);
  EXPECT_EQ(desktop_->windowServer().displayBounds(*mainID), (Rect{0, 0, screenWidth, screenHeight}));
  EXPECT_FALSE(desktop_->windowServer().displayBounds(*mainID + 1000));
  const ShareableDisplay display = mainDisplay();
  EXPECT_EQ(display.displayID, *mainID);
  EXPECT_EQ(display.pixelsPerPoint, 1.0);
  // Xvfb starts with the pointer in the middle of the screen.
  const Point pointer = desktop_->workspace().pointerLocation();
  EXPECT_EQ(pointer, (Point{screenWidth / 2, screenHeight - screenHeight / 2}));
}

TEST_F(X11DesktopTest, AnExcludedWindowContributesNoPixelAndWhatLiesBeneathShows) {
  constexpr std::uint32_t beneath = 0x11aa33, secret = 0xee2299, other = 0x3344cc;
  auto under = open({.title = "Beneath", .colour = beneath, .x = 100, .y = 100, .width = 400, .height = 300});
  auto hidden = open({.title = "Secret", .colour = secret, .x = 150, .y = 150, .width = 200, .height = 150});
  auto aside = open({.title = "Other", .colour = other, .x = 600, .y = 50, .width = 150, .height = 100});
  ASSERT_EQ(windowsOnceListed(3).size(), 3u);
  const ShareableDisplay display = mainDisplay();

  const PixelImage everything = screenshot({.kind = CaptureFilter::Kind::displayExcludingWindows, .display = display});
  EXPECT_EQ(pixelAt(everything, 250, 250), bgra(secret));

  const PixelImage cut = screenshot({.kind = CaptureFilter::Kind::displayExcludingWindows,
                                     .display = display,
                                     .excludedWindowIDs = {hidden->windowID()}});
  ASSERT_EQ(cut.width, screenWidth);
  EXPECT_FALSE(containsColour(cut, secret)) << "not one pixel of the excluded window";
  EXPECT_EQ(pixelAt(cut, 250, 250), bgra(beneath)) << "the window beneath shows where it was";
  EXPECT_EQ(pixelAt(cut, 675, 100), bgra(other));

  const PixelImage only = screenshot({.kind = CaptureFilter::Kind::displayIncludingApplication,
                                      .display = display,
                                      .includedProcessID = aside->processID()});
  EXPECT_EQ(pixelAt(only, 675, 100), bgra(other));
  EXPECT_FALSE(containsColour(only, beneath));
  EXPECT_FALSE(containsColour(only, secret));
}

TEST_F(X11DesktopTest, ScreenshotsScaleToTheConfiguredSize) {
  constexpr std::uint32_t colour = 0x2277dd;
  auto window = open({.title = "Scaled", .colour = colour, .x = 0, .y = 0, .width = 800, .height = 600});
  ASSERT_EQ(windowsOnceListed(1).size(), 1u);
  auto shot = desktop_->screenCapture().screenshot(
      {.kind = CaptureFilter::Kind::displayExcludingWindows, .display = mainDisplay()},
      {.width = 400, .height = 300, .showsCursor = false});
  ASSERT_TRUE(std::holds_alternative<PixelImage>(shot));
  const PixelImage& image = std::get<PixelImage>(shot);
  EXPECT_EQ(image.width, 400);
  EXPECT_EQ(image.height, 300);
  EXPECT_EQ(image.bgra.size(), 400u * 300u * 4u);
  EXPECT_EQ(pixelAt(image, 200, 200), bgra(colour));
}

TEST(X11DesktopWithoutDisplay, IsAnEmptyDesktopThatRefusesToCapture) {
  RunLoop mainLoop;
  X11Desktop desktop(mainLoop, ":999999");
  EXPECT_FALSE(desktop.connected());
  EXPECT_FALSE(desktop.permissions().screenRecordingPreflight());
  EXPECT_FALSE(desktop.permissions().accessibilityTrusted());
  EXPECT_TRUE(desktop.windowServer().onScreenWindows(true).empty());
  EXPECT_FALSE(desktop.windowServer().mainDisplayID());
  EXPECT_FALSE(desktop.workspace().frontmostProcessID());
  EXPECT_TRUE(std::holds_alternative<ScreenCaptureError>(desktop.screenCapture().shareableContent()));
  EXPECT_EQ(desktop.scripting().run("anything").kind, ScriptRunOutcome::Kind::notCreated);
  EXPECT_EQ(desktop.capabilities().backendName, "x11");
}

TEST(X11PlatformChoice, AnXServerAtDisplayIsChosenAndHandsOutItsOwnKeyboard) {
  if (!XvfbDisplay::installed()) {
    GTEST_SKIP() << "Xvfb is not installed";
  }
  const XvfbDisplay display;
  const auto environment = display.environment();
  RunLoop mainLoop;
  const PlatformContext context{.mainLoop = mainLoop,
                                .environment = [&](std::string_view name) -> std::optional<std::string> {
                                  const auto found = environment.find(std::string(name));
                                  return found == environment.end() ? std::nullopt : std::optional(found->second);
                                }};
  EXPECT_EQ(choosePlatformBackend(context).name, "x11");
  const std::unique_ptr<Platform> platform = createPlatform(context);
  EXPECT_EQ(platform->capabilities().backendName, "x11");
  EXPECT_TRUE(platform->permissions().screenRecordingPreflight());
  EXPECT_EQ(platform->capabilities().windowExclusion, WindowExclusion::composited);

  struct Ignoring final : KeyboardListener {
    bool modifierChanged(std::uint16_t, std::uint64_t) override { return false; }
    void interceptionSwitchedOff() override {}
  } listener;
  EXPECT_TRUE(platform->keyboard().startListening(listener)) << "the desktop's keyboard is the X server's";
  platform->keyboard().stopDelivering(listener);
}

}  // namespace
}  // namespace Sablekit
