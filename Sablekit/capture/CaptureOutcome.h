// Everything known about the moment of one successful capture, from the
// first look at the screen: what the probe and the frame report are made of.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "Sablekit/accessibility/AccessibilityWindowScope.h"
#include "Sablekit/platform/Geometry.h"
#include "Sablekit/platform/PixelImage.h"
#include "Sablekit/protocol/AccessibilityWakeResult.h"
#include "Sablekit/protocol/BrowserContextResult.h"
#include "Sablekit/protocol/FinderContextResult.h"
#include "Sablekit/protocol/VisibleWindowResult.h"

namespace Sablekit {

struct CaptureOutcome {
  PixelImage image;
  std::int64_t capturedAtMilliseconds = 0;
  std::uint32_t displayID = 0;
  Rect displayFrame;
  std::string focusedBundleID;  // as inventoried, "" when absent
  std::string focusedWindowTitle;
  std::string focusedApplicationName;
  std::string focusedApplicationVersion;
  std::int32_t focusedProcessID = 0;
  std::uint32_t focusedWindowID = 0;
  // The pointer in global points (top-left origin), absent when the platform
  // cannot tell, and the height of the main display, from whose bottom edge
  // the wire counts the pointer's y.
  std::optional<Point> pointer;
  double mainDisplayHeight = 0;
  bool inactive = false;
  // The parent listed window titles and owns the focused window: no snapshot is walked.
  bool suppressAccessibilitySnapshot = false;
  std::int64_t visibleWindowCount = 0;
  std::int64_t excludedWindowCount = 0;
  std::optional<std::string> contextURL;
  std::optional<std::string> normalizedDomain;
  std::optional<BrowserContextResult> browserContext;
  std::optional<FinderContextResult> finderContext;
  AccessibilityWakeResult accessibilityWake;
  std::vector<VisibleWindowResult> windows;
  // The windows of the focused application the image shows: the only ones a
  // snapshot of the application may walk.
  std::vector<ShownWindow> focusedApplicationWindows;
};

}  // namespace Sablekit
