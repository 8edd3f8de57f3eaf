// The tuning values behind the decision between a cached snapshot, a patch
// and a full walk.
#pragma once

#include <cstdint>

namespace Sablekit {

struct AccessibilityLiveCacheProfile {
  // At most this many changes are patched into a snapshot between two full walks.
  std::int64_t maximumPartialPatches = 8;
  // Carried for a progressive publication of long walks, which nothing does yet.
  std::int64_t progressivePublishNodeInterval = 300;
  double progressivePublishTimeInterval = 0.2;
  // After an interaction change, wait this long (seconds) for the user to pause.
  double interactionDeferralWindow = 0.35;
  // At most this many requests in a row are answered from the cache while waiting.
  std::int64_t maximumInteractionDeferrals = 5;
  // Minimum seconds between two walks or patches of one process.
  double perProcessWalkCooldown = 0.25;
  // Minimum seconds between two forced full walks of one process.
  double forcedRebuildCooldown = 2.0;
  // Patch only once no change has arrived for this long.
  double quiescenceWindow = 0.1;
  // A snapshot walked or patched this long ago is walked again.
  double maximumStaleness = 2.0;
  // Carried for pacing consecutive reads, which nothing does yet.
  double interOperationInterval = 0.05;
  // A snapshot without nodes is walked again after this long.
  double emptyTreePollInterval = 0.05;

  bool operator==(const AccessibilityLiveCacheProfile&) const = default;
};

}  // namespace Sablekit
