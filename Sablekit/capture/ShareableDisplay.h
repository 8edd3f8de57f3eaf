// A display the screen-capture service can capture, as used for choosing
// where the user is working.
#pragma once

#include <cstdint>

#include "Sablekit/platform/Geometry.h"

namespace Sablekit {

struct ShareableDisplay {
  std::uint32_t displayID = 0;
  Rect frame;                   // global points
  double pixelsPerPoint = 1.0;  // backing scale, for sizing captured images
  bool operator==(const ShareableDisplay&) const = default;
};

}  // namespace Sablekit
