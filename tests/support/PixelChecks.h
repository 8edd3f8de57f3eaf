// Reading colours out of captured images in tests: one pixel, or whether a
// colour appears anywhere.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdlib>

#include "Sablekit/platform/PixelImage.h"

namespace Sablekit::Testing {

// 0xRRGGBB as the four bytes of an opaque BGRA pixel.
inline std::array<std::uint8_t, 4> opaqueBGRA(std::uint32_t rgb) {
  return {static_cast<std::uint8_t>(rgb), static_cast<std::uint8_t>(rgb >> 8), static_cast<std::uint8_t>(rgb >> 16),
          0xff};
}

// The pixel at (x, y), which the caller keeps inside the image.
inline std::array<std::uint8_t, 4> pixelAt(const PixelImage& image, std::int64_t x, std::int64_t y) {
  const std::uint8_t* pixel = image.pixel(x, y);
  return {pixel[0], pixel[1], pixel[2], pixel[3]};
}

// Whether any pixel is within `tolerance` of 0xRRGGBB in each channel (0:
// exactly that colour, as a lossless capture shows it).
inline bool containsColour(const PixelImage& image, std::uint32_t rgb, int tolerance = 0) {
  const auto wanted = opaqueBGRA(rgb);
  for (std::size_t offset = 0; offset + 4 <= image.bgra.size(); offset += 4) {
    bool near = true;
    for (std::size_t channel = 0; channel < 3 && near; ++channel) {
      near = std::abs(int{image.bgra[offset + channel]} - int{wanted[channel]}) <= tolerance;
    }
    if (near) {
      return true;
    }
  }
  return false;
}

}  // namespace Sablekit::Testing
