// The capture pipeline: permission, shareable content, inventory, privacy
// checks, context reads, exclusion, one filtered screenshot and the check
// that nothing changed meanwhile; and the mapping of its outcome to the wire.
#include "Sablekit/capture/CaptureProbeService.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <variant>

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
                                         const Clock& clock)
    : browserContextService_(browserContextService),
      finderContextService_(finderContextService),
      accessibilityWakeService_(accessibilityWakeService),
      automationPermissionProbeService_(automationPermissionProbeService),
      screenCapture_(screenCapture),
      workspace_(workspace),
      processIdentity_(processIdentity),
      permissions_(permissions),
      clock_(clock),
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

std::set<std::string> CaptureProbeService::parentTitles(const std::optional<CaptureProbeParameters>& parameters) {
  std::set<std::string> titles;
  if (!parameters || !parameters->excludedParentWindowTitles) {
    return titles;
  }
  const auto& listed = *parameters->excludedParentWindowTitles;
  const std::size_t considered = std::min(listed.size(), parentTitleEntryLimit);
  for (std::size_t index = 0; index < considered; ++index) {
    if (!listed[index].empty() && listed[index].size() <= parentTitleMaximumBytes) {
      titles.insert(listed[index]);
    }
  }
  return titles;
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

bool CaptureProbeService::isExcluded(const WindowRecord& window,
                                     const WindowRecord& focused,
                                     const ExclusionContext& context) {
  if (window.ownerPID == context.parentProcessID && context.parentTitles.contains(window.title)) {
    return true;
  }
  if (context.policy.exclusionReason(window.bundleID)) {
    return true;
  }
  if (window.windowID == focused.windowID || !BrowserContextService::isRecognizedBrowser(window.bundleID)) {
    return false;
  }
  // Only the focused browser window is ever read, so any other browser
  // window may be private or on an excluded site.
  return context.excludePrivateBrowsing || !context.policy.explicitExcludedDomains().empty();
}

std::set<std::uint32_t> CaptureProbeService::excludedWindowIDs(const std::vector<WindowRecord>& displayWindows,
                                                               const WindowRecord& focused,
                                                               const ExclusionContext& context) {
  std::set<std::uint32_t> excluded;
  for (const WindowRecord& window : displayWindows) {
    if (isExcluded(window, focused, context)) {
      excluded.insert(window.windowID);
    }
  }
  return excluded;
}

std::vector<WindowRecord> CaptureProbeService::windowsOn(const std::vector<WindowRecord>& records,
                                                         const ShareableDisplay& display) {
  std::vector<WindowRecord> onDisplay;
  std::copy_if(records.begin(), records.end(), std::back_inserter(onDisplay),
               [&](const WindowRecord& window) { return WindowInventory::isOnDisplay(window, display); });
  return onDisplay;
}

bool CaptureProbeService::contextChanged(const std::vector<ShareableDisplay>& displays,
                                         const ShareableDisplay& display,
                                         const WindowRecord& focused,
                                         const std::set<std::uint32_t>& excluded,
                                         const ExclusionContext& context) {
  const std::vector<WindowRecord> records = inventory_.windowRecords();
  const std::optional<std::int32_t> frontmostPID = workspace_.frontmostProcessID();
  const auto newDisplay = inventory_.selectDisplay(displays, records, frontmostPID);
  if (!newDisplay || newDisplay->displayID != display.displayID) {
    return true;
  }
  const std::vector<WindowRecord> displayWindows = windowsOn(records, *newDisplay);
  const auto newFocused = inventory_.selectFocusedWindow(displayWindows, frontmostPID, *newDisplay);
  if (!newFocused || newFocused->windowID != focused.windowID || newFocused->ownerPID != focused.ownerPID ||
      CapturePrivacyPolicy::normalize(newFocused->bundleID.value_or("")) !=
          CapturePrivacyPolicy::normalize(focused.bundleID.value_or(""))) {
    return true;
  }
  return excludedWindowIDs(displayWindows, *newFocused, context) != excluded;
}

CaptureOutcome CaptureProbeService::capture(const std::optional<CaptureProbeParameters>& parameters) {
  // 1. Permission, before anything is asked of the platform.
  if (!permissions_.screenRecordingPreflight()) {
    throw CaptureHostError::permissionDenied();
  }
  // 2-3. Shareable content with at least one display.
  auto fetched = screenCapture_.shareableContent();
  if (const auto* error = std::get_if<ScreenCaptureError>(&fetched)) {
    throw CaptureHostError::captureFailed(error->description);
  }
  const ShareableContent content = std::get<ShareableContent>(std::move(fetched));
  if (content.displays.empty()) {
    throw CaptureHostError::noShareableDisplay();
  }
  // 4-7. Inventory, display, display windows, focused window.
  const std::vector<WindowRecord> records = inventory_.windowRecords();
  const std::optional<std::int32_t> frontmostPID = workspace_.frontmostProcessID();
  const auto display = inventory_.selectDisplay(content.displays, records, frontmostPID);
  if (!display) {
    throw CaptureHostError::noShareableDisplay();
  }
  const std::vector<WindowRecord> displayWindows = windowsOn(records, *display);
  const auto focusedWindow = inventory_.selectFocusedWindow(displayWindows, frontmostPID, *display);
  if (!focusedWindow) {
    throw CaptureHostError::noEligibleWindow();
  }
  const WindowRecord focused = *focusedWindow;

  // 8. Policy, parent titles and the parent process, read once.
  const CapturePrivacyPolicy policy = CapturePrivacyPolicy::forRequest(parameters);
  const std::set<std::string> titles = parentTitles(parameters);
  const std::int32_t parentPID = processIdentity_.parentProcessID();
  const bool excludePrivateBrowsing = !parameters || parameters->excludesPrivateBrowsing();
  const ExclusionContext exclusion{policy, titles, parentPID, excludePrivateBrowsing};

  // 9-10. The focused window and application themselves.
  if (focused.ownerPID == parentPID && titles.contains(focused.title)) {
    throw CaptureHostError::focusedWindowExcluded(focused.title);
  }
  if (policy.exclusionReason(focused.bundleID)) {
    throw CaptureHostError::focusedApplicationExcluded(focused.bundleID.value_or("unknown"));
  }

  // 11. Wake, never for an inactive capture.
  const bool inactive = parameters && parameters->isInactive();
  const AccessibilityWakeResult wake = inactive
                                           ? AccessibilityWakeResult{.kind = AccessibilityWakeKind::none,
                                                                     .attempted = false,
                                                                     .succeeded = true,
                                                                     .cached = false}
                                           : accessibilityWakeService_.wakeIfNeeded(focused.bundleID, focused.ownerPID);

  // 12. Context of a focused browser (inactive too) or Finder (active only).
  std::optional<std::string> contextURL;
  std::optional<std::string> normalizedDomain;
  std::optional<BrowserContextResult> browserContext;
  std::optional<FinderContextResult> finderContext;
  if (focused.bundleID && BrowserContextService::isRecognizedBrowser(focused.bundleID)) {
    const bool allowAutomation = parameters && parameters->allowsBrowserAutomation();
    BrowserContextResult read = browserContextService_.read(*focused.bundleID, focused.applicationVersion,
                                                            focused.ownerPID, focused.title, allowAutomation);
    if (excludePrivateBrowsing && read.privacy == BrowserPrivacyVerdict::privateWindow) {
      throw CaptureHostError::privateBrowserWindow(*focused.bundleID);
    }
    // A window that may be private is treated as one would be.
    if (excludePrivateBrowsing && read.privacy == BrowserPrivacyVerdict::unknown) {
      throw CaptureHostError::browserContextUnavailable(*focused.bundleID);
    }
    if (!policy.explicitExcludedDomains().empty() &&
        (read.status == BrowserReadStatus::unreadable || read.status == BrowserReadStatus::unsupported)) {
      throw CaptureHostError::browserContextUnavailable(*focused.bundleID);
    }
    std::optional<std::string> domain = CapturePrivacyPolicy::domain(read.pageURL);
    if (policy.isDomainExcluded(domain)) {
      throw CaptureHostError::excludedDomain(domain.value_or(""));
    }
    contextURL = read.pageURL;
    normalizedDomain = std::move(domain);
    browserContext = std::move(read);
  } else if (!inactive && CapturePrivacyPolicy::normalize(focused.bundleID.value_or("")) ==
                              ApplicationCapabilityRegistry::finderBundleID) {
    const bool allowAutomation = parameters && parameters->allowsFinderAutomation();
    finderContext = finderContextService_.read(focused.title, allowAutomation);
    contextURL = finderContext->folderURL;
  }

  // 13-14. Windows to cut out, every one of which the platform must know.
  const std::set<std::uint32_t> excluded = excludedWindowIDs(displayWindows, focused, exclusion);
  std::map<std::uint32_t, const ShareableWindow*> shareableByID;
  for (const ShareableWindow& window : content.windows) {
    shareableByID.emplace(window.windowID, &window);  // a repeated identifier keeps its first entry
  }
  std::vector<std::uint32_t> windowsToCut;
  std::int64_t missing = 0;
  for (const std::uint32_t id : excluded) {
    if (shareableByID.contains(id)) {
      windowsToCut.push_back(id);
    } else {
      ++missing;
    }
  }
  if (missing > 0) {
    throw CaptureHostError::unmatchedExclusion(missing);
  }

  // 15. Something allowed must remain on the display.
  const bool anythingAllowed = std::any_of(content.windows.begin(), content.windows.end(), [&](const auto& window) {
    return window.frame.intersects(display->frame) && !excluded.contains(window.windowID);
  });
  if (!anythingAllowed) {
    throw CaptureHostError::noAllowedContent();
  }

  // 16. The visible windows, in inventory order.
  std::vector<VisibleWindowResult> visible;
  std::vector<ShownWindow> focusedApplicationWindows;
  for (const WindowRecord& window : displayWindows) {
    if (!excluded.contains(window.windowID)) {
      visible.push_back(visibleWindow(window, focused.windowID));
      if (window.ownerPID == focused.ownerPID) {
        focusedApplicationWindows.push_back({.title = window.title, .bounds = window.bounds});
      }
    }
  }

  // 17. A focused browser in a full-screen space is captured through its
  // application alone; everything else through the display minus the cut-outs.
  CaptureFilter filter{.kind = CaptureFilter::Kind::displayExcludingWindows,
                       .display = *display,
                       .excludedWindowIDs = windowsToCut,
                       .includedProcessID = 0};
  const bool fullScreen = std::any_of(displayWindows.begin(), displayWindows.end(), [&](const WindowRecord& window) {
    return WindowInventory::isFullScreenBackdrop(window, *display);
  });
  const bool applicationListed =
      std::any_of(content.applications.begin(), content.applications.end(),
                  [&](const ShareableApplication& application) { return application.processID == focused.ownerPID; });
  if (fullScreen && applicationListed && BrowserContextService::isRecognizedBrowser(focused.bundleID)) {
    filter = CaptureFilter{.kind = CaptureFilter::Kind::displayIncludingApplication,
                           .display = *display,
                           .excludedWindowIDs = {},
                           .includedProcessID = focused.ownerPID};
  }

  // 18-20. Size, configuration, screenshot.
  const std::int64_t longestSide = parameters ? parameters->maximumDimensionBound() : defaultLongestSide;
  const auto [width, height] = outputSize(display->frame, filter.pointPixelScale(), longestSide);
  const ScreenshotConfiguration configuration{.width = width,
                                              .height = height,
                                              .bestResolution = true,
                                              .scalesToFit = true,
                                              .showsCursor = true,
                                              .ignoresShadowsOfSingleWindow = false};
  auto shot = screenCapture_.screenshot(filter, configuration);
  if (const auto* error = std::get_if<ScreenCaptureError>(&shot)) {
    throw CaptureHostError::captureFailed(error->description);
  }

  // 21. The screen must look the same as before the screenshot.
  if (contextChanged(content.displays, *display, focused, excluded, exclusion)) {
    throw CaptureHostError::captureContextChanged();
  }

  // 22. The outcome, from the first look.
  const Point mouse = workspace_.pointerLocation();
  return CaptureOutcome{
      .image = std::get<PixelImage>(std::move(shot)),
      .capturedAtMilliseconds = wireMilliseconds(clock_.now()),
      .displayID = display->displayID,
      .displayFrame = display->frame,
      .focusedBundleID = focused.bundleID.value_or(""),
      .focusedWindowTitle = focused.title,
      .focusedApplicationName = focused.applicationName,
      .focusedApplicationVersion = focused.applicationVersion,
      .focusedProcessID = focused.ownerPID,
      .focusedWindowID = focused.windowID,
      .mouseX = mouse.x,
      .mouseY = mouse.y,
      .inactive = inactive,
      .suppressAccessibilitySnapshot = focused.ownerPID == parentPID && !titles.empty(),
      .visibleWindowCount = static_cast<std::int64_t>(displayWindows.size()),
      .excludedWindowCount = static_cast<std::int64_t>(excluded.size()),
      .unmatchedExcludedWindowCount = 0,
      .contextURL = std::move(contextURL),
      .normalizedDomain = std::move(normalizedDomain),
      .browserContext = std::move(browserContext),
      .finderContext = std::move(finderContext),
      .accessibilityWake = wake,
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
      .unmatchedExcludedWindowCount = outcome.unmatchedExcludedWindowCount,
      .pixelDataRetained = pixelDataRetained,
  };
  if (outcome.inactive) {
    // A capture taken while the user is away reveals no application, window or context.
    result.focusedBundleID = std::string(neutralBundleID);
    result.focusedApplicationName = std::string(neutralApplicationName);
    result.inactive = true;
    result.contextLevel = "identityOnly";
    result.accessibilityWake = AccessibilityWakeResult{
        .kind = AccessibilityWakeKind::none, .attempted = false, .succeeded = true, .cached = false};
    return result;
  }
  result.focusedBundleID = outcome.focusedBundleID;
  result.focusedWindowTitle = outcome.focusedWindowTitle;
  result.focusedApplicationName = outcome.focusedApplicationName;
  result.focusedApplicationVersion = outcome.focusedApplicationVersion;
  result.focusedProcessID = outcome.focusedProcessID;
  result.focusedWindowID = outcome.focusedWindowID;
  result.mouseX = outcome.mouseX;
  result.mouseY = outcome.mouseY;
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
  return makeCaptureResult(capture(parameters), false);
}

AutomationProbeResult CaptureProbeService::probeAutomation(const std::optional<CaptureProbeParameters>& parameters) {
  const std::optional<std::string> targetName = parameters ? parameters->automationTarget : std::nullopt;
  if (targetName == "browser") {
    return automationPermissionProbeService_.probe(AutomationProbeTarget::browser, parameters->browserBundleID);
  }
  if (targetName == "finder") {
    return automationPermissionProbeService_.probe(AutomationProbeTarget::finder, std::nullopt);
  }
  return AutomationProbeResult::invalidTarget();
}

void CaptureProbeService::resetAutomationState() {
  browserContextService_.resetAutomationState(std::nullopt);
  finderContextService_.resetAutomationState();
}

}  // namespace Sablekit
