// The window exclusion rule of a capture.
#include "Sablekit/capture/WindowExclusionRule.h"

#include "Sablekit/context/ApplicationCapabilityRegistry.h"

namespace Sablekit {

bool WindowExclusionRule::isListedParentWindow(const WindowRecord& window) const {
  return window.ownerPID == parentProcessID_ && request_.parentTitles.contains(window.title);
}

bool WindowExclusionRule::excludes(const WindowRecord& window, const WindowRecord& focused) const {
  if (isListedParentWindow(window) || request_.policy.exclusionReason(window.bundleID)) {
    return true;
  }
  if (window.windowID == focused.windowID || !ApplicationCapabilityRegistry::isRecognizedBrowser(window.bundleID)) {
    return false;
  }
  return request_.excludePrivateBrowsing || !request_.policy.explicitExcludedDomains().empty();
}

std::set<std::uint32_t> WindowExclusionRule::excludedWindowIDs(const std::vector<WindowRecord>& windows,
                                                               const WindowRecord& focused) const {
  std::set<std::uint32_t> excluded;
  for (const WindowRecord& window : windows) {
    if (excludes(window, focused)) {
      excluded.insert(window.windowID);
    }
  }
  return excluded;
}

bool WindowExclusionRule::protectsParentOf(const WindowRecord& focused) const {
  return focused.ownerPID == parentProcessID_ && !request_.parentTitles.empty();
}

}  // namespace Sablekit
