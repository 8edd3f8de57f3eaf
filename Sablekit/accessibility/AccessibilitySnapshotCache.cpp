// Cached, patched and re-walked accessibility snapshots, decided per request.
#include "Sablekit/accessibility/AccessibilitySnapshotCache.h"

#include <algorithm>
#include <iterator>

#include "Sablekit/accessibility/AccessibilityAttributeSerialization.h"
#include "Sablekit/accessibility/AccessibilityNodeOrder.h"
#include "Sablekit/accessibility/AccessibilitySnapshotService.h"
#include "Sablekit/common/BundleIDNormalization.h"

namespace Sablekit {

namespace {

bool isInSubtree(const std::string& path, const std::string& rootPath) {
  return path == rootPath || (path.size() > rootPath.size() + 1 && path.compare(0, rootPath.size(), rootPath) == 0 &&
                              path[rootPath.size()] == '.');
}

void sortByPath(std::vector<IndexedAccessibilityNode>& nodes) {
  std::stable_sort(nodes.begin(), nodes.end(),
                   [](const IndexedAccessibilityNode& left, const IndexedAccessibilityNode& right) {
                     return pathIsBefore(left.path, right.path);
                   });
}

}  // namespace

AccessibilitySnapshotCache::AccessibilitySnapshotCache(AccessibilitySnapshotService& walks,
                                                       AccessibilityObserverCoordinator& observerCoordinator,
                                                       PermissionChecks& permissions,
                                                       const Clock& clock)
    : walks_(walks), observerCoordinator_(observerCoordinator), permissions_(permissions), clock_(clock) {}

const CachedAccessibilitySnapshot* AccessibilitySnapshotCache::entry(std::int32_t processID) const {
  const auto found = cache_.find(processID);
  return found == cache_.end() ? nullptr : &found->second;
}

AccessibilitySnapshotResult AccessibilitySnapshotCache::cachedForm(const CachedAccessibilitySnapshot& entry,
                                                                   std::int64_t capturedAtMilliseconds,
                                                                   bool partial) {
  AccessibilitySnapshotResult result = entry.result;
  result.capturedAtMilliseconds = capturedAtMilliseconds;
  result.extractionMode = AccessibilityExtractionMode::cached;
  result.partial = partial;
  return result;
}

AccessibilitySnapshotResult AccessibilitySnapshotCache::snapshot(const std::string& applicationName,
                                                                 const std::string& bundleID,
                                                                 std::int32_t processID,
                                                                 const AccessibilityWindowScope& windows) {
  const double now = clock_.now();
  const AccessibilitySnapshotSubject subject{
      .applicationName = applicationName,
      .bundleID = bundleID,
      .processID = processID,
      .capturedAtMilliseconds = wireMilliseconds(now),
  };
  if (!permissions_.accessibilityTrusted()) {
    cache_.erase(processID);
    return permissionUnavailableSnapshot(subject);
  }
  const std::string normalizedBundleID = normalizeBundleID(bundleID);
  const auto found = cache_.find(processID);
  if (found == cache_.end() || found->second.bundleID != normalizedBundleID || found->second.windows != windows) {
    cache_.erase(processID);
    return rebuild(subject, normalizedBundleID, windows, now, std::nullopt, false);
  }
  CachedAccessibilitySnapshot& entry = found->second;
  AccessibilityLiveCacheState& state = entry.liveState;
  const AccessibilityLiveCacheProfile& profile = liveProfile_;

  const AccessibilityObservationBatch batch = observerCoordinator_.changes(processID, bundleID, entry.revision);
  const std::vector<AccessibilityObservedChange>& pending = batch.changes;
  bool interaction = false;
  bool structural = false;
  for (const AccessibilityObservedChange& change : pending) {
    interaction = interaction || change.kind == AccessibilityObservedChangeKind::interaction;
    structural = structural || change.kind == AccessibilityObservedChangeKind::structural;
  }
  const bool unresolved = std::any_of(pending.begin(), pending.end(), [&](const AccessibilityObservedChange& change) {
    return std::none_of(entry.indexedNodes.begin(), entry.indexedNodes.end(),
                        [&](const IndexedAccessibilityNode& node) { return node.element == change.element; });
  });
  // A clock that went backwards makes the snapshot young, not old.
  const double age = std::max(0.0, now - entry.builtAt);

  std::optional<AccessibilityForcedRebuildReason> reason;
  if (batch.overflowed) {
    reason = AccessibilityForcedRebuildReason::eventOverflow;
  } else if (batch.identityChanged) {
    reason = AccessibilityForcedRebuildReason::identityChanged;
  } else if (structural) {
    reason = AccessibilityForcedRebuildReason::structuralChange;
  } else if (unresolved) {
    reason = AccessibilityForcedRebuildReason::unresolvedElement;
  } else if (state.partialPatchCount + static_cast<std::int64_t>(pending.size()) > profile.maximumPartialPatches) {
    reason = AccessibilityForcedRebuildReason::patchLimit;
  } else if (age >= profile.maximumStaleness) {
    reason = AccessibilityForcedRebuildReason::stale;
  } else if (entry.indexedNodes.empty() && age >= profile.emptyTreePollInterval) {
    reason = AccessibilityForcedRebuildReason::emptyTreePoll;
  } else if (state.pendingForcedRebuild) {
    reason = state.pendingForcedRebuild;
  }

  if (reason) {
    if (state.lastForcedRebuildAt && now - *state.lastForcedRebuildAt < profile.forcedRebuildCooldown) {
      state.pendingForcedRebuild = reason;
      return cachedForm(entry, subject.capturedAtMilliseconds, true);
    }
    state.pendingForcedRebuild.reset();
    const CachedAccessibilitySnapshot previous = entry;
    return rebuild(subject, normalizedBundleID, windows, now, previous, true);
  }

  if (pending.empty()) {
    if (batch.revision > entry.revision) {
      entry.revision = batch.revision;
      observerCoordinator_.acknowledge(processID, bundleID, batch.revision);
    }
    return cachedForm(entry, subject.capturedAtMilliseconds, entry.result.partial);
  }

  // Held-back changes stay unacknowledged, so the next request sees them again.
  const double quietTime = now - pending.back().occurredAt;
  const bool mayDefer = interaction && state.consecutiveInteractionDeferrals < profile.maximumInteractionDeferrals;
  if (quietTime < 0) {
    if (mayDefer) {
      ++state.consecutiveInteractionDeferrals;
    }
    return cachedForm(entry, subject.capturedAtMilliseconds, true);
  }
  if (quietTime < profile.interactionDeferralWindow && mayDefer) {
    ++state.consecutiveInteractionDeferrals;
    return cachedForm(entry, subject.capturedAtMilliseconds, true);
  }
  if (quietTime < profile.quiescenceWindow) {
    return cachedForm(entry, subject.capturedAtMilliseconds, true);
  }
  if (state.lastWalkAt && now - *state.lastWalkAt < profile.perProcessWalkCooldown) {
    return cachedForm(entry, subject.capturedAtMilliseconds, true);
  }

  std::optional<PatchResult> patch = applyIncrementalChanges(pending, entry, subject);
  if (!patch) {
    // A refused patch walks at once, outside the forced-rebuild cooldown.
    const CachedAccessibilitySnapshot previous = entry;
    return rebuild(subject, normalizedBundleID, windows, now, previous, true);
  }
  entry.indexedNodes = std::move(patch->indexedNodes);
  entry.serializedBytes = patch->serializedBytes;
  entry.result = patch->result;
  entry.revision = batch.revision;
  entry.builtAt = now;
  state.partialPatchCount += static_cast<std::int64_t>(pending.size());
  state.consecutiveInteractionDeferrals = 0;
  state.lastWalkAt = now;
  observerCoordinator_.acknowledge(processID, bundleID, batch.revision);
  return std::move(patch->result);
}

AccessibilitySnapshotResult AccessibilitySnapshotCache::rebuild(
    const AccessibilitySnapshotSubject& subject,
    const std::string& normalizedBundleID,
    const AccessibilityWindowScope& windows,
    double now,
    const std::optional<CachedAccessibilitySnapshot>& previous,
    bool forced) {
  const AccessibilityObservationBatch first =
      observerCoordinator_.changes(subject.processID, subject.bundleID, previous ? previous->revision : 0);
  AccessibilityTreeBuild build = walks_.walk(subject.bundleID, subject.processID, windows);
  const AccessibilityObservationBatch second =
      observerCoordinator_.changes(subject.processID, subject.bundleID, first.revision);
  // Changes that arrived during the walk may not be in it: keep them pending.
  const bool changedDuringWalk = second.overflowed || !second.changes.empty();
  const std::uint64_t revision = changedDuringWalk ? first.revision : second.revision;

  AccessibilityLiveCacheState state = previous ? previous->liveState : AccessibilityLiveCacheState{};
  state.partialPatchCount = 0;
  state.consecutiveInteractionDeferrals = 0;
  state.pendingForcedRebuild.reset();
  state.lastWalkAt = now;
  if (forced) {
    state.lastForcedRebuildAt = now;
  }

  sortByPath(build.nodes);
  AccessibilitySnapshotResult result =
      snapshotResult(subject, build.nodes, AccessibilityExtractionMode::staticWalk, changedDuringWalk || build.partial);
  cache_.insert_or_assign(subject.processID, CachedAccessibilitySnapshot{
                                                 .bundleID = normalizedBundleID,
                                                 .windows = windows,
                                                 .revision = revision,
                                                 .builtAt = now,
                                                 .result = result,
                                                 .indexedNodes = std::move(build.nodes),
                                                 .serializedBytes = build.serializedBytes,
                                                 .liveState = state,
                                             });
  observerCoordinator_.acknowledge(subject.processID, subject.bundleID, revision);
  evictLeastRecentlyBuiltIfNeeded();
  return result;
}

std::optional<AccessibilitySnapshotCache::PatchResult> AccessibilitySnapshotCache::applyIncrementalChanges(
    std::span<const AccessibilityObservedChange> changes,
    const CachedAccessibilitySnapshot& entry,
    const AccessibilitySnapshotSubject& subject) {
  std::vector<IndexedAccessibilityNode> nodes = entry.indexedNodes;
  std::int64_t runningBytes = entry.serializedBytes;
  bool partial = entry.result.partial;

  for (const AccessibilityObservedChange& change : changes) {
    if (change.kind == AccessibilityObservedChangeKind::structural || nodes.empty()) {
      return std::nullopt;
    }
    const auto rootNode = std::find_if(nodes.begin(), nodes.end(), [&](const IndexedAccessibilityNode& node) {
      return node.element == change.element;
    });
    if (rootNode == nodes.end() || rootNode->path == "0") {
      return std::nullopt;
    }
    const std::string rootPath = rootNode->path;
    const std::int64_t rootDepth = rootNode->depth;

    std::vector<IndexedAccessibilityNode> kept;
    std::int64_t subtreeBytes = 0;
    for (IndexedAccessibilityNode& node : nodes) {
      if (isInSubtree(node.path, rootPath)) {
        subtreeBytes += serializedByteCount(node.result.attributes);
      } else {
        kept.push_back(std::move(node));
      }
    }
    const std::int64_t nodeBudget = walks_.maximumNodes() - static_cast<std::int64_t>(kept.size());
    const std::int64_t keptBytes = std::max<std::int64_t>(0, runningBytes - subtreeBytes);
    const std::int64_t byteBudget = walks_.maximumSerializedBytes() - keptBytes;
    if (nodeBudget < 1 || byteBudget < 1) {
      return std::nullopt;
    }
    std::vector<AccessibilityElement> ancestors;
    bool withinSecure = false;
    for (const IndexedAccessibilityNode& node : kept) {
      const std::string prefix = node.path + ".";
      if (rootPath.compare(0, prefix.size(), prefix) == 0) {
        ancestors.push_back(node.element);
        withinSecure = withinSecure || node.masked;
      }
    }
    AccessibilityTreeBuild walked =
        walks_.walker().buildTree(change.element, rootPath, rootDepth, subject.bundleID, subject.processID, nodeBudget,
                                  byteBudget, ancestors, entry.windows, withinSecure);
    if (walked.nodes.empty()) {
      return std::nullopt;
    }
    kept.insert(kept.end(), std::make_move_iterator(walked.nodes.begin()), std::make_move_iterator(walked.nodes.end()));
    nodes = normalizeRelationships(std::move(kept));
    runningBytes = keptBytes + walked.serializedBytes;
    partial = partial || walked.partial;
  }

  sortByPath(nodes);
  PatchResult patch;
  patch.result = snapshotResult(subject, nodes, AccessibilityExtractionMode::incremental, partial);
  patch.indexedNodes = std::move(nodes);
  patch.serializedBytes = runningBytes;
  return patch;
}

void AccessibilitySnapshotCache::evictLeastRecentlyBuiltIfNeeded() {
  if (cache_.size() <= maximumCachedProcesses) {
    return;
  }
  const auto oldest = std::min_element(cache_.begin(), cache_.end(), [](const auto& left, const auto& right) {
    return left.second.builtAt < right.second.builtAt;
  });
  cache_.erase(oldest);
}

}  // namespace Sablekit
