// What one walk of an accessibility tree (or of one subtree) returns.
#pragma once

#include <cstdint>
#include <vector>

#include "Sablekit/accessibility/IndexedAccessibilityNode.h"

namespace Sablekit {

struct AccessibilityTreeBuild {
  // In path order, with parent and child hashes linked among these nodes.
  std::vector<IndexedAccessibilityNode> nodes;
  // A limit was reached or a repeated element was cut: part of the tree is missing.
  bool partial = false;
  // serializedByteCount summed over the attributes of `nodes`.
  std::int64_t serializedBytes = 0;
};

}  // namespace Sablekit
