// Looks for secret marks: a marker colour among an image's pixels, a marker
// word in text, and the pixels of an encoded HEIC file.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "Sablekit/platform/PixelImage.h"
#include "tests/leak/SecretMarker.h"

namespace Sablekit::Leak {

class MarkerScanner {
 public:
  MarkerScanner() = delete;

  // How far, in each of blue, green and red, a pixel may lie from a marker
  // colour and still count as it: enough for the lossy HEIC round trip, far
  // less than the 60 between marker colours and the way from any allowed colour.
  static constexpr int colourTolerance = 24;

  // For each of `colours`, the pixels of `image` within the tolerance of it.
  // The colours must be marker colours (one channel 240, another 0): pixels
  // far from full saturation are passed over without comparing.
  static std::vector<std::size_t> countPixels(const PixelImage& image, std::span<const Colour> colours);
  static std::size_t countPixels(const PixelImage& image, const Colour& colour) {
    return countPixels(image, std::span<const Colour>(&colour, 1)).front();
  }

  // The decoded pixels of a HEIC file (BGRA, opaque), or absent when libheif
  // cannot read it.
  static std::optional<PixelImage> decodeHEIC(std::span<const std::uint8_t> file);

  // Whether `word` occurs in `text`, ignoring ASCII letter case.
  static bool containsWord(std::string_view text, std::string_view word);
};

}  // namespace Sablekit::Leak
