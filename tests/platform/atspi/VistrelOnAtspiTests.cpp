// The built Vistrel on an X11 session with an accessibility bus: health
// reports trust, and capture.frame of a focused GTK 3 window carries its
// accessibility snapshot with the texts shown and the password nowhere.
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "Sablekit/protocol/JsonCodec.h"
#include "tests/support/AccessibilityBusSession.h"
#include "tests/support/RunningChild.h"
#include "tests/support/X11Tools.h"

namespace Sablekit {
namespace {

using Testing::AccessibilityBusSession;
using Testing::RunningChild;
using Testing::X11Tools;

constexpr double safetySeconds = 60.0;
constexpr const char* windowTitle = "Frame accessibility window";
constexpr const char* labelText = "Quayside beacon label";
constexpr const char* entryText = "entry for the frame";
constexpr const char* passwordText = "sesame7orchid";

// The response line to one request.
std::string ask(RunningChild& host, int id, const std::string& method) {
  JsonCodec::Value request{{"id", id}, {"method", method}};
  if (method == "capture.frame") {
    request["params"]["maximumDimension"] = 640;
  }
  host.write(request.dump() + "\n");
  return host.readLine(safetySeconds).value_or("{}");
}

TEST(VistrelOnAtspiTest, FrameCarriesTheFocusedWindowsTreeWithoutThePassword) {
  if (!AccessibilityBusSession::installed() || !X11Tools::installed("xdotool")) {
    GTEST_SKIP() << "Xvfb, openbox, dbus-daemon, the AT-SPI bus launcher or xdotool is not installed";
  }
  AccessibilityBusSession session;
  X11Tools tools(session.display());
  auto environment = session.environment();
  environment["GDK_BACKEND"] = "x11";
  RunningChild application("/usr/bin/python3",
                           {SABLEKIT_GTK_ACCESSIBILITY_APPLICATION, windowTitle, labelText, entryText, passwordText},
                           environment, "/dev/null");
  const auto window = application.readLine(safetySeconds);
  ASSERT_TRUE(window && !window->empty());
  tools.run("xdotool", {"windowactivate", "--sync", *window});

  RunningChild host(VISTREL_PATH, {}, session.environment());
  const auto health = JsonCodec::parse(ask(host, 1, "health"));
  EXPECT_EQ(health["result"]["accessibilityTrusted"], true) << health.dump();

  const std::string line = ask(host, 2, "capture.frame");
  const auto answer = JsonCodec::parse(line);
  ASSERT_EQ(answer.value("ok", false), true) << line.substr(0, 400);
  const auto& snapshot = answer["result"]["accessibility"];
  EXPECT_EQ(snapshot["status"], "success");
  EXPECT_EQ(snapshot["extractionMode"], "static");
  EXPECT_EQ(snapshot["processID"], application.processID());
  bool sawWindow = false;
  bool sawSecureField = false;
  for (const auto& node : snapshot["nodes"]) {
    const auto& attributes = node["attributes"];
    sawWindow = sawWindow || attributes.value("AXTitle", "") == windowTitle;
    if (attributes.value("AXSubrole", "") == "AXSecureTextField") {
      sawSecureField = true;
      EXPECT_FALSE(attributes.contains("AXValue"));
    }
  }
  EXPECT_TRUE(sawWindow);
  EXPECT_TRUE(sawSecureField);
  const std::string text = snapshot["searchableText"].get<std::string>();
  EXPECT_NE(text.find(labelText), std::string::npos) << text;
  EXPECT_NE(text.find(entryText), std::string::npos) << text;
  EXPECT_EQ(line.find(passwordText), std::string::npos) << "the password left the host";

  host.closeInput();
  EXPECT_EQ(host.waitForExit(safetySeconds), 0);
}

}  // namespace
}  // namespace Sablekit
