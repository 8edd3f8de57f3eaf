// What a backend can do, as data. Services ask these questions instead of
// asking which backend they run on.
#pragma once

#include <string>

namespace Sablekit {

// How a backend's screenshots leave windows out.
enum class WindowExclusion {
  // Screenshots show the display as it is; nothing can be left out, so a
  // capture that must leave a window out is refused before it is taken.
  unavailable,
  // A window left out contributes no pixel and what lies beneath it shows,
  // as if it were not there (each window's own contents are composed).
  composited,
  // A window left out is painted over wherever it shows; what lies beneath
  // it cannot show.
  paintedOver,
};

struct PlatformCapabilities {
  // Human-readable name of the backend, for diagnostics and docs only: no
  // code may branch on it.
  std::string backendName;

  // Read by the capture pipeline: whether and how screenshots cut windows out.
  WindowExclusion windowExclusion = WindowExclusion::unavailable;

  // The platform can tell whether the user granted screen capture; when false
  // the preflight answer is a fixed value of the backend.
  bool screenRecordingPermissionKnown = false;

  // The platform can tell whether this process is a trusted accessibility client.
  bool accessibilityPermissionKnown = false;
};

}  // namespace Sablekit
