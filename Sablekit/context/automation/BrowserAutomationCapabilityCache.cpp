#include "Sablekit/context/automation/BrowserAutomationCapabilityCache.h"

#include "Sablekit/common/BundleIDNormalization.h"

namespace Sablekit {

BrowserAutomationCapabilityCache::BrowserAutomationCapabilityCache(const Clock& now) : now_(now) {}

BrowserKey BrowserAutomationCapabilityCache::key(std::string normalizedBundleID, std::string_view browserVersion) {
  return BrowserKey::make(std::move(normalizedBundleID), browserVersion);
}

bool BrowserAutomationCapabilityCache::shouldAttempt(std::string_view bundleID, std::string_view browserVersion) {
  std::string normalized = normalizeBundleID(bundleID);
  const BrowserKey browserKey = key(normalized, browserVersion);
  const double now = now_.monotonicNow();

  const std::lock_guard guard(lock_);
  if (permanentlyUnavailable_.contains(normalized)) {
    return false;
  }
  const auto entry = entries_.find(browserKey);
  if (entry == entries_.end()) {
    return true;
  }
  if (now >= entry->second.expiresAt) {
    // Expired entries are dropped lazily, when first met.
    entries_.erase(entry);
    return true;
  }
  return entry->second.available;
}

void BrowserAutomationCapabilityCache::recordSuccess(std::string_view bundleID, std::string_view browserVersion) {
  record(bundleID, browserVersion, true, successLifetime);
}

void BrowserAutomationCapabilityCache::recordTransientFailure(std::string_view bundleID,
                                                              std::string_view browserVersion) {
  record(bundleID, browserVersion, false, transientFailureLifetime);
}

void BrowserAutomationCapabilityCache::record(std::string_view bundleID,
                                              std::string_view browserVersion,
                                              bool available,
                                              double lifetime) {
  BrowserKey browserKey = key(normalizeBundleID(bundleID), browserVersion);
  const double now = now_.monotonicNow();

  const std::lock_guard guard(lock_);
  entries_.insert_or_assign(std::move(browserKey), Entry{available, now + lifetime});
}

void BrowserAutomationCapabilityCache::recordPermanentFailure(std::string_view bundleID) {
  std::string normalized = normalizeBundleID(bundleID);

  const std::lock_guard guard(lock_);
  permanentlyUnavailable_.insert(std::move(normalized));
}

void BrowserAutomationCapabilityCache::invalidate(const std::optional<std::string>& bundleID) {
  if (!bundleID) {
    const std::lock_guard guard(lock_);
    entries_.clear();
    permanentlyUnavailable_.clear();
    return;
  }

  const std::string normalized = normalizeBundleID(*bundleID);
  const std::lock_guard guard(lock_);
  // Keys order by identifier first, so one browser's versions are contiguous.
  auto first = entries_.lower_bound(BrowserKey{normalized, std::string()});
  auto last = first;
  while (last != entries_.end() && last->first.bundleID == normalized) {
    ++last;
  }
  entries_.erase(first, last);
  permanentlyUnavailable_.erase(normalized);
}

}  // namespace Sablekit
