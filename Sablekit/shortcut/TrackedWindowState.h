// Where the followed process's main window is: its number and bounds.
#pragma once

#include <cstdint>

namespace Sablekit {

struct TrackedWindowState {
  std::uint32_t windowID = 0;
  double x = 0;  // left edge, global points, origin at the main display's top-left corner
  double y = 0;  // top edge
  double width = 0;
  double height = 0;
  bool operator==(const TrackedWindowState&) const = default;
};

}  // namespace Sablekit
