// One accessibility element as the parent receives it: its content hash, its
// links to parent and children by hash, and its serialized attributes.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "Sablekit/protocol/JsonCodec.h"

namespace Sablekit {

struct AccessibilityNodeResult {
  std::string hash;  // 64 lowercase hexadecimal digits
  // Absent for the root and whenever the parent is not in the same snapshot.
  std::optional<std::string> parentHash;
  // Attribute name (e.g. "AXRole") to its serialized value; only attributes
  // that were read and serialized are present.
  std::map<std::string, std::string> attributes;
  // The children in the snapshot, in path order; empty for leaves.
  std::vector<std::string> childHashes;

  bool operator==(const AccessibilityNodeResult&) const = default;
};

void to_json(JsonCodec::Value& json, const AccessibilityNodeResult& node);

}  // namespace Sablekit
