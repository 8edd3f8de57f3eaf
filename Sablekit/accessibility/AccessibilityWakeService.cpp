#include "Sablekit/accessibility/AccessibilityWakeService.h"

#include "Sablekit/common/BundleIDNormalization.h"
#include "Sablekit/context/ApplicationCapabilityRegistry.h"

namespace Sablekit {

AccessibilityWakeService::AccessibilityWakeService(const Clock& clock,
                                                   PermissionChecks& permissions,
                                                   AccessibilityClient& accessibility)
    : clock_(clock), permissions_(permissions), accessibility_(accessibility) {}

AccessibilityWakeKind AccessibilityWakeService::kind(const std::optional<std::string>& bundleID) {
  if (!bundleID) {
    return AccessibilityWakeKind::none;
  }
  return ApplicationCapabilityRegistry::profile(normalizeBundleID(*bundleID)).accessibilityWake;
}

std::optional<std::string_view> AccessibilityWakeService::wakeAttribute(AccessibilityWakeKind kind) {
  switch (kind) {
    case AccessibilityWakeKind::electron:
    case AccessibilityWakeKind::gecko:
      return "AXManualAccessibility";
    case AccessibilityWakeKind::appleWebKit:
      return "AXEnhancedUserInterface";
    case AccessibilityWakeKind::none:
      break;
  }
  return std::nullopt;
}

AccessibilityWakeResult AccessibilityWakeService::wakeIfNeeded(const std::optional<std::string>& bundleID,
                                                               std::int32_t processID) {
  constexpr AccessibilityWakeResult noWakeNeeded{
      .kind = AccessibilityWakeKind::none, .attempted = false, .succeeded = true, .cached = false};
  if (!bundleID) {
    return noWakeNeeded;
  }
  const std::string normalized = normalizeBundleID(*bundleID);
  const AccessibilityWakeKind wakeKind = ApplicationCapabilityRegistry::profile(normalized).accessibilityWake;
  const auto attribute = wakeAttribute(wakeKind);
  if (!attribute) {
    return noWakeNeeded;
  }

  // Monotonic time, so a clock set back cannot hold a failed attempt in the
  // cache for longer than the lifetime.
  const double now = clock_.monotonicNow();
  if (const auto found = cache_.find(processID); found != cache_.end() && found->second.bundleID == normalized &&
                                                 now - found->second.attemptedAt < cacheLifetime) {
    return {.kind = wakeKind, .attempted = false, .succeeded = found->second.succeeded, .cached = true};
  }

  // Untrusted attempts would only fail; leaving the cache alone lets the
  // first call after the grant try at once.
  if (!permissions_.accessibilityTrusted()) {
    return {.kind = wakeKind, .attempted = false, .succeeded = false, .cached = false};
  }

  const AccessibilityElement application = accessibility_.applicationElement(processID);
  accessibility_.setMessagingTimeout(application, messagingTimeout);
  const bool succeeded = accessibility_.setAttribute(application, std::string(*attribute), AccessibilityValue(true));
  // Stamped after the call, so a slow refusal still waits the full lifetime.
  cache_[processID] =
      WakeCacheEntry{.bundleID = normalized, .attemptedAt = clock_.monotonicNow(), .succeeded = succeeded};
  return {.kind = wakeKind, .attempted = true, .succeeded = succeeded, .cached = false};
}

}  // namespace Sablekit
