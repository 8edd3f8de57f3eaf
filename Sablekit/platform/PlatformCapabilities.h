// What a backend can do, as data. Services ask these questions instead of
// asking which backend they run on.
#pragma once

#include <string>

namespace Sablekit {

struct PlatformCapabilities {
  // Human-readable name of the backend, for diagnostics and docs only: no
  // code may branch on it.
  std::string backendName;

  // The desktop is a deterministic model rather than a live session.
  bool deterministic = false;

  // The platform can tell whether the user granted screen capture; when false
  // the preflight answer is a fixed value of the backend.
  bool screenRecordingPermissionKnown = false;

  // The platform can tell whether this process is a trusted accessibility client.
  bool accessibilityPermissionKnown = false;
};

}  // namespace Sablekit
