// Remembers whether scripting each browser version worked recently, so that a
// browser that just failed is left alone for a while and one for which the
// user refused Automation is not asked again until automation state is reset.
#pragma once

#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <string_view>

#include "Sablekit/context/automation/BrowserKey.h"
#include "Sablekit/platform/Clock.h"

namespace Sablekit {

class BrowserAutomationCapabilityCache {
 public:
  // How long an outcome counts before the browser may be asked again.
  static constexpr double successLifetime = 300.0;
  static constexpr double transientFailureLifetime = 5.0;

  struct Entry {
    bool available = false;  // the last query succeeded
    double expiresAt = 0.0;  // on the clock's monotonic scale

    bool operator==(const Entry&) const = default;
  };

  // `now` must outlive the cache. Expiry runs on its monotonic time, so a
  // change of the system time neither prolongs nor cuts short a block.
  explicit BrowserAutomationCapabilityCache(const Clock& now);

  BrowserAutomationCapabilityCache(const BrowserAutomationCapabilityCache&) = delete;
  BrowserAutomationCapabilityCache& operator=(const BrowserAutomationCapabilityCache&) = delete;

  bool shouldAttempt(std::string_view bundleID, std::string_view browserVersion);

  void recordSuccess(std::string_view bundleID, std::string_view browserVersion);
  void recordTransientFailure(std::string_view bundleID, std::string_view browserVersion);
  // Blocks every version of the browser until an invalidation covers it.
  void recordPermanentFailure(std::string_view bundleID);

  // Forgets everything about one browser (all versions), or about all
  // browsers when `bundleID` is absent.
  void invalidate(const std::optional<std::string>& bundleID);

 private:
  static BrowserKey key(std::string normalizedBundleID, std::string_view browserVersion);
  void record(std::string_view bundleID, std::string_view browserVersion, bool available, double lifetime);

  mutable std::mutex lock_;  // guards entries_ and permanentlyUnavailable_
  const Clock& now_;
  std::map<BrowserKey, Entry> entries_;
  std::set<std::string> permanentlyUnavailable_;
};

}  // namespace Sablekit
