// The simulated screen capture's compositor: paints a display's windows with
// their fill and text into a surface of the display's pixel size, each pixel
// once, draws the pointer's arrow when asked, and scales that surface to the
// screenshot's size with the shared area-averaging scaler.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "Sablekit/platform/Geometry.h"
#include "Sablekit/platform/PixelImage.h"
#include "Sablekit/platform/ScreenCapture.h"

namespace Sablekit {

class SimulatedFont;

// One window as the compositor paints it.
struct CompositedWindow {
  Rect bounds;                         // global points
  std::array<std::uint8_t, 4> fill{};  // B, G, R; painted opaque
  std::span<const std::string> text;   // UTF-8 lines from the top, borrowed for the call
  double textSize = 14;                // points
};

// Not thread-safe: one screenshot at a time. Keeps its font, glyphs and
// working surface between screenshots.
class SimulatedCompositor {
 public:
  // Neither side of a surface or a screenshot may exceed this many pixels.
  static constexpr std::int64_t maximumSide = ScreenshotConfiguration::maximumSide;

  // DejaVu Sans as Debian's fonts-dejavu-core installs it.
  static constexpr std::string_view defaultFontPath = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";

  // The font is opened on the first screenshot that shows text.
  explicit SimulatedCompositor(std::string fontPath);
  ~SimulatedCompositor();
  SimulatedCompositor(const SimulatedCompositor&) = delete;
  SimulatedCompositor& operator=(const SimulatedCompositor&) = delete;

  // Text is drawn with this font file from the next screenshot on.
  void setFontPath(std::string fontPath);

  // The display `frame` (global points) at `pixelsPerPoint`, showing
  // `background` (B, G, R; opaque) where no window is and `frontToBack`
  // above it, and the pointer's arrow with its tip at `cursor` (global
  // points) when one is given, as an image of exactly `width` by `height`
  // pixels: the whole display stretched to that size, each output pixel the
  // average of the display pixels it covers (scaleByArea). An error when a
  // size is not positive or too large, or when text cannot be drawn.
  std::variant<PixelImage, ScreenCaptureError> render(const Rect& frame,
                                                      double pixelsPerPoint,
                                                      std::array<std::uint8_t, 4> background,
                                                      std::span<const CompositedWindow> frontToBack,
                                                      std::int64_t width,
                                                      std::int64_t height,
                                                      std::optional<Point> cursor);

 private:
  std::string fontPath_;
  std::unique_ptr<SimulatedFont> font_;
  std::vector<std::uint32_t> workingSurface_;  // the display before scaling
};

}  // namespace Sablekit
