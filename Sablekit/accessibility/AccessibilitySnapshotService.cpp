// Snapshots of an application's accessibility tree by a full walk.
#include "Sablekit/accessibility/AccessibilitySnapshotService.h"

#include <algorithm>

namespace Sablekit {

AccessibilitySnapshotService::AccessibilitySnapshotService(AccessibilityClient& accessibility,
                                                           PermissionChecks& permissions,
                                                           const Clock& clock,
                                                           std::int64_t maximumDepth,
                                                           std::int64_t maximumNodes,
                                                           std::int64_t maximumSerializedBytes,
                                                           double maximumWalkDuration)
    : accessibility_(accessibility),
      permissions_(permissions),
      clock_(clock),
      maximumNodes_(std::max<std::int64_t>(maximumNodes, 1)),
      maximumSerializedBytes_(std::max<std::int64_t>(maximumSerializedBytes, 1024)),
      // std::max keeps its first argument when the second is NaN.
      walker_(accessibility, clock, std::max<std::int64_t>(maximumDepth, 1), std::max(0.05, maximumWalkDuration)) {}

AccessibilityTreeBuild AccessibilitySnapshotService::walk(std::string_view bundleID,
                                                          std::int32_t processID,
                                                          const AccessibilityWindowScope& windows) {
  const AccessibilityElement application = accessibility_.applicationElement(processID);
  accessibility_.setMessagingTimeout(application, applicationMessagingTimeout);
  return walker_.buildTree(application, "0", 0, bundleID, processID, maximumNodes_, maximumSerializedBytes_, {},
                           windows, false);
}

AccessibilitySnapshotResult AccessibilitySnapshotService::snapshot(const std::string& applicationName,
                                                                   const std::string& bundleID,
                                                                   std::int32_t processID,
                                                                   const AccessibilityWindowScope& windows) {
  const AccessibilitySnapshotSubject subject{
      .applicationName = applicationName,
      .bundleID = bundleID,
      .processID = processID,
      .capturedAtMilliseconds = wireMilliseconds(clock_.now()),
  };
  if (!permissions_.accessibilityTrusted()) {
    return permissionUnavailableSnapshot(subject);
  }
  AccessibilityTreeBuild build = walk(bundleID, processID, windows);
  return snapshotResult(subject, std::move(build.nodes), AccessibilityExtractionMode::staticWalk, build.partial);
}

}  // namespace Sablekit
