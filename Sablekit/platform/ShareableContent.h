// What the screen-capture service can capture: its displays, every window it
// knows (off-screen and desktop windows included) and the applications.
#pragma once

#include <cstdint>
#include <vector>

#include "Sablekit/platform/Geometry.h"

namespace Sablekit {

struct ShareableDisplay {
  std::uint32_t displayID = 0;
  Rect frame;                   // global points
  double pixelsPerPoint = 1.0;  // backing scale: the pixels a capture of one point holds
  bool operator==(const ShareableDisplay&) const = default;
};

struct ShareableWindow {
  std::uint32_t windowID = 0;
  Rect frame;  // global points
  bool operator==(const ShareableWindow&) const = default;
};

struct ShareableApplication {
  std::int32_t processID = 0;
  bool operator==(const ShareableApplication&) const = default;
};

struct ShareableContent {
  std::vector<ShareableDisplay> displays;
  std::vector<ShareableWindow> windows;
  std::vector<ShareableApplication> applications;
  bool operator==(const ShareableContent&) const = default;
};

}  // namespace Sablekit
