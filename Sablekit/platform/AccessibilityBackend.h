// The accessibility side of a desktop as one piece: the client that reads
// other applications' trees, its observers, its permission prompt and its
// trust check. A desktop backend is given one when it is made and hands its
// parts out through the Platform facade, so one accessibility backend (an
// AT-SPI client, say) serves every desktop on which its bus is reachable.
#pragma once

#include "Sablekit/platform/AccessibilityClient.h"
#include "Sablekit/platform/AccessibilityObservers.h"
#include "Sablekit/platform/AccessibilityPrompt.h"

namespace Sablekit {

// Owns its parts; the references stay valid until it is destroyed.
class AccessibilityBackend {
 public:
  virtual ~AccessibilityBackend() = default;

  virtual AccessibilityClient& client() = 0;
  virtual AccessibilityObservers& observers() = 0;
  virtual AccessibilityPrompt& prompt() = 0;

  // What PermissionChecks::accessibilityTrusted() answers on the desktop:
  // whether this process may read other applications' trees now. Never
  // prompts; false when the backend cannot tell. Any thread.
  virtual bool trusted() = 0;

  // Whether trusted() reports a real grant rather than a fixed answer
  // (PlatformCapabilities::accessibilityPermissionKnown).
  virtual bool trustKnown() const = 0;
};

}  // namespace Sablekit
