// One visited accessibility element together with what is reported for it,
// as a walk returns it and a cached snapshot keeps it.
#pragma once

#include <cstdint>
#include <string>

#include "Sablekit/platform/AccessibilityElement.h"
#include "Sablekit/protocol/AccessibilityNodeResult.h"

namespace Sablekit {

struct IndexedAccessibilityNode {
  // Kept so that later notifications about the element can be matched to the node.
  AccessibilityElement element;
  // "0" for the application element; a child adds "." and its index among its parent's children.
  std::string path;
  std::int64_t depth = 0;  // full stops in the path, for a walk from the application element
  AccessibilityNodeResult result;
  // The element or one of its ancestors is secure, so its values are masked;
  // a re-walk of a subtree below it masks them too.
  bool masked = false;
};

}  // namespace Sablekit
