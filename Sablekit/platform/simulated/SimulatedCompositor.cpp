// Painting and scaling of simulated screenshots with pixman; text through SimulatedFont.
#include "Sablekit/platform/simulated/SimulatedCompositor.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <deque>
#include <optional>
#include <stdexcept>
#include <string_view>

#include <pixman.h>

#include "Sablekit/platform/ImageScaling.h"
#include "Sablekit/platform/simulated/SimulatedFont.h"

namespace Sablekit {

namespace {

// Window edges far outside any surface are pinned here, so that pixel
// arithmetic stays within pixman's 32-bit coordinates.
constexpr double coordinateLimit = 1 << 24;
// Text starts this fraction of its size in from the window's top-left corner.
constexpr double textInset = 0.75;
constexpr int largestTextPixels = 1024;

struct ImageRelease {
  void operator()(pixman_image_t* image) const { pixman_image_unref(image); }
};
using Image = std::unique_ptr<pixman_image_t, ImageRelease>;

class Region {
 public:
  Region() { pixman_region32_init(&region_); }
  Region(int x, int y, int width, int height) {
    pixman_region32_init_rect(&region_, x, y, static_cast<unsigned>(width), static_cast<unsigned>(height));
  }
  ~Region() { pixman_region32_fini(&region_); }
  Region(const Region&) = delete;
  Region& operator=(const Region&) = delete;
  pixman_region32_t* get() { return &region_; }
  bool empty() { return pixman_region32_not_empty(&region_) == 0; }

