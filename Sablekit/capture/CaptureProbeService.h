// The capture service: the one object the request loop talks to. It holds the
// other services of the capture host, runs the privacy-filtered capture
// pipeline and answers each protocol method.
#pragma once

#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "Sablekit/accessibility/AccessibilityWakeService.h"
#include "Sablekit/capture/CaptureOutcome.h"
#include "Sablekit/capture/CaptureRequest.h"
#include "Sablekit/capture/ScreenLook.h"
#include "Sablekit/capture/WindowExclusionRule.h"
#include "Sablekit/capture/WindowInventory.h"
#include "Sablekit/context/AutomationPermissionProbeService.h"
#include "Sablekit/context/FinderContextService.h"
#include "Sablekit/context/browser/BrowserContextService.h"
#include "Sablekit/platform/Clock.h"
#include "Sablekit/platform/PermissionChecks.h"
#include "Sablekit/platform/PixelImage.h"
#include "Sablekit/platform/PlatformCapabilities.h"
#include "Sablekit/platform/ProcessIdentity.h"
#include "Sablekit/platform/ScreenCapture.h"
#include "Sablekit/platform/WindowServer.h"
#include "Sablekit/platform/Workspace.h"
#include "Sablekit/protocol/AutomationProbeResult.h"
#include "Sablekit/protocol/CaptureProbeParameters.h"
#include "Sablekit/protocol/CaptureProbeResult.h"
#include "Sablekit/protocol/HostHealth.h"

namespace Sablekit {

// Main thread only, one request at a time: the service keeps no capture
// state between calls and takes no lock.
class CaptureProbeService {
 public:
  // Why a capture that must leave windows out is refused on a desktop whose
  // screenshots cannot (captureFailed).
  static constexpr std::string_view cannotLeaveWindowsOut = "The platform cannot leave windows out of a screenshot.";

  // Every reference must outlive the service.
  CaptureProbeService(BrowserContextService& browserContextService,
                      FinderContextService& finderContextService,
                      AccessibilityWakeService& accessibilityWakeService,
                      AutomationPermissionProbeService& automationPermissionProbeService,
                      ScreenCapture& screenCapture,
                      WindowServer& windowServer,
                      Workspace& workspace,
                      ProcessIdentity& processIdentity,
                      PermissionChecks& permissions,
                      const Clock& clock,
                      const PlatformCapabilities& capabilities);

  CaptureProbeService(const CaptureProbeService&) = delete;
  CaptureProbeService& operator=(const CaptureProbeService&) = delete;

  // A fresh health report. Never fails.
  HostHealth health();

  // A privacy-filtered capture description, without pixels. Blocks while the
  // platform lists content, a browser is read and the screenshot is taken.
  // Throws CaptureHostError for every refusal and failure.
  CaptureProbeResult probe(const std::optional<CaptureProbeParameters>& parameters);

  // The capture pipeline shared by every capture method: look at the screen,
  // refuse what must not be captured, read the focused context, cut out and
  // filter, shoot, and look again. Throws CaptureHostError; a failure leaves
  // nothing behind.
  CaptureOutcome capture(const CaptureRequest& request);

  // The wire description of an outcome; an inactive outcome reports the
  // neutral identity. Never fails.
  static CaptureProbeResult makeCaptureResult(const CaptureOutcome& outcome, bool pixelDataRetained);

  // Checks the Automation permission of a browser or of Finder. Never fails:
  // trouble is reported in the result. Blocks while the check's script runs.
  AutomationProbeResult probeAutomation(const std::optional<CaptureProbeParameters>& parameters);

  // Forgets what was learnt about browser and Finder scripting.
  void resetAutomationState();

  // The pixel size of a capture of `displayFrame` at `pointPixelScale` whose
  // longest side is bounded by `longestSide`: even, at least 2 each.
  static std::pair<std::int64_t, std::int64_t> outputSize(const Rect& displayFrame,
                                                          double pointPixelScale,
                                                          std::int64_t longestSide);

 private:
  // What was read about the focused window before the screenshot.
  struct FocusedContext {
    AccessibilityWakeResult wake;
    std::optional<std::string> contextURL;
    std::optional<std::string> normalizedDomain;
    std::optional<BrowserContextResult> browserContext;
    std::optional<FinderContextResult> finderContext;
  };

  // The windows a capture leaves out.
  struct CutOuts {
    std::set<std::uint32_t> excluded;      // every display window the rule excludes
    std::vector<std::uint32_t> shareable;  // the same, as the platform lists them, in identifier order
  };

  // The steps of capture(), in their order.
  ShareableContent shareableContent();
  ScreenLook firstLook(const ShareableContent& content);
  static void refuseExcludedFocus(const WindowRecord& focused, const WindowExclusionRule& rule);
  FocusedContext readContext(const WindowRecord& focused, const CaptureRequest& request);
  void readBrowserContext(const WindowRecord& focused, const CaptureRequest& request, FocusedContext& context);
  static CutOuts cutOutsFor(const ShareableContent& content, const ScreenLook& look, const WindowExclusionRule& rule);
  static CaptureFilter filterFor(const ShareableContent& content, const ScreenLook& look, const CutOuts& cutOuts);
  PixelImage shoot(const CaptureFilter& filter, std::int64_t longestSide);
  void recheck(const ShareableContent& content,
               const ScreenLook& first,
               const CutOuts& cutOuts,
               const WindowExclusionRule& rule);
  CaptureOutcome outcome(PixelImage image,
                         const ScreenLook& look,
                         const CutOuts& cutOuts,
                         FocusedContext context,
                         const WindowExclusionRule& rule);

  BrowserContextService& browserContextService_;
  FinderContextService& finderContextService_;
  AccessibilityWakeService& accessibilityWakeService_;
  AutomationPermissionProbeService& automationPermissionProbeService_;
  ScreenCapture& screenCapture_;
  Workspace& workspace_;
  ProcessIdentity& processIdentity_;
  PermissionChecks& permissions_;
  const Clock& clock_;
  const PlatformCapabilities& capabilities_;
  WindowInventory inventory_;
};

}  // namespace Sablekit
