// One process's cached snapshot: what was reported, the nodes with their
// elements for matching later notifications, and its live-update state.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "Sablekit/accessibility/AccessibilityLiveCacheState.h"
#include "Sablekit/accessibility/AccessibilityWindowScope.h"
#include "Sablekit/accessibility/IndexedAccessibilityNode.h"
#include "Sablekit/protocol/AccessibilitySnapshotResult.h"

namespace Sablekit {

struct CachedAccessibilitySnapshot {
  std::string bundleID;              // normalised: trimmed and lowercased
  AccessibilityWindowScope windows;  // the windows the nodes were walked for
  std::uint64_t revision = 0;        // observation revision up to which changes are reflected
  double builtAt = 0;                // wall seconds of the last walk or patch
  AccessibilitySnapshotResult result;
  std::vector<IndexedAccessibilityNode> indexedNodes;  // in path order
  std::int64_t serializedBytes = 0;
  AccessibilityLiveCacheState liveState;
};

}  // namespace Sablekit
