// The window server: which windows are on screen, front to back, and the
// displays they lie on.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "Sablekit/platform/Geometry.h"

namespace Sablekit {

// One entry of the on-screen window list. The window server may leave any key
// out or hand back a value of the wrong kind; both arrive here as absent, and
// the services decide what an incomplete entry is worth.
struct WindowListEntry {
  std::optional<std::int64_t> windowNumber;
  std::optional<std::int64_t> ownerPID;
  std::optional<std::int64_t> layer;  // 0 for ordinary windows; the desktop is far below
  std::optional<Rect> bounds;         // global points, frame included
  std::optional<std::string> title;   // absent when the server does not disclose titles
  bool operator==(const WindowListEntry&) const = default;
};

class WindowServer {
 public:
  virtual ~WindowServer() = default;

  // The on-screen windows, front to back. Without desktop elements, the
  // desktop's own windows (wallpaper, desktop icons) are left out. Empty when
  // the list cannot be read. Main thread.
  virtual std::vector<WindowListEntry> onScreenWindows(bool includeDesktopElements) = 0;

  // The identifier of the main display (the one whose top-left corner is the
  // origin of the global space); absent when there is no display.
  virtual std::optional<std::uint32_t> mainDisplayID() = 0;

  // The frame of a display in global points; absent for an unknown display.
  virtual std::optional<Rect> displayBounds(std::uint32_t displayID) = 0;
};

}  // namespace Sablekit
