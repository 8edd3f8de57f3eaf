// Asking the user, through the platform's own dialog, to grant this process
// the Accessibility permission.
#pragma once

namespace Sablekit {

class AccessibilityPrompt {
 public:
  virtual ~AccessibilityPrompt() = default;

  // Asks the platform to show its Accessibility permission prompt if this
  // process is not trusted yet; does nothing visible when it already is.
  // Returns at once without waiting for the user, so the grant (if any) is
  // not known here: read it with PermissionChecks::accessibilityTrusted()
  // later. Main thread only.
  virtual void promptIfNotTrusted() = 0;
};

}  // namespace Sablekit
