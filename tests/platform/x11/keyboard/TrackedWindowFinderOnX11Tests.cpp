// The tracked window finder on a live X session (Xvfb with openbox): it
// follows a window the window manager moves, and a switch of the current
// desktop alone makes it look again.
#include <chrono>
#include <optional>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "Sablekit/platform/x11/X11Desktop.h"
#include "Sablekit/shortcut/TrackedWindowFinder.h"
#include "tests/support/RunningChild.h"
#include "tests/support/X11TestWindow.h"
#include "tests/support/XvfbDisplay.h"

namespace Sablekit {
namespace {

using Testing::RunningChild;
using Testing::X11TestWindow;
using Testing::XvfbDisplay;

class TrackedWindowFinderOnX11 : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!XvfbDisplay::installed() || !XvfbDisplay::windowManagerInstalled()) {
      GTEST_SKIP() << "Xvfb or openbox is not installed";
    }
    display_ = std::make_unique<XvfbDisplay>(XvfbDisplay::Options{.windowManager = true});
    desktop_ = std::make_unique<X11Desktop>(loop_, display_->name());
    ASSERT_TRUE(desktop_->connected());
    window_ = std::make_unique<X11TestWindow>(
        *display_, X11TestWindow::Options{.title = "tracked", .x = 50, .y = 60, .width = 400, .height = 300});
  }

  std::unique_ptr<TrackedWindowFinder> finder(double interval) {
    return std::make_unique<TrackedWindowFinder>(
        desktop_->windowServer(), desktop_->workspace(), desktop_->timers(), loop_, window_->processID(), interval,
        [this](const std::optional<TrackedWindowState>& state) { delivered_.push_back(state); });
  }

  // Serves the main loop until `done` holds; false when it never does (a
  // hung test, not a result).
  bool serveUntil(const std::function<bool()>& done) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!done()) {
      if (loop_.runUntilIdle() == 0) {
        if (std::chrono::steady_clock::now() > deadline) {
          return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
      }
    }
    return true;
  }

  void xdotool(const std::vector<std::string>& arguments) {
    RunningChild tool("/usr/bin/xdotool", arguments, display_->environment());
    ASSERT_EQ(tool.waitForExit(), 0);
  }

  bool lastIs(const std::function<bool(const std::optional<TrackedWindowState>&)>& test) const {
    return !delivered_.empty() && test(delivered_.back());
  }

  std::unique_ptr<XvfbDisplay> display_;
  RunLoop loop_;
  std::unique_ptr<X11Desktop> desktop_;
  std::unique_ptr<X11TestWindow> window_;
  std::vector<std::optional<TrackedWindowState>> delivered_;
};

TEST_F(TrackedWindowFinderOnX11, FollowsAWindowMovedByXdotool) {
  const auto tracker = finder(TrackedWindowFinder::minimumInterval);
  tracker->start();
  // The manager may still be placing the window: wait until it is listed.
  ASSERT_TRUE(serveUntil([&] { return lastIs([](const auto& state) { return state.has_value(); }); }));
  const TrackedWindowState before = *delivered_.back();
  EXPECT_EQ(before.windowID, window_->windowID());

  xdotool({"windowmove", "--sync", std::to_string(window_->windowID()), "300", "200"});
  ASSERT_TRUE(serveUntil([&] { return lastIs([&](const auto& state) { return state && state->x != before.x; }); }));
  const TrackedWindowState after = *delivered_.back();
  EXPECT_EQ(after.windowID, before.windowID);
  EXPECT_EQ(after.width, before.width);
  EXPECT_EQ(after.height, before.height);
  EXPECT_EQ(after.x - before.x, 300 - 50);
  EXPECT_EQ(after.y - before.y, 200 - 60);
  tracker->stop();
}

TEST_F(TrackedWindowFinderOnX11, ADesktopSwitchAloneMakesItLookAgain) {
  // An interval no test outlives: only the desktop switch can trigger a look.
  const auto tracker = finder(1e6);
  ASSERT_TRUE(serveUntil([&] {
    // start() looks once; until the manager has listed the window, look again.
    if (delivered_.empty() || !delivered_.back()) {
      tracker->stop();
      delivered_.clear();
      tracker->start();
    }
    return lastIs([](const auto& state) { return state.has_value(); });
  }));
  xdotool({"set_num_desktops", "2"});
  xdotool({"set_desktop", "1"});
  ASSERT_TRUE(serveUntil([&] { return lastIs([](const auto& state) { return !state.has_value(); }); }));
  tracker->stop();
}

}  // namespace
}  // namespace Sablekit
