// What the observer coordinator hands the snapshot service: a copy of the
// changes of one observed process, sharing no storage with the coordinator.
#pragma once

#include <cstdint>
#include <vector>

#include "Sablekit/accessibility/AccessibilityObservedChange.h"

namespace Sablekit {

struct AccessibilityObservationBatch {
  // The observation's current revision; 0 when the process is not observed
  // under the bundle identifier asked about.
  std::uint64_t revision = 0;
  // Pending changes newer than the revision asked about, oldest first.
  std::vector<AccessibilityObservedChange> changes;
  // Changes were thrown away since the last full acknowledgement.
  bool overflowed = false;
  // The process is observed, but under another bundle identifier.
  bool identityChanged = false;
};

}  // namespace Sablekit
