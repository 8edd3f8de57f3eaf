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

// How a screenshot is produced. The pixel format is always BGRA.
struct ScreenshotConfiguration {
  std::int64_t width = 0;   // output pixels
  std::int64_t height = 0;  // output pixels
  bool bestResolution = true;
  bool scalesToFit = true;
  bool showsCursor = true;
  bool ignoresShadowsOfSingleWindow = false;
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
