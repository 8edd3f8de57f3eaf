// One look at the screen: the on-screen windows, the display the user works
// on and the focused window there. A capture takes one before its screenshot
// and one after, and compares them.
#pragma once

#include <optional>
#include <vector>

#include "Sablekit/capture/WindowRecord.h"
#include "Sablekit/platform/ShareableContent.h"

namespace Sablekit {

struct ScreenLook {
  std::vector<WindowRecord> windows;         // every readable on-screen window of another process, front to back
  std::optional<ShareableDisplay> display;   // absent only when there is no display
  std::vector<WindowRecord> displayWindows;  // the windows on `display`, in the same order
  std::optional<WindowRecord> focused;       // absent when no window on the display qualifies
};

}  // namespace Sablekit
