// A screen-capture service on the simulated desktop: the shareable content
// follows the simulated window server and workspace, and screenshots
// composite the windows the filter shows, with their fill and text, as the
// display shows them.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <set>
#include <string_view>

#include <nlohmann/json_fwd.hpp>

#include "Sablekit/platform/ScreenCapture.h"
#include "Sablekit/platform/simulated/FaultInjector.h"
#include "Sablekit/platform/simulated/SimulatedCompositor.h"
#include "Sablekit/platform/simulated/SimulatedWindowServer.h"
#include "Sablekit/platform/simulated/SimulatedWorkspace.h"

namespace Sablekit {

namespace SimulatedOperation {
// fail: the fetch answers an error. empty: it answers content without
// displays, windows or applications.
inline constexpr std::string_view shareableContent = "screenCapture.shareableContent";
// fail or empty: the screenshot answers an error (no image).
inline constexpr std::string_view screenshot = "screenCapture.screenshot";
}  // namespace SimulatedOperation

// Builders and queries run on the thread playing the main thread. The fault
// injector, window server and workspace must outlive the service.
class SimulatedScreenCapture final : public ScreenCapture {
 public:
  // The scenario section this service reads (format in docs/scenario-capture.md).
  static constexpr std::string_view scenarioSection = "shareableContent";

  // The colour of the desktop behind every window, B, G, R, A.
  static constexpr std::array<std::uint8_t, 4> backgroundColour{0x40, 0x30, 0x20, 0xff};

  SimulatedScreenCapture(FaultInjector& faults, SimulatedWindowServer& windowServer, SimulatedWorkspace& workspace);

  // The fill of a window whose content names none, B, G, R, A; never the background.
  static std::array<std::uint8_t, 4> windowColour(std::uint32_t windowID);

  // Draws text with another font file (TrueType or OpenType); a file that is
  // not a readable font makes every screenshot showing text fail.
  SimulatedScreenCapture& setFontPath(std::string path);

  // Leaves a window out of the shareable windows, as the platform sometimes
  // does for windows it has not caught up with.
  SimulatedScreenCapture& omitWindow(std::uint32_t windowID);
  // Runs `change` once, inside the next screenshot, before the image is
  // painted: the desktop changes while the screenshot is taken.
  SimulatedScreenCapture& duringNextScreenshot(std::function<void()> change);

  // What the last screenshot was asked for; absent before the first.
  const std::optional<CaptureFilter>& lastFilter() const { return lastFilter_; }
  const std::optional<ScreenshotConfiguration>& lastConfiguration() const { return lastConfiguration_; }
  // How often each operation was called, faults included.
  int shareableContentRequests() const { return shareableContentRequests_; }
  int screenshotRequests() const { return screenshotRequests_; }

  // Reads the "shareableContent" section. Throws ScenarioError naming the
  // offending path.
  void loadScenario(const nlohmann::json& section);

  // ScreenCapture
  std::variant<ShareableContent, ScreenCaptureError> shareableContent() override;
  std::variant<PixelImage, ScreenCaptureError> screenshot(const CaptureFilter& filter,
                                                          const ScreenshotConfiguration& configuration) override;

 private:
  FaultInjector& faults_;
  SimulatedWindowServer& windowServer_;
  SimulatedWorkspace& workspace_;
  std::set<std::uint32_t> omittedWindowIDs_;
  std::function<void()> duringNextScreenshot_;
  std::optional<CaptureFilter> lastFilter_;
  std::optional<ScreenshotConfiguration> lastConfiguration_;
  int shareableContentRequests_ = 0;
  int screenshotRequests_ = 0;
  SimulatedCompositor compositor_{std::string(SimulatedCompositor::defaultFontPath)};
};

}  // namespace Sablekit
