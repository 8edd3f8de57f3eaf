// The capture pipeline reads what the platform can do: on a desktop whose
// screenshots cannot leave windows out, a capture that must cut a window out
// is refused before any screenshot is taken, and one that cuts nothing still
// goes through.
#include <string>

#include <gtest/gtest.h>

#include "Sablekit/capture/CaptureHostServices.h"
#include "Sablekit/platform/ForwardingPlatform.h"
#include "Sablekit/platform/simulated/SimulatedDesktop.h"
#include "Sablekit/protocol/CaptureHostError.h"

namespace Sablekit {
namespace {

constexpr std::int32_t editorPID = 101, chatPID = 102;

// The simulated desktop, but its screenshots are said to show the display as it is.
class DesktopWithoutExclusion final : public ForwardingPlatform {
 public:
  explicit DesktopWithoutExclusion(Platform& inner) : ForwardingPlatform(inner), capabilities_(inner.capabilities()) {
    capabilities_.windowExclusion = WindowExclusion::unavailable;
  }
  const PlatformCapabilities& capabilities() const override { return capabilities_; }

 private:
  PlatformCapabilities capabilities_;
};

TEST(CaptureCapabilities, WithoutWindowExclusionOnlyCapturesThatCutNothingOutAreTaken) {
  SimulatedDesktop desktop;
  desktop.simulatedWindowServer()
      .addDisplay({.displayID = 1, .frame = {0, 0, 800, 600}})
      .addWindow(SimulatedWindowServer::window(11, editorPID, {40, 40, 400, 300}, 0, "notes.txt"))
      .addWindow(SimulatedWindowServer::window(12, chatPID, {300, 200, 400, 300}, 0, "general"));
  desktop.simulatedWorkspace()
      .addApplication({editorPID, "com.example.Editor", "Editor", "1.0", "1"})
      .addApplication({chatPID, "com.example.Chat", "Chat", "1.0", "1"})
      .setFrontmostProcessID(editorPID);
  DesktopWithoutExclusion platform(desktop);
  CaptureHostServices services(platform);
  CaptureProbeService& capture = services.captureProbeService();

  EXPECT_EQ(capture.probe(CaptureProbeParameters{}).excludedWindowCount, 0);
  EXPECT_EQ(desktop.simulatedScreenCapture().screenshotRequests(), 1);

  try {
    capture.probe(CaptureProbeParameters{.excludedBundleIDs = std::vector<std::string>{"com.example.chat"}});
    ADD_FAILURE() << "a window that must stay out would have been captured";
  } catch (const CaptureHostError& error) {
    EXPECT_EQ(error.code(), CaptureHostError::Code::captureFailed);
    EXPECT_EQ(error.text(), CaptureProbeService::cannotLeaveWindowsOut);
  }
  EXPECT_EQ(desktop.simulatedScreenCapture().screenshotRequests(), 1) << "no screenshot was taken";
}

}  // namespace
}  // namespace Sablekit
