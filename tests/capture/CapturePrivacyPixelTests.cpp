// The privacy of the pixels themselves: a window the policy cuts out leaves no
// pixel of its own colour in the image the full capture pipeline takes, at the
// display's own size and scaled, while a window the policy keeps does.
#include <algorithm>
#include <array>
#include <optional>

#include <gtest/gtest.h>

#include "Sablekit/capture/CaptureHostServices.h"
#include "Sablekit/capture/CaptureProbeService.h"
#include "Sablekit/platform/simulated/SimulatedDesktop.h"

namespace Sablekit {
namespace {

using Colour = std::array<std::uint8_t, 4>;

// B, G, R, A: a magenta no other window or text of the desktop produces.
constexpr Colour vaultColour{0xc8, 0x14, 0xe6, 0xff};
constexpr std::int32_t editorPID = 101;
constexpr std::int32_t vaultPID = 102;

bool shows(const PixelImage& image, const Colour& colour) {
  for (std::size_t offset = 0; offset < image.bgra.size(); offset += 4) {
    if (std::equal(colour.begin(), colour.end(), image.bgra.begin() + static_cast<std::ptrdiff_t>(offset))) {
      return true;
    }
  }
  return false;
}

// An editor (focused) half covering a 1Password window with text, on a
// display of 1512 by 982 points at two pixels per point.
class PrivacyPixelTest : public ::testing::Test {
 protected:
  PrivacyPixelTest() {
    desktop.setProcess(10, 20);
    desktop.simulatedWindowServer()
        .addDisplay({.displayID = 1, .frame = {0, 0, 1512, 982}, .pixelsPerPoint = 2})
        .addWindow(SimulatedWindowServer::window(1, editorPID, {100, 100, 600, 400}, 0, "notes.txt"), false,
                   {.fill = Colour{0xf8, 0xf8, 0xf8, 0xff}, .text = {"let answer = 42;"}})
        .addWindow(SimulatedWindowServer::window(2, vaultPID, {500, 300, 700, 500}, 0, "1Password"), false,
                   {.fill = vaultColour, .text = {"Bank login", "Password: amber-otter-42"}})
        .addWindow(SimulatedWindowServer::window(3, 400, {0, 0, 1512, 982}, -2147483603), true);
    desktop.simulatedWorkspace()
        .addApplication({editorPID, "com.example.Editor", "Editor", "1.0", "1"})
        .addApplication({vaultPID, "com.1password.1password", "1Password", "8.10", "81000"})
        .addApplication({400, "com.apple.finder", "Finder", "14.0", "1400"})
        .setFrontmostProcessID(editorPID);
  }

  SimulatedDesktop desktop;
  CaptureHostServices services{desktop};
  CaptureProbeService& service = services.captureProbeService();
};

TEST_F(PrivacyPixelTest, AWindowThePolicyCutsOutContributesNoPixelAtAnySize) {
  struct Case {
    const char* name;
    std::optional<CaptureProbeParameters> parameters;
    bool vaultCaptured;
  };
  const Case cases[] = {
      {"default policy: password managers are protected", std::nullopt, false},
      {"explicitly excluded identifier",
       CaptureProbeParameters{.excludedBundleIDs = {{" COM.1Password.1Password"}},
                              .excludeProtectedApplications = false},
       false},
      {"protection switched off", CaptureProbeParameters{.excludeProtectedApplications = false}, true},
      {"password manager group not enabled",
       CaptureProbeParameters{.enabledExclusionGroups = {{"messagingNotifications"}}}, true},
  };
  for (const Case& c : cases) {
    for (const std::int64_t longestSide : {3840, 1280, 333}) {
      SCOPED_TRACE(std::string(c.name) + ", longest side " + std::to_string(longestSide));
      CaptureProbeParameters parameters = c.parameters.value_or(CaptureProbeParameters{});
      parameters.maximumDimension = longestSide;
      const CaptureOutcome outcome = service.capture(
          CaptureRequest::resolve(c.parameters || longestSide != 3840 ? std::optional(parameters) : std::nullopt));
      EXPECT_EQ(outcome.excludedWindowCount, c.vaultCaptured ? 0 : 1);
      EXPECT_EQ(shows(outcome.image, vaultColour), c.vaultCaptured);
    }
  }
}

}  // namespace
}  // namespace Sablekit
