// The order of node paths and the parent and child links derived from it.
#pragma once

#include <string_view>
#include <vector>

#include "Sablekit/accessibility/IndexedAccessibilityNode.h"

namespace Sablekit {

// Compares paths as sequences of decimal integers (pieces that are empty or
// not integers are dropped): "0.2" before "0.10", a parent before its children.
bool pathIsBefore(std::string_view left, std::string_view right);

// The nodes stably sorted by pathIsBefore, each with `parentHash` set to the
// hash of the node at its parent path (absent when there is none) and
// `childHashes` to the hashes of the nodes one level below it, in path order.
// Elements, paths, depths, hashes and attributes are unchanged. Should two
// nodes share a path, the first in path order stands for it as a parent.
std::vector<IndexedAccessibilityNode> normalizeRelationships(std::vector<IndexedAccessibilityNode> nodes);

}  // namespace Sablekit
