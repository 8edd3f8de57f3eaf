// The screen-capture service: what may be captured, and single screenshots of
// a display taken through a content filter.
#pragma once

#include <cstdint>
#include <string>
#include <variant>
#include <vector>

#include "Sablekit/platform/PixelImage.h"
#include "Sablekit/platform/ShareableContent.h"

namespace Sablekit {

// Which content of a display a screenshot shows.
struct CaptureFilter {
  enum class Kind {
    displayExcludingWindows,      // the whole display without `excludedWindowIDs`
    displayIncludingApplication,  // only the windows of `includedProcessID` on the display
  };
  Kind kind = Kind::displayExcludingWindows;
  ShareableDisplay display;
  std::vector<std::uint32_t> excludedWindowIDs;  // displayExcludingWindows only
  std::int32_t includedProcessID = 0;            // displayIncludingApplication only

  // Pixels per point of the filtered display.
  double pointPixelScale() const { return display.pixelsPerPoint; }
  bool operator==(const CaptureFilter&) const = default;
};

// How a screenshot is produced: the whole display, scaled to exactly this
// size by averaging areas (ImageScaling.h), BGRA, with the pointer drawn
// where it is when `showsCursor` (and the platform knows where that is).
struct ScreenshotConfiguration {
  // Either side beyond this (or not positive) is an error.
  static constexpr std::int64_t maximumSide = 16384;

  std::int64_t width = 0;   // output pixels
  std::int64_t height = 0;  // output pixels
  bool showsCursor = true;
  bool operator==(const ScreenshotConfiguration&) const = default;
};

// The platform's own description of why an operation failed.
struct ScreenCaptureError {
  std::string description;
  bool operator==(const ScreenCaptureError&) const = default;
};

class ScreenCapture {
 public:
  virtual ~ScreenCapture() = default;

  // Everything capturable now, desktop and off-screen windows included, or
  // the platform's error. Blocks the calling thread until the platform
  // answers; any thread.
  virtual std::variant<ShareableContent, ScreenCaptureError> shareableContent() = 0;

  // One image of the filter's content scaled to the configured size, or the
  // platform's error. Blocks the calling thread until the platform answers;
  // any thread. The image belongs to the caller.
  virtual std::variant<PixelImage, ScreenCaptureError> screenshot(const CaptureFilter& filter,
                                                                  const ScreenshotConfiguration& configuration) = 0;
};

}  // namespace Sablekit
