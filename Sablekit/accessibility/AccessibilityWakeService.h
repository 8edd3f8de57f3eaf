// Switches on the accessibility of applications that expose their full tree
// only on request (Electron, Gecko and some WebKit applications), by setting
// one attribute on the application element, at most once every five minutes
// per process.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "Sablekit/context/StringSet.h"
#include "Sablekit/platform/AccessibilityClient.h"
#include "Sablekit/platform/Clock.h"
#include "Sablekit/platform/PermissionChecks.h"
#include "Sablekit/protocol/AccessibilityWakeResult.h"

namespace Sablekit {

class AccessibilityWakeService {
 public:
  // An attempt, success or failure, is answered from the cache this long.
  static constexpr double cacheLifetime = 300.0;
  // How long the application may take to accept the attribute.
  static constexpr double messagingTimeout = 0.5;

  // The three collaborators must outlive the service.
  AccessibilityWakeService(const Clock& clock, PermissionChecks& permissions, AccessibilityClient& accessibility);

  AccessibilityWakeService(const AccessibilityWakeService&) = delete;
  AccessibilityWakeService& operator=(const AccessibilityWakeService&) = delete;

  // Wakes the focused application if its kind needs it and no attempt for the
  // same process and identifier is younger than cacheLifetime. Never fails;
  // an absent identifier needs no wake. Called on the capture thread only:
  // the service has no lock.
  AccessibilityWakeResult wakeIfNeeded(const std::optional<std::string>& bundleID, std::int32_t processID);

  // The registry's technique for the normalised identifier; none when absent.
  static AccessibilityWakeKind kind(const std::optional<std::string>& bundleID);

  // The attribute set for a kind; absent for none.
  static std::optional<std::string_view> wakeAttribute(AccessibilityWakeKind kind);

 private:
  struct WakeCacheEntry {
    std::string bundleID;      // normalised
    double attemptedAt = 0.0;  // the clock's monotonic time
    bool succeeded = false;    // the application accepted the attribute
  };

  const Clock& clock_;
  PermissionChecks& permissions_;
  AccessibilityClient& accessibility_;
  // Never pruned: one small entry per process that ever needed waking.
  std::map<std::int32_t, WakeCacheEntry> cache_;
};

}  // namespace Sablekit
