// Why a cached snapshot must be walked again in full rather than patched.
#pragma once

namespace Sablekit {

// In the order the decision tests them; internal, never sent to the parent.
enum class AccessibilityForcedRebuildReason {
  eventOverflow,      // the observation lost changes
  identityChanged,    // the process is observed under another bundle identifier
  structuralChange,   // a pending change altered the tree's shape
  unresolvedElement,  // a pending change names an element the snapshot lacks
  patchLimit,         // too many changes patched in since the last full walk
  stale,              // the snapshot is too old
  emptyTreePoll,      // the snapshot has no nodes and is old enough to retry
};

}  // namespace Sablekit
