// Snapshot records from accessibility nodes.
#include "Sablekit/accessibility/AccessibilitySnapshotAssembly.h"

#include "Sablekit/accessibility/AccessibilityAttributeSerialization.h"

namespace Sablekit {
namespace {

AccessibilitySnapshotResult emptySnapshot(const AccessibilitySnapshotSubject& subject,
                                          AccessibilitySnapshotStatus status,
                                          bool partial) {
  return {
      .status = status,
      .capturedAtMilliseconds = subject.capturedAtMilliseconds,
      .applicationName = subject.applicationName,
      .bundleID = subject.bundleID,
      .processID = subject.processID,
      .extractionMode = AccessibilityExtractionMode::none,
      .partial = partial,
  };
}

}  // namespace

std::string searchableText(std::span<const IndexedAccessibilityNode> nodes) {
  static const std::vector<std::string> names(searchableAttributes.begin(), searchableAttributes.end());
  std::string text;
  bool first = true;
  for (const auto& node : nodes) {
    for (const std::string& name : names) {
      const auto found = node.result.attributes.find(name);
      if (found == node.result.attributes.end() || found->second.empty()) {
        continue;
      }
      if (!first) {
        text += '\n';
      }
      text += found->second;
      first = false;
    }
  }
  return text;
}

std::optional<std::string> rootHash(std::span<const IndexedAccessibilityNode> nodes) {
  for (const auto& node : nodes) {
    if (node.path == "0") {
      return node.result.hash;
    }
  }
  return std::nullopt;
}

AccessibilitySnapshotResult snapshotResult(const AccessibilitySnapshotSubject& subject,
                                           std::span<const IndexedAccessibilityNode> nodes,
                                           AccessibilityExtractionMode mode,
                                           bool partial) {
  AccessibilitySnapshotResult result = emptySnapshot(subject, AccessibilitySnapshotStatus::success, partial);
  result.rootHash = rootHash(nodes);
  result.extractionMode = mode;
  result.nodes.reserve(nodes.size());
  for (const auto& node : nodes) {
    result.nodes.push_back(node.result);
  }
  result.searchableText = searchableText(nodes);
  return result;
}

AccessibilitySnapshotResult snapshotResult(const AccessibilitySnapshotSubject& subject,
                                           std::vector<IndexedAccessibilityNode>&& nodes,
                                           AccessibilityExtractionMode mode,
                                           bool partial) {
  AccessibilitySnapshotResult result = emptySnapshot(subject, AccessibilitySnapshotStatus::success, partial);
  result.rootHash = rootHash(nodes);
  result.extractionMode = mode;
  result.searchableText = searchableText(nodes);
  result.nodes.reserve(nodes.size());
  for (auto& node : nodes) {
    result.nodes.push_back(std::move(node.result));
  }
  return result;
}

AccessibilitySnapshotResult permissionUnavailableSnapshot(const AccessibilitySnapshotSubject& subject) {
  return emptySnapshot(subject, AccessibilitySnapshotStatus::permissionUnavailable, true);
}

AccessibilitySnapshotResult unrequestedSnapshot(const AccessibilitySnapshotSubject& subject) {
  return emptySnapshot(subject, AccessibilitySnapshotStatus::success, false);
}

}  // namespace Sablekit
