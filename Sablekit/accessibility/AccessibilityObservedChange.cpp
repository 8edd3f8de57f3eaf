// Sorting accessibility notifications into change kinds.
#include "Sablekit/accessibility/AccessibilityObservedChange.h"

namespace Sablekit {

AccessibilityObservedChangeKind changeKind(std::string_view notification) {
  if (notification == "AXValueChanged" || notification == "AXTitleChanged" || notification == "AXSelectedTextChanged") {
    return AccessibilityObservedChangeKind::interaction;
  }
  if (notification == "AXMoved" || notification == "AXResized") {
    return AccessibilityObservedChangeKind::patchable;
  }
  return AccessibilityObservedChangeKind::structural;
}

}  // namespace Sablekit
