// The user's grants that the capture host depends on, read without ever
// showing the user a prompt.
#pragma once

namespace Sablekit {

class PermissionChecks {
 public:
  virtual ~PermissionChecks() = default;

  // Whether the screen may be captured right now. Never prompts; answers
  // false when the platform cannot tell. Called on the main thread.
  virtual bool screenRecordingPreflight() = 0;

  // Whether this process may read other applications' accessibility trees.
  // Never prompts; answers false when the platform cannot tell.
  virtual bool accessibilityTrusted() = 0;
};

}  // namespace Sablekit
