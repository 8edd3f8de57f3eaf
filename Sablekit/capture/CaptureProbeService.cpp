// The capture pipeline: permission and shareable content, a look at the
// screen, the refusals, the focused context, cut-outs and filter, one
// screenshot and a second look that must match the first; and the mapping of
// its outcome to the wire.
#include "Sablekit/capture/CaptureProbeService.h"

#include <algorithm>
#include <cmath>
#include <variant>

#include "Sablekit/capture/CapturePlaceholders.h"
#include "Sablekit/common/BundleIDNormalization.h"
#include "Sablekit/context/ApplicationCapabilityRegistry.h"
#include "Sablekit/protocol/CaptureHostError.h"

namespace Sablekit {

namespace {

// Pixels along one side of the display: truncated, at least 1.
std::int64_t pixelExtent(double points, double scale) {
  const double pixels = points * scale;
  if (!std::isfinite(pixels) || pixels < 1) {
    return 1;
  }
  return static_cast<std::int64_t>(std::min(pixels, 1e15));
}

// Rounded half away from zero, then 2 when that is 2 or less, else even.
std::int64_t evenSide(double pixels) {
  const auto rounded = static_cast<std::int64_t>(std::round(pixels));
  return rounded <= 2 ? 2 : rounded - rounded % 2;
}

VisibleWindowResult visibleWindow(const WindowRecord& window, std::uint32_t focusedWindowID) {
  return VisibleWindowResult{
      .windowID = window.windowID,
      .bundleID = window.bundleID.value_or(""),
      .applicationName = window.applicationName,
      .applicationVersion = window.applicationVersion,
      .title = window.title,
      .layer = window.layer,
      .x = window.bounds.x,
      .y = window.bounds.y,
      .width = window.bounds.width,
      .height = window.bounds.height,
      .focused = window.windowID == focusedWindowID,
  };
}

}  // namespace

CaptureProbeService::CaptureProbeService(BrowserContextService& browserContextService,
                                         FinderContextService& finderContextService,
                                         AccessibilityWakeService& accessibilityWakeService,
                                         AutomationPermissionProbeService& automationPermissionProbeService,
                                         ScreenCapture& screenCapture,
                                         WindowServer& windowServer,
                                         Workspace& workspace,
                                         ProcessIdentity& processIdentity,
                                         PermissionChecks& permissions,
                                         const Clock& clock,
                                         const PlatformCapabilities& capabilities)
    : browserContextService_(browserContextService),
      finderContextService_(finderContextService),
      accessibilityWakeService_(accessibilityWakeService),
      automationPermissionProbeService_(automationPermissionProbeService),
      screenCapture_(screenCapture),
      workspace_(workspace),
      processIdentity_(processIdentity),
      permissions_(permissions),
      clock_(clock),
      capabilities_(capabilities),
      inventory_(windowServer, workspace, processIdentity) {}

HostHealth CaptureProbeService::health() {
  return HostHealth{
      .protocolVersion = vistrelProtocolVersion,
      .hostVersion = std::string(vistrelHostVersion),
      .processID = processIdentity_.processID(),
      .screenRecordingPreflight = permissions_.screenRecordingPreflight(),
      .accessibilityTrusted = permissions_.accessibilityTrusted(),
      .captureProbeSupported = true,
      .browserAutomationProbeBusy = browserContextService_.automationProbeBusy(),
      .finderAutomationUnavailable = finderContextService_.automationUnavailable(),
  };
}

std::pair<std::int64_t, std::int64_t> CaptureProbeService::outputSize(const Rect& displayFrame,
                                                                      double pointPixelScale,
                                                                      std::int64_t longestSide) {
  const std::int64_t pixelWidth = pixelExtent(displayFrame.width, pointPixelScale);
  const std::int64_t pixelHeight = pixelExtent(displayFrame.height, pointPixelScale);
  const double scale =
      std::min(1.0, static_cast<double>(longestSide) / static_cast<double>(std::max(pixelWidth, pixelHeight)));
  return {evenSide(scale * static_cast<double>(pixelWidth)), evenSide(scale * static_cast<double>(pixelHeight))};
}

CaptureOutcome CaptureProbeService::capture(const CaptureRequest& request) {
  const ShareableContent content = shareableContent();
  const ScreenLook look = firstLook(content);
  const WindowExclusionRule rule(request, processIdentity_.parentProcessID());
  refuseExcludedFocus(*look.focused, rule);
  FocusedContext context = readContext(*look.focused, request);
  const CutOuts cutOuts = cutOutsFor(content, look, rule);
  PixelImage image = shoot(filterFor(content, look, cutOuts), request.longestSide);
  recheck(content, look, cutOuts, rule);
  return outcome(std::move(image), look, cutOuts, std::move(context), rule);
}

ShareableContent CaptureProbeService::shareableContent() {
  // Permission first, before anything is asked of the platform.
  if (!permissions_.screenRecordingPreflight()) {
    throw CaptureHostError::permissionDenied();
  }
  auto fetched = screenCapture_.shareableContent();
  if (const auto* error = std::get_if<ScreenCaptureError>(&fetched)) {
    throw CaptureHostError::captureFailed(error->description);
  }
  ShareableContent content = std::get<ShareableContent>(std::move(fetched));
  if (content.displays.empty()) {
    throw CaptureHostError::noShareableDisplay();
  }
  return content;
}

ScreenLook CaptureProbeService::firstLook(const ShareableContent& content) {
  ScreenLook look = inventory_.look(content.displays);
  if (!look.display) {
    throw CaptureHostError::noShareableDisplay();
  }
  if (!look.focused) {
    throw CaptureHostError::noEligibleWindow();
  }
  return look;
}

void CaptureProbeService::refuseExcludedFocus(const WindowRecord& focused, const WindowExclusionRule& rule) {
  if (rule.isListedParentWindow(focused)) {
    throw CaptureHostError::focusedWindowExcluded(focused.title);
  }
  if (rule.request().policy.exclusionReason(focused.bundleID)) {
    throw CaptureHostError::focusedApplicationExcluded(focused.bundleID.value_or("unknown"));
  }
}

CaptureProbeService::FocusedContext CaptureProbeService::readContext(const WindowRecord& focused,
                                                                     const CaptureRequest& request) {
  FocusedContext context{
      .wake = request.inactive ? CapturePlaceholders::wakeNotAttempted
                               : accessibilityWakeService_.wakeIfNeeded(focused.bundleID, focused.ownerPID),
      .contextURL = {},
      .normalizedDomain = {},
      .browserContext = {},
      .finderContext = {},
  };
  // A focused browser is read even for an inactive capture, which may refuse
  // on what it finds; Finder only for an active one.
  switch (ApplicationCapabilityRegistry::profile(focused.bundleID).contextEnricher) {
    case ApplicationContextEnricher::browser:
      readBrowserContext(focused, request, context);
      break;
    case ApplicationContextEnricher::finder:
      if (!request.inactive) {
        context.finderContext = finderContextService_.read(request.allowFinderAutomation);
        context.contextURL = context.finderContext->folderURL;
      }
      break;
    case ApplicationContextEnricher::none:
      break;
  }
  return context;
}

void CaptureProbeService::readBrowserContext(const WindowRecord& focused,
                                             const CaptureRequest& request,
                                             FocusedContext& context) {
  const std::string& bundleID = *focused.bundleID;
  BrowserContextResult read = browserContextService_.read(bundleID, focused.applicationVersion, focused.ownerPID,
                                                          focused.title, request.allowBrowserAutomation);
  if (request.excludePrivateBrowsing && read.privacy == BrowserPrivacyVerdict::privateWindow) {
    throw CaptureHostError::privateBrowserWindow(bundleID);
  }
  // A window that may be private is treated as one would be.
  if (request.excludePrivateBrowsing && read.privacy == BrowserPrivacyVerdict::unknown) {
    throw CaptureHostError::browserContextUnavailable(bundleID);
  }
  if (!request.policy.explicitExcludedDomains().empty() &&
      (read.status == BrowserReadStatus::unreadable || read.status == BrowserReadStatus::unsupported)) {
    throw CaptureHostError::browserContextUnavailable(bundleID);
  }
  std::optional<std::string> domain = CapturePrivacyPolicy::domain(read.pageURL);
  if (request.policy.isDomainExcluded(domain)) {
    throw CaptureHostError::excludedDomain(domain.value_or(""));
  }
  context.contextURL = read.pageURL;
  context.normalizedDomain = std::move(domain);
  context.browserContext = std::move(read);
}

CaptureProbeService::CutOuts CaptureProbeService::cutOutsFor(const ShareableContent& content,
                                                             const ScreenLook& look,
                                                             const WindowExclusionRule& rule) {
  CutOuts cutOuts{.excluded = rule.excludedWindowIDs(look.displayWindows, *look.focused), .shareable = {}};
  // Every window to cut out must be one the platform knows, or it could not
  // leave it out. A repeated identifier in the platform's list counts once.
  std::set<std::uint32_t> listed;
  for (const ShareableWindow& window : content.windows) {
    listed.insert(window.windowID);
  }
  std::int64_t missing = 0;
  for (const std::uint32_t id : cutOuts.excluded) {
    if (listed.contains(id)) {
      cutOuts.shareable.push_back(id);
    } else {
      ++missing;
    }
  }
  if (missing > 0) {
    throw CaptureHostError::unmatchedExclusion(missing);
  }
  const bool anythingAllowed = std::any_of(content.windows.begin(), content.windows.end(), [&](const auto& window) {
    return window.frame.intersects(look.display->frame) && !cutOuts.excluded.contains(window.windowID);
  });
  if (!anythingAllowed) {
    throw CaptureHostError::noAllowedContent();
  }
  return cutOuts;
}

CaptureFilter CaptureProbeService::filterFor(const ShareableContent& content,
                                             const ScreenLook& look,
                                             const CutOuts& cutOuts) {
  // A focused browser in a full-screen space is captured through its
  // application alone; everything else through the display minus the cut-outs.
  const WindowRecord& focused = *look.focused;
  const bool fullScreen = std::any_of(
      look.displayWindows.begin(), look.displayWindows.end(),
      [&](const WindowRecord& window) { return WindowInventory::isFullScreenBackdrop(window, *look.display); });
  const bool applicationListed =
      std::any_of(content.applications.begin(), content.applications.end(),
                  [&](const ShareableApplication& application) { return application.processID == focused.ownerPID; });
  if (fullScreen && applicationListed && ApplicationCapabilityRegistry::isRecognizedBrowser(focused.bundleID)) {
    return CaptureFilter{.kind = CaptureFilter::Kind::displayIncludingApplication,
                         .display = *look.display,
                         .excludedWindowIDs = {},
                         .includedProcessID = focused.ownerPID};
  }
  return CaptureFilter{.kind = CaptureFilter::Kind::displayExcludingWindows,
                       .display = *look.display,
                       .excludedWindowIDs = cutOuts.shareable,
                       .includedProcessID = 0};
}

PixelImage CaptureProbeService::shoot(const CaptureFilter& filter, std::int64_t longestSide) {
  // A desktop that cannot leave windows out would show what must stay out.
  const bool leavesWindowsOut =
      filter.kind == CaptureFilter::Kind::displayIncludingApplication || !filter.excludedWindowIDs.empty();
  if (leavesWindowsOut && capabilities_.windowExclusion == WindowExclusion::unavailable) {
    throw CaptureHostError::captureFailed(std::string(cannotLeaveWindowsOut));
  }
  const auto [width, height] = outputSize(filter.display.frame, filter.pointPixelScale(), longestSide);
  const ScreenshotConfiguration configuration{.width = width, .height = height, .showsCursor = true};
  auto shot = screenCapture_.screenshot(filter, configuration);
  if (const auto* error = std::get_if<ScreenCaptureError>(&shot)) {
    throw CaptureHostError::captureFailed(error->description);
  }
  return std::get<PixelImage>(std::move(shot));
}

void CaptureProbeService::recheck(const ShareableContent& content,
                                  const ScreenLook& first,
                                  const CutOuts& cutOuts,
                                  const WindowExclusionRule& rule) {
  // The displays are those of the first look's content, not fetched again.
  const ScreenLook again = inventory_.look(content.displays);
  const auto sameWindow = [](const WindowRecord& left, const WindowRecord& right) {
    return left.windowID == right.windowID && left.ownerPID == right.ownerPID &&
           normalizeBundleID(left.bundleID.value_or("")) == normalizeBundleID(right.bundleID.value_or(""));
  };
  const bool unchanged = again.display && again.display->displayID == first.display->displayID && again.focused &&
                         sameWindow(*again.focused, *first.focused) &&
                         rule.excludedWindowIDs(again.displayWindows, *again.focused) == cutOuts.excluded;
  if (!unchanged) {
    throw CaptureHostError::captureContextChanged();
  }
}

CaptureOutcome CaptureProbeService::outcome(PixelImage image,
                                            const ScreenLook& look,
                                            const CutOuts& cutOuts,
                                            FocusedContext context,
                                            const WindowExclusionRule& rule) {
  const WindowRecord& focused = *look.focused;
  std::vector<VisibleWindowResult> visible;
  std::vector<ShownWindow> focusedApplicationWindows;
  for (const WindowRecord& window : look.displayWindows) {
    if (!cutOuts.excluded.contains(window.windowID)) {
      visible.push_back(visibleWindow(window, focused.windowID));
      if (window.ownerPID == focused.ownerPID) {
        focusedApplicationWindows.push_back({.title = window.title, .bounds = window.bounds});
      }
    }
  }
  return CaptureOutcome{
      .image = std::move(image),
      .capturedAtMilliseconds = wireMilliseconds(clock_.now()),
      .displayID = look.display->displayID,
      .displayFrame = look.display->frame,
      .focusedBundleID = focused.bundleID.value_or(""),
      .focusedWindowTitle = focused.title,
      .focusedApplicationName = focused.applicationName,
      .focusedApplicationVersion = focused.applicationVersion,
      .focusedProcessID = focused.ownerPID,
      .focusedWindowID = focused.windowID,
      .pointer = workspace_.pointerLocation(),
      .mainDisplayHeight = inventory_.mainDisplayHeight(),
      .inactive = rule.request().inactive,
      .suppressAccessibilitySnapshot = rule.protectsParentOf(focused),
      .visibleWindowCount = static_cast<std::int64_t>(look.displayWindows.size()),
      .excludedWindowCount = static_cast<std::int64_t>(cutOuts.excluded.size()),
      .contextURL = std::move(context.contextURL),
      .normalizedDomain = std::move(context.normalizedDomain),
      .browserContext = std::move(context.browserContext),
      .finderContext = std::move(context.finderContext),
      .accessibilityWake = context.wake,
      .windows = std::move(visible),
      .focusedApplicationWindows = std::move(focusedApplicationWindows),
  };
}

CaptureProbeResult CaptureProbeService::makeCaptureResult(const CaptureOutcome& outcome, bool pixelDataRetained) {
  CaptureProbeResult result{
      .capturedAtMilliseconds = outcome.capturedAtMilliseconds,
      .displayID = outcome.displayID,
      .width = outcome.image.width,
      .height = outcome.image.height,
      .displayX = outcome.displayFrame.x,
      .displayY = outcome.displayFrame.y,
      .displayPointWidth = outcome.displayFrame.width,
      .displayPointHeight = outcome.displayFrame.height,
      .excludedWindowCount = outcome.excludedWindowCount,
      .pixelDataRetained = pixelDataRetained,
  };
  if (outcome.inactive) {
    // A capture taken while the user is away reveals no application, window or context.
    result.focusedBundleID = std::string(CapturePlaceholders::neutralBundleID);
    result.focusedApplicationName = std::string(CapturePlaceholders::neutralApplicationName);
    result.inactive = true;
    result.contextLevel = "identityOnly";
    result.accessibilityWake = CapturePlaceholders::wakeNotAttempted;
    return result;
  }
  result.focusedBundleID = outcome.focusedBundleID;
  result.focusedWindowTitle = outcome.focusedWindowTitle;
  result.focusedApplicationName = outcome.focusedApplicationName;
  result.focusedApplicationVersion = outcome.focusedApplicationVersion;
  result.focusedProcessID = outcome.focusedProcessID;
  result.focusedWindowID = outcome.focusedWindowID;
  if (outcome.pointer) {
    // The wire keeps the convention of the platform the protocol was made on:
    // y counted upwards from the main display's bottom edge. An unknown
    // pointer stays at 0, 0.
    result.mouseX = outcome.pointer->x;
    result.mouseY = outcome.mainDisplayHeight - outcome.pointer->y;
  }
  result.visibleWindowCount = outcome.visibleWindowCount;
  result.contextLevel = "enriched";
  result.contextURL = outcome.contextURL;
  result.normalizedDomain = outcome.normalizedDomain;
  if (outcome.browserContext) {
    result.browserReadStatus = outcome.browserContext->status;
    result.browserPrivacy = outcome.browserContext->privacy;
    result.browserPrivacyAuthoritative = outcome.browserContext->authoritativePrivacy;
  }
  if (outcome.finderContext) {
    result.finderReadStatus = outcome.finderContext->status;
  }
  result.accessibilityWake = outcome.accessibilityWake;
  result.windows = outcome.windows;
  return result;
}

CaptureProbeResult CaptureProbeService::probe(const std::optional<CaptureProbeParameters>& parameters) {
  return makeCaptureResult(capture(CaptureRequest::resolve(parameters)), false);
}

AutomationProbeResult CaptureProbeService::probeAutomation(const std::optional<CaptureProbeParameters>& parameters) {
  const CaptureProbeParameters given = parameters.value_or(CaptureProbeParameters{});
  if (given.automationTarget == "browser") {
    return automationPermissionProbeService_.probe(AutomationProbeTarget::browser, given.browserBundleID);
  }
  if (given.automationTarget == "finder") {
    return automationPermissionProbeService_.probe(AutomationProbeTarget::finder, std::nullopt);
  }
  return AutomationProbeResult::invalidTarget();
}

void CaptureProbeService::resetAutomationState() {
  browserContextService_.resetAutomationState(std::nullopt);
  finderContextService_.resetAutomationState();
}

}  // namespace Sablekit
