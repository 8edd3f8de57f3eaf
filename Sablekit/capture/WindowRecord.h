// One on-screen window as the capture pipeline sees it: the window server's
// entry joined with what the workspace knows about the owning application.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "Sablekit/platform/Geometry.h"

namespace Sablekit {

struct WindowRecord {
  std::uint32_t windowID = 0;
  std::int32_t ownerPID = 0;
  std::optional<std::string> bundleID;  // as reported, not normalised; absent without an application or identifier
  std::string applicationName;          // "" when unavailable
  std::string applicationVersion;       // "" when unavailable
  std::string title;                    // "" when the server gives none
  std::int64_t layer = 0;               // 0: ordinary application windows
  Rect bounds;                          // global points
  std::int64_t zOrder = 0;              // position in the server's front-to-back list, skipped entries counted
  bool operator==(const WindowRecord&) const = default;
};

}  // namespace Sablekit
