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
#include "Sablekit/accessibility/AccessibilityWindowScope.h"
#include "Sablekit/capture/CapturePrivacyPolicy.h"
#include "Sablekit/capture/WindowInventory.h"
#include "Sablekit/context/ApplicationCapabilityRegistry.h"
#include "Sablekit/context/AutomationPermissionProbeService.h"
#include "Sablekit/context/FinderContextService.h"
#include "Sablekit/context/browser/BrowserContextService.h"
#include "Sablekit/platform/Clock.h"
#include "Sablekit/platform/PermissionChecks.h"
#include "Sablekit/platform/PixelImage.h"
#include "Sablekit/platform/ProcessIdentity.h"
#include "Sablekit/platform/ScreenCapture.h"
#include "Sablekit/platform/WindowServer.h"
#include "Sablekit/platform/Workspace.h"
#include "Sablekit/protocol/AutomationProbeResult.h"
#include "Sablekit/protocol/CaptureProbeParameters.h"
#include "Sablekit/protocol/CaptureProbeResult.h"
#include "Sablekit/protocol/HostHealth.h"

namespace Sablekit {

// Everything known about the moment of one successful capture.
struct CaptureOutcome {
  PixelImage image;
  std::int64_t capturedAtMilliseconds = 0;
  std::uint32_t displayID = 0;
  Rect displayFrame;
  std::string focusedBundleID;  // as inventoried, "" when absent
  std::string focusedWindowTitle;
  std::string focusedApplicationName;
  std::string focusedApplicationVersion;
  std::int32_t focusedProcessID = 0;
  std::uint32_t focusedWindowID = 0;
  double mouseX = 0;  // as the platform reports the pointer: lower-left origin, y upwards
  double mouseY = 0;
  bool inactive = false;
  // The parent listed window titles and owns the focused window: no snapshot is walked.
  bool suppressAccessibilitySnapshot = false;
  std::int64_t visibleWindowCount = 0;
  std::int64_t excludedWindowCount = 0;
  std::int64_t unmatchedExcludedWindowCount = 0;
  std::optional<std::string> contextURL;
  std::optional<std::string> normalizedDomain;
  std::optional<BrowserContextResult> browserContext;
  std::optional<FinderContextResult> finderContext;
  AccessibilityWakeResult accessibilityWake;
  std::vector<VisibleWindowResult> windows;
  // The windows of the focused application the image shows: the only ones a
  // snapshot of the application may walk.
  std::vector<ShownWindow> focusedApplicationWindows;
};

// Main thread only, one request at a time: the service keeps no capture
// state between calls and takes no lock.
class CaptureProbeService {
 public:
  // Longest output side when the request names none.
  static constexpr std::int64_t defaultLongestSide = CaptureProbeParameters::defaultMaximumDimension;
  // A parent window title enters the exclusion list only from the first
  // entries of the request and only within these UTF-8 byte lengths.
  static constexpr std::size_t parentTitleEntryLimit = 32;
  static constexpr std::size_t parentTitleMaximumBytes = 500;
  // The identity an inactive capture reports instead of the real one.
  static constexpr std::string_view neutralBundleID = ApplicationCapabilityRegistry::finderBundleID;
  static constexpr std::string_view neutralApplicationName = "Finder";

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
                      const Clock& clock);

  CaptureProbeService(const CaptureProbeService&) = delete;
  CaptureProbeService& operator=(const CaptureProbeService&) = delete;

  // A fresh health report. Never fails.
  HostHealth health();

  // A privacy-filtered capture description, without pixels. Blocks while the
  // platform lists content, a browser is read and the screenshot is taken.
  // Throws CaptureHostError for every refusal and failure.
  CaptureProbeResult probe(const std::optional<CaptureProbeParameters>& parameters);

  // The capture pipeline shared by every capture method. Throws
  // CaptureHostError; a failure leaves nothing behind.
  CaptureOutcome capture(const std::optional<CaptureProbeParameters>& parameters);

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

  // The exact titles of the parent's windows the request forbids capturing.
  static std::set<std::string> parentTitles(const std::optional<CaptureProbeParameters>& parameters);

 private:
  // What the exclusion rule needs besides the window itself.
  struct ExclusionContext {
    const CapturePrivacyPolicy& policy;
    const std::set<std::string>& parentTitles;
    std::int32_t parentProcessID;
    bool excludePrivateBrowsing;
  };

  static bool isExcluded(const WindowRecord& window, const WindowRecord& focused, const ExclusionContext& context);
  static std::set<std::uint32_t> excludedWindowIDs(const std::vector<WindowRecord>& displayWindows,
                                                   const WindowRecord& focused,
                                                   const ExclusionContext& context);
  static std::vector<WindowRecord> windowsOn(const std::vector<WindowRecord>& records, const ShareableDisplay& display);
  bool contextChanged(const std::vector<ShareableDisplay>& displays,
                      const ShareableDisplay& display,
                      const WindowRecord& focused,
                      const std::set<std::uint32_t>& excluded,
                      const ExclusionContext& context);

  BrowserContextService& browserContextService_;
  FinderContextService& finderContextService_;
  AccessibilityWakeService& accessibilityWakeService_;
  AutomationPermissionProbeService& automationPermissionProbeService_;
  ScreenCapture& screenCapture_;
  Workspace& workspace_;
  ProcessIdentity& processIdentity_;
  PermissionChecks& permissions_;
  const Clock& clock_;
  WindowInventory inventory_;
};

}  // namespace Sablekit
