// The per-process cache of accessibility snapshots and the live decision, on
// every request, between answering from the cache, patching the changed
// subtrees from observed notifications, and walking the whole tree again.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "Sablekit/accessibility/AccessibilityLiveCacheProfile.h"
#include "Sablekit/accessibility/AccessibilityObservedChange.h"
#include "Sablekit/accessibility/AccessibilityObserverCoordinator.h"
#include "Sablekit/accessibility/AccessibilitySnapshotAssembly.h"
#include "Sablekit/accessibility/CachedAccessibilitySnapshot.h"
#include "Sablekit/platform/Clock.h"
#include "Sablekit/platform/PermissionChecks.h"
#include "Sablekit/protocol/AccessibilitySnapshotResult.h"

namespace Sablekit {

class AccessibilitySnapshotService;

class AccessibilitySnapshotCache {
 public:
  // After any full walk the cache holds at most this many processes.
  static constexpr std::size_t maximumCachedProcesses = 8;

  // `walks` provides the full walk, the subtree walker and the limits. Every
  // reference must outlive the cache. Main thread only: the cache has no
  // lock; the coordinator guards its own state.
  AccessibilitySnapshotCache(AccessibilitySnapshotService& walks,
                             AccessibilityObserverCoordinator& observerCoordinator,
                             PermissionChecks& permissions,
                             const Clock& clock);
  AccessibilitySnapshotCache(const AccessibilitySnapshotCache&) = delete;
  AccessibilitySnapshotCache& operator=(const AccessibilitySnapshotCache&) = delete;

  // The tree of the process now, entering only the windows `windows`
  // admits: the "permissionUnavailable" form without trust (the entry is
  // dropped), else a full walk ("static"), a patch ("incremental") or the
  // cached nodes ("cached"). Nodes cached for other windows are never
  // answered: a different scope walks afresh. Never fails. The wall clock is
  // read once; every form carries that time.
  AccessibilitySnapshotResult snapshot(const std::string& applicationName,
                                       const std::string& bundleID,
                                       std::int32_t processID,
                                       const AccessibilityWindowScope& windows);

  const AccessibilityLiveCacheProfile& liveProfile() const { return liveProfile_; }
  // The entry of a process, for inspection; null when none is cached.
  const CachedAccessibilitySnapshot* entry(std::int32_t processID) const;
  std::size_t size() const { return cache_.size(); }

 private:
  struct PatchResult {
    std::vector<IndexedAccessibilityNode> indexedNodes;
    std::int64_t serializedBytes = 0;
    AccessibilitySnapshotResult result;
  };

  AccessibilitySnapshotResult rebuild(const AccessibilitySnapshotSubject& subject,
                                      const std::string& normalizedBundleID,
                                      const AccessibilityWindowScope& windows,
                                      double now,
                                      const std::optional<CachedAccessibilitySnapshot>& previous,
                                      bool forced);
  // Absent when the changes cannot be patched and the tree must be walked.
  std::optional<PatchResult> applyIncrementalChanges(std::span<const AccessibilityObservedChange> changes,
                                                     const CachedAccessibilitySnapshot& entry,
                                                     const AccessibilitySnapshotSubject& subject);
  void evictLeastRecentlyBuiltIfNeeded();
  static AccessibilitySnapshotResult cachedForm(const CachedAccessibilitySnapshot& entry,
                                                std::int64_t capturedAtMilliseconds,
                                                bool partial);

  AccessibilitySnapshotService& walks_;
  AccessibilityObserverCoordinator& observerCoordinator_;
  PermissionChecks& permissions_;
  const Clock& clock_;
  const AccessibilityLiveCacheProfile liveProfile_;
  std::map<std::int32_t, CachedAccessibilitySnapshot> cache_;
};

}  // namespace Sablekit
