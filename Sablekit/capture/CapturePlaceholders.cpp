// The snapshot placeholder of a capture that walks no accessibility tree.
#include "Sablekit/capture/CapturePlaceholders.h"

#include <string>

#include "Sablekit/accessibility/AccessibilitySnapshotAssembly.h"

namespace Sablekit {

AccessibilitySnapshotResult CapturePlaceholders::snapshot(const CaptureOutcome& outcome) {
  if (outcome.inactive) {
    return unrequestedSnapshot({.applicationName = std::string(neutralApplicationName),
                                .bundleID = std::string(neutralBundleID),
                                .processID = 0,
                                .capturedAtMilliseconds = outcome.capturedAtMilliseconds});
  }
  return unrequestedSnapshot({.applicationName = outcome.focusedApplicationName,
                              .bundleID = outcome.focusedBundleID,
                              .processID = outcome.focusedProcessID,
                              .capturedAtMilliseconds = outcome.capturedAtMilliseconds});
}

}  // namespace Sablekit
