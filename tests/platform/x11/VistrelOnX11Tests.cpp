// The built Vistrel on a real X server: health and capture.probe through its
// pipes, with a protected application's window cut out of the capture.
#include <algorithm>
#include <memory>

#include <gtest/gtest.h>

#include "Sablekit/protocol/JsonCodec.h"
#include "tests/support/RunningChild.h"
#include "tests/support/X11TestWindow.h"
#include "tests/support/XvfbDisplay.h"

namespace Sablekit {
namespace {

using Testing::RunningChild;
using Testing::X11TestWindow;
using Testing::XvfbDisplay;

TEST(VistrelOnX11, ProbesTheFocusedWindowAndCutsOutAProtectedOne) {
  if (std::string_view(SABLEKIT_DEFAULT_PLATFORM) != "x11") {
    GTEST_SKIP() << "this build's Vistrel runs on " << SABLEKIT_DEFAULT_PLATFORM;
  }
  if (!XvfbDisplay::installed() || !XvfbDisplay::windowManagerInstalled()) {
    GTEST_SKIP() << "Xvfb or openbox is not installed";
  }
  XvfbDisplay display({.width = 1024, .height = 768, .windowManager = true});
  X11TestWindow vault(display, {.title = "Vault",
                                .instance = "keepassxc",
                                .className = "KeePassXC",
                                .colour = 0xaa0000,
                                .x = 500,
                                .y = 300,
                                .width = 300,
                                .height = 200});
  X11TestWindow editor(display, {.title = "Notes.txt",
                                 .instance = "gedit",
                                 .className = "Gedit",
                                 .colour = 0x00aa00,
                                 .x = 50,
                                 .y = 50,
                                 .width = 400,
                                 .height = 300});
  editor.activate();

  RunningChild host(VISTREL_PATH, {}, display.environment());
  host.write("{\"id\":1,\"method\":\"health\"}\n");
  const auto health = JsonCodec::parse(host.readLine().value_or("{}"));
  EXPECT_EQ(health["result"]["screenRecordingPreflight"], true);
  EXPECT_EQ(health["result"]["accessibilityTrusted"], false);

  // The window manager acts on the activation asynchronously; a probe that
  // saw the focus elsewhere or the screen change is asked again.
  JsonCodec::Value result;
  for (int attempt = 0; attempt < 50; ++attempt) {
    host.write("{\"id\":2,\"method\":\"capture.probe\",\"params\":{\"maximumDimension\":1024}}\n");
    const auto answer = JsonCodec::parse(host.readLine().value_or("{}"));
    ASSERT_TRUE(answer.contains("ok")) << answer.dump();
    if (answer["ok"] == true && answer["result"]["focusedProcessID"] == editor.processID()) {
      result = answer["result"];
      break;
    }
  }
  ASSERT_FALSE(result.is_null()) << "capture.probe never reported the editor as focused";
  EXPECT_EQ(result["focusedWindowID"], editor.windowID());
  EXPECT_EQ(result["focusedWindowTitle"], "Notes.txt");
  EXPECT_EQ(result["focusedBundleID"], "Gedit") << "reported as the platform gives it";
  EXPECT_EQ(result["focusedApplicationVersion"], "");
  EXPECT_EQ(result["width"], 1024);
  EXPECT_EQ(result["height"], 768);
  EXPECT_EQ(result["excludedWindowCount"], 1) << "the password manager is protected by default";
  const auto& windows = result["windows"];
  EXPECT_TRUE(std::none_of(windows.begin(), windows.end(),
                           [&](const JsonCodec::Value& window) { return window["windowID"] == vault.windowID(); }));
  host.closeInput();
  EXPECT_EQ(host.waitForExit(), 0);
}

TEST(VistrelOnX11, WithoutADisplayServesEveryRequestAndRefusesCaptures) {
  if (std::string_view(SABLEKIT_DEFAULT_PLATFORM) != "x11") {
    GTEST_SKIP() << "this build's Vistrel runs on " << SABLEKIT_DEFAULT_PLATFORM;
  }
  RunningChild host(VISTREL_PATH, {}, {{"DISPLAY", ":999999"}});
  host.write("{\"id\":1,\"method\":\"health\"}\n{\"id\":2,\"method\":\"capture.probe\"}\n");
  const auto health = JsonCodec::parse(host.readLine().value_or("{}"));
  EXPECT_EQ(health["result"]["screenRecordingPreflight"], false);
  const auto probe = JsonCodec::parse(host.readLine().value_or("{}"));
  EXPECT_EQ(probe["error"]["code"], "permissionDenied");
  host.closeInput();
  EXPECT_EQ(host.waitForExit(), 0);
}

}  // namespace
}  // namespace Sablekit
