// Reading the focused window of a browser: the verdict, the page address and
// the status, with every read of a recognised browser reported to the monitor.
#include "Sablekit/context/browser/BrowserContextService.h"

#include "Sablekit/common/BundleIDNormalization.h"
#include "Sablekit/common/TextRules.h"
#include "Sablekit/common/WebURL.h"
#include "Sablekit/context/ApplicationCapabilityRegistry.h"

namespace Sablekit {

namespace {

// What the title alone says: its private wording is evidence even when
// nothing else can be read; its absence proves nothing.
BrowserPrivacyVerdict titleVerdict(std::string_view windowTitle) {
  return BrowserPrivateWindowVerdict::containsPrivateMarker(windowTitle) ? BrowserPrivacyVerdict::privateWindow
                                                                         : BrowserPrivacyVerdict::unknown;
}

}  // namespace

BrowserContextService::BrowserContextService(AccessibilityClient& accessibility,
                                             PermissionChecks& permissions,
                                             const Clock& clock,
                                             TimerScheduler& timers,
                                             ScriptRunner& scripts,
                                             BrowserURLReadHealthMonitor& readHealthMonitor,
                                             BrowserAutomationCapabilityCache& automationCapabilityCache,
                                             BrowserAutomationProbeCoordinator& automationProbeCoordinator)
    : accessibility_(accessibility),
      permissions_(permissions),
      readHealthMonitor_(readHealthMonitor),
      automationCapabilityCache_(automationCapabilityCache),
      automationProbeCoordinator_(automationProbeCoordinator),
      attributes_(accessibility),
      addressReader_(accessibility),
      verdicts_(clock, timers, accessibility, scripts, automationCapabilityCache, automationProbeCoordinator) {}

BrowserContextResult BrowserContextService::reportUnreadable(const std::string& bundleID,
                                                             std::string_view browserVersion,
                                                             BrowserContextResult result) {
  lastReadHealthSignal_ = readHealthMonitor_.observe(bundleID, browserVersion, false);
  return result;
}

BrowserContextResult BrowserContextService::read(std::string_view bundleID,
                                                 std::string_view browserVersion,
                                                 std::int32_t processID,
                                                 std::string_view windowTitle,
                                                 bool allowAutomation) {
  const std::string n = normalizeBundleID(bundleID);
  if (!ApplicationCapabilityRegistry::isRecognizedBrowser(n)) {
    return {.status = BrowserReadStatus::notBrowser,
            .pageURL = std::nullopt,
            .privacy = BrowserPrivacyVerdict::unknown,
            .authoritativePrivacy = false};
  }

  if (!permissions_.accessibilityTrusted()) {
    // Without accessibility the browser's own answer decides, else the title.
    const auto asked = verdicts_.deterministicPrivateVerdictIfAvailable(n, browserVersion, allowAutomation);
    return reportUnreadable(n, browserVersion,
                            {.status = BrowserReadStatus::unreadable,
                             .pageURL = std::nullopt,
                             .privacy = asked.value_or(titleVerdict(windowTitle)),
                             .authoritativePrivacy = asked.has_value()});
  }

  const AccessibilityElement application = accessibility_.applicationElement(processID);
  accessibility_.setMessagingTimeout(application, messagingTimeout);
  const auto window = attributes_.element(application, "AXFocusedWindow");
  if (!window) {
    return reportUnreadable(n, browserVersion,
                            {.status = BrowserReadStatus::unreadable,
                             .pageURL = std::nullopt,
                             .privacy = titleVerdict(windowTitle),
                             .authoritativePrivacy = false});
  }

  if (BrowserPrivateWindowVerdict::containsPrivateMarker(windowTitle)) {
    verdicts_.cache().removeHeuristic(*window);  // the title's evidence is weighed afresh
  }
  const auto [verdict, authoritative] =
      verdicts_.privateVerdict(n, browserVersion, *window, windowTitle, allowAutomation);

  const auto raw = addressReader_.read(BrowserPageAddressReader::readerFor(n), *window);
  const auto pageURL = raw ? normalizedSafeWebURL(*raw) : std::nullopt;

  BrowserReadStatus status = BrowserReadStatus::noPage;
  // Whatever was read, a best-effort browser's private state cannot be trusted.
  if (ApplicationCapabilityRegistry::bestEffortBrowserBundleIDs().contains(n)) {
    status = BrowserReadStatus::unsupported;
  } else if (pageURL) {
    status = BrowserReadStatus::pageURL;
  } else if (raw || verdict == BrowserPrivacyVerdict::unknown) {
    status = BrowserReadStatus::unreadable;
  }

  const bool readable = status == BrowserReadStatus::pageURL || status == BrowserReadStatus::noPage;
  lastReadHealthSignal_ = readHealthMonitor_.observe(n, browserVersion, readable);
  return {.status = status, .pageURL = pageURL, .privacy = verdict, .authoritativePrivacy = authoritative};
}

std::optional<std::string> BrowserContextService::normalizedSafeWebURL(std::string_view text) {
  const std::string trimmed(trimWhitespaceAndNewlines(text));
  if (trimmed.empty()) {
    return std::nullopt;
  }
  const auto url = WebURL::parse(trimmed);
  if (!url || url->userInfo()) {
    return std::nullopt;  // any user information, even empty, may smuggle a look-alike host
  }
  const std::string scheme = url->scheme();
  if (scheme != "http" && scheme != "https") {
    return std::nullopt;
  }
  const auto host = url->percentEncodedHost();
  if (!host || host->empty()) {
    return std::nullopt;
  }
  std::string result = scheme + "://" + asciiLowercase(*host);
  if (const auto port = url->port()) {
    result += ':';
    result += *port;
  }
  result += url->path();
  if (const auto query = url->query()) {
    result += '?';
    result += *query;
  }
  if (const auto fragment = url->fragment()) {
    result += '#';
    result += *fragment;
  }
  return result;
}

void BrowserContextService::resetAutomationState(const std::optional<std::string>& bundleID) {
  automationProbeCoordinator_.invalidate(bundleID);
  automationCapabilityCache_.invalidate(bundleID);
  verdicts_.cache().removeAuthoritative();
}

}  // namespace Sablekit
