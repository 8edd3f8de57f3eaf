// The live-update bookkeeping of one cached process.
#pragma once

#include <cstdint>
#include <optional>

#include "Sablekit/accessibility/AccessibilityForcedRebuildReason.h"

namespace Sablekit {

struct AccessibilityLiveCacheState {
  std::int64_t partialPatchCount = 0;                // changes patched in since the last full walk
  std::int64_t consecutiveInteractionDeferrals = 0;  // requests in a row answered while the user interacts
  std::optional<double> lastWalkAt;                  // wall seconds of the last walk or patch
  std::optional<double> lastForcedRebuildAt;         // wall seconds of the last forced full walk
  // A forced full walk waiting for the forced-rebuild cooldown.
  std::optional<AccessibilityForcedRebuildReason> pendingForcedRebuild;

  bool operator==(const AccessibilityLiveCacheState&) const = default;
};

}  // namespace Sablekit
