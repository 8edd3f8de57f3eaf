#include "Sablekit/accessibility/AccessibilityNodeHash.h"

#include "Sablekit/common/Digest.h"

namespace Sablekit {

std::string accessibilityNodeHashString(const AccessibilityNodeHashInput& input) {
  const std::string processID = std::to_string(input.processID);
  std::string text(accessibilityNodeIdentityTag);
  for (const std::string_view part :
       {input.bundleID, std::string_view(processID), input.path, input.role, input.identifier, input.title}) {
    text += '\0';
    text += part;
  }
  return text;
}

std::string accessibilityNodeHash(const AccessibilityNodeHashInput& input) {
  return sha256Hex(accessibilityNodeHashString(input));
}

}  // namespace Sablekit
