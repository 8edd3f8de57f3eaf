// What a capture reports in place of what it did not read or must not
// reveal, kept in one place so that the probe, the frame and its snapshot
// agree: the neutral identity of an inactive capture, the wake that was not
// attempted, and the snapshot that was not walked.
#pragma once

#include <string_view>

#include "Sablekit/capture/CaptureOutcome.h"
#include "Sablekit/context/ApplicationCapabilityRegistry.h"
#include "Sablekit/protocol/AccessibilitySnapshotResult.h"
#include "Sablekit/protocol/AccessibilityWakeResult.h"

namespace Sablekit {

struct CapturePlaceholders {
  CapturePlaceholders() = delete;

  // The identity an inactive capture reports instead of the real one.
  static constexpr std::string_view neutralBundleID = ApplicationCapabilityRegistry::finderBundleID;
  static constexpr std::string_view neutralApplicationName = "Finder";

  // The wake of a capture that tries none (an inactive one).
  static constexpr AccessibilityWakeResult wakeNotAttempted{.kind = AccessibilityWakeKind::none,
                                                            .attempted = false,
                                                            .succeeded = true,
                                                            .cached = false};

  // The snapshot reported when none is walked: of the neutral identity for an
  // inactive capture, of the focused application for a suppressed one.
  static AccessibilitySnapshotResult snapshot(const CaptureOutcome& outcome);
};

}  // namespace Sablekit
