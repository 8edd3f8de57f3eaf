// Turns walked (or patched) nodes into the snapshot record the parent
// receives, and makes the record's forms that carry no nodes.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "Sablekit/accessibility/IndexedAccessibilityNode.h"
#include "Sablekit/protocol/AccessibilitySnapshotResult.h"

namespace Sablekit {

// Who the snapshot is of, and when it was asked for; copied into every form.
struct AccessibilitySnapshotSubject {
  std::string applicationName;  // as the caller passed it
  std::string bundleID;         // as the caller passed it, not normalised
  std::int32_t processID = 0;
  std::int64_t capturedAtMilliseconds = 0;
};

// For each node in the given order, the non-empty values of the searchable
// attributes in their order, joined by line feeds; nothing is de-duplicated.
std::string searchableText(std::span<const IndexedAccessibilityNode> nodes);

// The hash of the first node whose path is exactly "0"; absent when none is.
std::optional<std::string> rootHash(std::span<const IndexedAccessibilityNode> nodes);

// A "success" record of `nodes`, which must already be in path order (as
// buildTree and normalizeRelationships give them).
AccessibilitySnapshotResult snapshotResult(const AccessibilitySnapshotSubject& subject,
                                           std::span<const IndexedAccessibilityNode> nodes,
                                           AccessibilityExtractionMode mode,
                                           bool partial);

// The same, moving the node results out of `nodes` instead of copying them:
// for a caller that keeps no nodes of its own.
AccessibilitySnapshotResult snapshotResult(const AccessibilitySnapshotSubject& subject,
                                           std::vector<IndexedAccessibilityNode>&& nodes,
                                           AccessibilityExtractionMode mode,
                                           bool partial);

// "permissionUnavailable", read nothing, partial, no nodes.
AccessibilitySnapshotResult permissionUnavailableSnapshot(const AccessibilitySnapshotSubject& subject);

// "success", read nothing, not partial, no nodes: for a capture that asks for no snapshot.
AccessibilitySnapshotResult unrequestedSnapshot(const AccessibilitySnapshotSubject& subject);

}  // namespace Sablekit