 private:
  pixman_region32_t region_;
};

// A window's rectangle in surface pixels, edges rounded half away from zero.
struct PixelBox {
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;
};

std::optional<PixelBox> pixelBox(const Rect& bounds, const Rect& frame, double pixelsPerPoint) {
  const double edges[] = {(bounds.x - frame.x) * pixelsPerPoint, (bounds.y - frame.y) * pixelsPerPoint,
                          (bounds.x + bounds.width - frame.x) * pixelsPerPoint,
                          (bounds.y + bounds.height - frame.y) * pixelsPerPoint};
  int pixels[4] = {};
  for (int index = 0; index < 4; ++index) {
    if (std::isnan(edges[index])) {
      return std::nullopt;
    }
    pixels[index] = static_cast<int>(std::clamp(std::round(edges[index]), -coordinateLimit, coordinateLimit));
  }
  return PixelBox{pixels[0], pixels[1], pixels[2], pixels[3]};
}

pixman_color_t pixmanColour(const std::array<std::uint8_t, 4>& bgr) {
  const auto wide = [](std::uint8_t channel) { return static_cast<std::uint16_t>(channel * 0x101); };
  return {wide(bgr[2]), wide(bgr[1]), wide(bgr[0]), 0xffff};
}

// Dark text on light fills, light text on dark ones.
pixman_color_t textColour(const std::array<std::uint8_t, 4>& fill) {
  const double luminance = 0.0722 * fill[0] + 0.7152 * fill[1] + 0.2126 * fill[2];
  return luminance >= 128 ? pixmanColour({0x20, 0x20, 0x20, 0xff}) : pixmanColour({0xf4, 0xf4, 0xf4, 0xff});
}

void fill(pixman_image_t* surface, Region& region, const pixman_color_t& colour) {
  int count = 0;
  const pixman_box32_t* boxes = pixman_region32_rectangles(region.get(), &count);
  if (count > 0) {
    pixman_image_fill_boxes(PIXMAN_OP_SRC, surface, &colour, count, boxes);
  }
}

void drawText(pixman_image_t* surface,
              Region& visible,
              const CompositedWindow& window,
              const PixelBox& box,
              double pixelsPerPoint,
              SimulatedFont& font) {
  const int pixelSize = static_cast<int>(
      std::clamp(std::round(window.textSize * pixelsPerPoint), 1.0, static_cast<double>(largestTextPixels)));
  const SimulatedFont::Metrics metrics = font.metrics(pixelSize);
  const int inset = static_cast<int>(std::lround(pixelSize * textInset));
  const int surfaceHeight = pixman_image_get_height(surface);
  const pixman_color_t ink = textColour(window.fill);
  const Image colour(pixman_image_create_solid_fill(&ink));
  pixman_image_set_clip_region32(surface, visible.get());
  int lineTop = box.top + inset;
  for (const std::string& line : window.text) {
    if (lineTop >= box.bottom || lineTop >= surfaceHeight) {
      break;
    }
    font.drawLine(surface, colour.get(), line, pixelSize, box.left + inset, lineTop + metrics.ascent);
    lineTop += metrics.lineHeight;
  }
  pixman_image_set_clip_region32(surface, nullptr);
}

// Fills every pixel of `surface` exactly once: each window where no window
// in front of it covers it, the background where no window does; then the
// text of each window, clipped to what is visible of it.
void paint(pixman_image_t* surface,
           const Rect& frame,
           double pixelsPerPoint,
           const std::array<std::uint8_t, 4>& background,
           std::span<const CompositedWindow> frontToBack,
           SimulatedFont* font) {
  const int width = pixman_image_get_width(surface);
  const int height = pixman_image_get_height(surface);
  struct Placed {
    // A constructor rather than aggregate initialisation: emplace_back with
    // parentheses on an aggregate is beyond clang 14, which builds the fuzzers.
    Placed(const CompositedWindow* placedWindow, const PixelBox& placedBox) : window(placedWindow), box(placedBox) {}
    const CompositedWindow* window;
    PixelBox box;
    Region visible;
  };
  std::deque<Placed> placed;
  Region covered;
  for (const CompositedWindow& window : frontToBack) {
    const auto box = pixelBox(window.bounds, frame, pixelsPerPoint);
    if (!box) {
      continue;
    }
    const int left = std::max(box->left, 0);
    const int top = std::max(box->top, 0);
    const int right = std::min(box->right, width);
    const int bottom = std::min(box->bottom, height);
    if (left >= right || top >= bottom) {
      continue;
    }
    Placed& entry = placed.emplace_back(&window, *box);
    pixman_region32_union_rect(entry.visible.get(), entry.visible.get(), left, top, static_cast<unsigned>(right - left),
                               static_cast<unsigned>(bottom - top));
    pixman_region32_subtract(entry.visible.get(), entry.visible.get(), covered.get());
    pixman_region32_union(covered.get(), covered.get(), entry.visible.get());
  }
  Region uncovered(0, 0, width, height);
  pixman_region32_subtract(uncovered.get(), uncovered.get(), covered.get());
  fill(surface, uncovered, pixmanColour(background));
  for (Placed& entry : placed) {
    fill(surface, entry.visible, pixmanColour(entry.window->fill));
    if (font && !entry.window->text.empty() && !entry.visible.empty()) {
      drawText(surface, entry.visible, *entry.window, entry.box, pixelsPerPoint, *font);
    }
  }
}

// The pointer's arrow, one cell a point, its hot spot the top-left cell: an
// outline ('B', black) around a white body ('W'); blanks show what is below.
constexpr std::array<std::string_view, 17> cursorArrow{
    "B",          "BB",         "BWB",     "BWWB",     "BWWWB",    "BWWWWB",    "BWWWWWB",   "BWWWWWWB", "BWWWWWWWB",
    "BWWWWWWWWB", "BWWWWWBBBB", "BWWBWWB", "BWB BWWB", "BB  BWWB", "B    BWWB", "     BWWB", "      BB",
};

// Draws the arrow with its hot spot at `hotSpot` (global points), clipped to
// the surface.
void drawCursor(pixman_image_t* surface, const Rect& frame, double pixelsPerPoint, Point hotSpot) {
  const pixman_color_t outline{0, 0, 0, 0xffff};
  const pixman_color_t body{0xffff, 0xffff, 0xffff, 0xffff};
  const int width = pixman_image_get_width(surface);
  const int height = pixman_image_get_height(surface);
  for (std::size_t row = 0; row < cursorArrow.size(); ++row) {
    for (std::size_t column = 0; column < cursorArrow[row].size(); ++column) {
      const char cell = cursorArrow[row][column];
      if (cell == ' ') {
        continue;
      }
      const Rect point{hotSpot.x + static_cast<double>(column), hotSpot.y + static_cast<double>(row), 1, 1};
      const auto box = pixelBox(point, frame, pixelsPerPoint);
      if (!box) {
        return;
      }
      const pixman_box32_t clipped{std::max(box->left, 0), std::max(box->top, 0), std::min(box->right, width),
                                   std::min(box->bottom, height)};
      if (clipped.x1 < clipped.x2 && clipped.y1 < clipped.y2) {
        pixman_image_fill_boxes(PIXMAN_OP_SRC, surface, cell == 'B' ? &outline : &body, 1, &clipped);
      }
    }
  }
}

// Whole pixels of a side, 0 when there are none or too many to address.
std::int64_t pixelSide(double pixels) {
  if (!std::isfinite(pixels) || pixels > static_cast<double>(SimulatedCompositor::maximumSide)) {
    return 0;
  }
  return std::max<std::int64_t>(0, std::llround(pixels));
}

Image wrap(std::uint32_t* bits, std::int64_t width, std::int64_t height) {
  Image image(pixman_image_create_bits_no_clear(PIXMAN_a8r8g8b8, static_cast<int>(width), static_cast<int>(height),
                                                bits, static_cast<int>(width * 4)));
  if (!image) {
    throw std::bad_alloc();
  }
  return image;
}

}  // namespace

SimulatedCompositor::SimulatedCompositor(std::string fontPath) : fontPath_(std::move(fontPath)) {}

SimulatedCompositor::~SimulatedCompositor() = default;

void SimulatedCompositor::setFontPath(std::string fontPath) {
  fontPath_ = std::move(fontPath);
  font_.reset();
}

std::variant<PixelImage, ScreenCaptureError> SimulatedCompositor::render(const Rect& frame,
                                                                         double pixelsPerPoint,
                                                                         std::array<std::uint8_t, 4> background,
                                                                         std::span<const CompositedWindow> frontToBack,
                                                                         std::int64_t width,
                                                                         std::int64_t height,
                                                                         std::optional<Point> cursor) {
  const std::int64_t surfaceWidth = pixelSide(frame.width * pixelsPerPoint);
  const std::int64_t surfaceHeight = pixelSide(frame.height * pixelsPerPoint);
  if (surfaceWidth < 1 || surfaceHeight < 1) {
    return ScreenCaptureError{"The simulated display has no pixels or too many to capture."};
  }
  if (width <= 0 || height <= 0 || width > maximumSide || height > maximumSide) {
    return ScreenCaptureError{"The screenshot size is invalid."};
  }
  const bool showsText = std::any_of(frontToBack.begin(), frontToBack.end(),
                                     [](const CompositedWindow& window) { return !window.text.empty(); });
  if (showsText && !font_) {
    try {
      font_ = std::make_unique<SimulatedFont>(fontPath_);
    } catch (const std::runtime_error& error) {
      return ScreenCaptureError{error.what()};
    }
  }
  PixelImage image{width, height, std::vector<std::uint8_t>(static_cast<std::size_t>(width * height * 4))};
  auto* outputBits = reinterpret_cast<std::uint32_t*>(image.bgra.data());
  // At the display's own size the display is painted straight into the image.
  const bool scales = width != surfaceWidth || height != surfaceHeight;
  if (scales) {
    workingSurface_.resize(static_cast<std::size_t>(surfaceWidth * surfaceHeight));
  }
  std::uint32_t* bits = scales ? workingSurface_.data() : outputBits;
  const Image surface = wrap(bits, surfaceWidth, surfaceHeight);
  paint(surface.get(), frame, pixelsPerPoint, background, frontToBack, font_.get());
  if (cursor) {
    drawCursor(surface.get(), frame, pixelsPerPoint, *cursor);
  }
  if (scales) {
    scaleByArea(bits, static_cast<int>(surfaceWidth), static_cast<int>(surfaceHeight), image.bgra.data(),
                static_cast<int>(width), static_cast<int>(height));
  }
  return image;
}

}  // namespace Sablekit
