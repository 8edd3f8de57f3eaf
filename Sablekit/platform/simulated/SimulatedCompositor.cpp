// Painting and scaling of simulated screenshots with pixman; text through SimulatedFont.
#include "Sablekit/platform/simulated/SimulatedCompositor.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <deque>
#include <optional>
#include <stdexcept>

#include <pixman.h>

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

// For each output pixel along one axis, the source pixels its area covers
// and the share of each, in 1/65536ths that sum to exactly 65536.
struct AreaTaps {
  std::vector<int> first;  // per output pixel: its first source pixel
  std::vector<int> start;  // per output pixel: its first entry in `shares`, one past the end last
  std::vector<std::uint32_t> shares;
};

AreaTaps areaTaps(int sourceSide, int outputSide) {
  AreaTaps taps;
  taps.first.reserve(static_cast<std::size_t>(outputSide));
  taps.start.reserve(static_cast<std::size_t>(outputSide) + 1);
  // Output pixel j spans [j * sourceSide, (j + 1) * sourceSide) in units of
  // 1/outputSide of a source pixel, so every overlap is a whole number.
  const std::int64_t source = sourceSide;
  const std::int64_t output = outputSide;
  for (std::int64_t j = 0; j < output; ++j) {
    const std::int64_t begin = j * source;
    const std::int64_t end = begin + source;
    const std::int64_t firstPixel = begin / output;
    const std::int64_t lastPixel = (end - 1) / output;
    taps.first.push_back(static_cast<int>(firstPixel));
    taps.start.push_back(static_cast<int>(taps.shares.size()));
    std::uint32_t total = 0;
    for (std::int64_t pixel = firstPixel; pixel <= lastPixel; ++pixel) {
      const std::int64_t overlap = std::min(end, (pixel + 1) * output) - std::max(begin, pixel * output);
      const auto share = static_cast<std::uint32_t>((overlap * 65536 + source / 2) / source);
      taps.shares.push_back(share);
      total += share;
    }
    // Rounding error goes to the largest share, so a flat area stays exactly flat.
    *std::max_element(taps.shares.begin() + taps.start.back(), taps.shares.end()) += 65536 - total;
  }
  taps.start.push_back(static_cast<int>(taps.shares.size()));
  return taps;
}

// Every output pixel is the average of the source area it covers, weighted
// by how much of each source pixel lies inside it: rows first, into one
// line of sums, then columns. The loops run over plain bytes so that the
// compiler can vectorise them.
void scaleByArea(const std::uint32_t* sourceBits,
                 int sourceWidth,
                 int sourceHeight,
                 std::uint8_t* outputBytes,
                 int outputWidth,
                 int outputHeight) {
  const AreaTaps columns = areaTaps(sourceWidth, outputWidth);
  const AreaTaps rows = areaTaps(sourceHeight, outputHeight);
  const auto* source = reinterpret_cast<const std::uint8_t*>(sourceBits);
  const std::size_t lineBytes = static_cast<std::size_t>(sourceWidth) * 4;
  // Each channel of a source line summed over the rows of one output row, in
  // 1/65536ths: at most 255 * 65536.
  std::vector<std::uint32_t> line(lineBytes);
  for (int y = 0; y < outputHeight; ++y) {
    const int firstRow = rows.first[static_cast<std::size_t>(y)];
    std::uint32_t* sums = line.data();
    for (int tap = rows.start[static_cast<std::size_t>(y)]; tap < rows.start[static_cast<std::size_t>(y) + 1]; ++tap) {
      const std::uint32_t share = rows.shares[static_cast<std::size_t>(tap)];
      const std::uint8_t* row =
          source + static_cast<std::size_t>(firstRow + tap - rows.start[static_cast<std::size_t>(y)]) * lineBytes;
      if (tap == rows.start[static_cast<std::size_t>(y)]) {
        for (std::size_t index = 0; index < lineBytes; ++index) {
          sums[index] = share * row[index];
        }
      } else {
        for (std::size_t index = 0; index < lineBytes; ++index) {
          sums[index] += share * row[index];
        }
      }
    }
    std::uint8_t* out = outputBytes + static_cast<std::size_t>(y) * static_cast<std::size_t>(outputWidth) * 4;
    for (int x = 0; x < outputWidth; ++x) {
      const int firstColumn = columns.first[static_cast<std::size_t>(x)];
      std::uint32_t channels[4] = {1u << 23, 1u << 23, 1u << 23, 1u << 23};  // rounding
      for (int tap = columns.start[static_cast<std::size_t>(x)]; tap < columns.start[static_cast<std::size_t>(x) + 1];
           ++tap) {
        const std::uint32_t share = columns.shares[static_cast<std::size_t>(tap)];
        const std::uint32_t* pixel =
            sums + static_cast<std::size_t>(firstColumn + tap - columns.start[static_cast<std::size_t>(x)]) * 4;
        // Sums drop to 1/256ths so that a weighted sum fits in 32 bits.
        for (int channel = 0; channel < 4; ++channel) {
          channels[channel] += share * (pixel[channel] >> 8);
        }
      }
      for (int channel = 0; channel < 4; ++channel) {
        out[x * 4 + channel] = static_cast<std::uint8_t>(channels[channel] >> 24);
      }
    }
  }
}

// The source's pixels one to one from the top-left corner, black beyond them.
void copyUnscaled(pixman_image_t* source, pixman_image_t* output) {
  const int outputWidth = pixman_image_get_width(output);
  const int outputHeight = pixman_image_get_height(output);
  const pixman_color_t black{0, 0, 0, 0xffff};
  const pixman_box32_t all{0, 0, outputWidth, outputHeight};
  pixman_image_fill_boxes(PIXMAN_OP_SRC, output, &black, 1, &all);
  pixman_image_composite32(PIXMAN_OP_SRC, source, nullptr, output, 0, 0, 0, 0, 0, 0,
                           std::min(outputWidth, pixman_image_get_width(source)),
                           std::min(outputHeight, pixman_image_get_height(source)));
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
                                                                         bool scalesToFit) {
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
  if (width == surfaceWidth && height == surfaceHeight) {
    const Image output = wrap(outputBits, width, height);
    paint(output.get(), frame, pixelsPerPoint, background, frontToBack, font_.get());
    return image;
  }
  workingSurface_.resize(static_cast<std::size_t>(surfaceWidth * surfaceHeight));
  const Image surface = wrap(workingSurface_.data(), surfaceWidth, surfaceHeight);
  paint(surface.get(), frame, pixelsPerPoint, background, frontToBack, font_.get());
  if (scalesToFit) {
    scaleByArea(workingSurface_.data(), static_cast<int>(surfaceWidth), static_cast<int>(surfaceHeight),
                image.bgra.data(), static_cast<int>(width), static_cast<int>(height));
  } else {
    copyUnscaled(surface.get(), wrap(outputBits, width, height).get());
  }
  return image;
}

}  // namespace Sablekit
