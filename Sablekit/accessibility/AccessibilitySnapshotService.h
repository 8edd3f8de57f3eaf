// Answers what the accessibility tree of an application looks like now, as a
// snapshot record for the capture service. This layer walks the whole tree
// on every request; the per-process cache and patching build on walk(),
// walker() and the assembly helpers.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "Sablekit/accessibility/AccessibilitySnapshotAssembly.h"
#include "Sablekit/accessibility/AccessibilityTreeBuild.h"
#include "Sablekit/accessibility/AccessibilityTreeWalker.h"
#include "Sablekit/platform/AccessibilityClient.h"
#include "Sablekit/platform/Clock.h"
#include "Sablekit/platform/PermissionChecks.h"
#include "Sablekit/protocol/AccessibilitySnapshotResult.h"

namespace Sablekit {

class AccessibilitySnapshotService {
 public:
  static constexpr std::int64_t defaultMaximumDepth = 12;
  static constexpr std::int64_t defaultMaximumNodes = 5000;
  static constexpr std::int64_t defaultMaximumSerializedBytes = 16 * 1024 * 1024;
  static constexpr double defaultMaximumWalkDuration = 1.5;
  // The version of the rules by which nodes are read and hashed.
  static constexpr std::int64_t profileVersion = 1;
  // How long a walked application may take to answer one read before it fails.
  static constexpr double applicationMessagingTimeout = 0.5;

  // Limits are clamped: depth and nodes to at least 1, bytes to at least 1024,
  // the walk duration (seconds) to at least 0.05 (NaN counts as too small).
  // The collaborators must outlive the service. Main thread only: the service
  // has no lock.
  AccessibilitySnapshotService(AccessibilityClient& accessibility,
                               PermissionChecks& permissions,
                               const Clock& clock,
                               std::int64_t maximumDepth = defaultMaximumDepth,
                               std::int64_t maximumNodes = defaultMaximumNodes,
                               std::int64_t maximumSerializedBytes = defaultMaximumSerializedBytes,
                               double maximumWalkDuration = defaultMaximumWalkDuration);
  AccessibilitySnapshotService(const AccessibilitySnapshotService&) = delete;
  AccessibilitySnapshotService& operator=(const AccessibilitySnapshotService&) = delete;

  // The tree of the process now, entering only the windows `windows` admits.
  // Without accessibility trust: the "permissionUnavailable" form, with
  // nothing read. Otherwise a full walk ("static"), partial when the walk
  // was. Never fails. `bundleID` and `applicationName` are reported and
  // hashed exactly as given.
  AccessibilitySnapshotResult snapshot(const std::string& applicationName,
                                       const std::string& bundleID,
                                       std::int32_t processID,
                                       const AccessibilityWindowScope& windows);

  // A full walk of the process's tree from its application element, whose
  // messaging timeout is first set to applicationMessagingTimeout, with the
  // whole node and byte budgets and no ancestors, entering only the windows
  // `windows` admits. Does not check trust.
  AccessibilityTreeBuild walk(std::string_view bundleID,
                              std::int32_t processID,
                              const AccessibilityWindowScope& windows);

  // The walker with this service's depth and time limits, for re-walking one
  // subtree with given budgets and ancestors.
  AccessibilityTreeWalker& walker() { return walker_; }

  std::int64_t maximumDepth() const { return walker_.maximumDepth(); }
  std::int64_t maximumNodes() const { return maximumNodes_; }
  std::int64_t maximumSerializedBytes() const { return maximumSerializedBytes_; }
  double maximumWalkDuration() const { return walker_.maximumWalkDuration(); }

 private:
  AccessibilityClient& accessibility_;
  PermissionChecks& permissions_;
  const Clock& clock_;
  const std::int64_t maximumNodes_;
  const std::int64_t maximumSerializedBytes_;
  AccessibilityTreeWalker walker_;
};

}  // namespace Sablekit
