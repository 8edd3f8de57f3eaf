// The accessibility tree of one application as the parent receives it: a
// flat list of nodes in path order, how they were obtained, and their text
// for searching.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "Sablekit/common/RawValue.h"
#include "Sablekit/protocol/AccessibilityNodeResult.h"
#include "Sablekit/protocol/JsonCodec.h"

namespace Sablekit {

// Whether a snapshot could be taken at all.
enum class AccessibilitySnapshotStatus {
  success,                // taken now or returned from the cache
  permissionUnavailable,  // this process is not a trusted accessibility client
};

// How the nodes were obtained.
enum class AccessibilityExtractionMode {
  staticWalk,   // a full walk; travels as "static" (a C++ keyword)
  incremental,  // a cached snapshot patched from notifications
  cached,       // the cached snapshot returned unchanged
  none,         // nothing was read
};

template <>
struct RawValues<AccessibilitySnapshotStatus> {
  using E = AccessibilitySnapshotStatus;
  static constexpr std::array<std::pair<E, std::string_view>, 2> cases{{
      {E::success, "success"},
      {E::permissionUnavailable, "permissionUnavailable"},
  }};
};

template <>
struct RawValues<AccessibilityExtractionMode> {
  using E = AccessibilityExtractionMode;
  static constexpr std::array<std::pair<E, std::string_view>, 4> cases{{
      {E::staticWalk, "static"},
      {E::incremental, "incremental"},
      {E::cached, "cached"},
      {E::none, "none"},
  }};
};

struct AccessibilitySnapshotResult {
  AccessibilitySnapshotStatus status = AccessibilitySnapshotStatus::success;
  // Hash of the node with path "0"; absent when the snapshot holds no such node.
  std::optional<std::string> rootHash;
  std::int64_t capturedAtMilliseconds = 0;  // when the snapshot was requested
  std::string applicationName;              // as the caller passed it
  std::string bundleID;                     // as the caller passed it, not normalised
  std::int32_t processID = 0;
  AccessibilityExtractionMode extractionMode = AccessibilityExtractionMode::none;
  // The nodes may not be the whole, current tree.
  bool partial = false;
  std::vector<AccessibilityNodeResult> nodes;  // in path order
  std::string searchableText;

  bool operator==(const AccessibilitySnapshotResult&) const = default;
};

void to_json(JsonCodec::Value& json, const AccessibilitySnapshotResult& snapshot);

}  // namespace Sablekit
