// Pixel, text and HEIC scanning for the leak harness.
#include "tests/leak/MarkerScanner.h"

#include <algorithm>
#include <cstdlib>
#include <memory>

#include <libheif/heif.h>

namespace Sablekit::Leak {

std::vector<std::size_t> MarkerScanner::countPixels(const PixelImage& image, std::span<const Colour> colours) {
  // A pixel near a marker colour has a channel of at least 240 - tolerance
  // and one of at most the tolerance.
  constexpr int minimumSpread = 240 - 2 * colourTolerance;
  std::vector<std::size_t> counts(colours.size(), 0);
  const std::uint8_t* pixel = image.bgra.data();
  const std::uint8_t* end = pixel + image.bgra.size() / 4 * 4;
  for (; pixel != end; pixel += 4) {
    const auto [low, high] = std::minmax({pixel[0], pixel[1], pixel[2]});
    if (high - low < minimumSpread) {
      continue;
    }
    for (std::size_t i = 0; i < colours.size(); ++i) {
      const Colour& colour = colours[i];
      if (std::abs(pixel[0] - colour[0]) <= colourTolerance && std::abs(pixel[1] - colour[1]) <= colourTolerance &&
          std::abs(pixel[2] - colour[2]) <= colourTolerance) {
        ++counts[i];
      }
    }
  }
  return counts;
}

std::optional<PixelImage> MarkerScanner::decodeHEIC(std::span<const std::uint8_t> file) {
  const std::unique_ptr<heif_context, decltype(&heif_context_free)> context(heif_context_alloc(), heif_context_free);
  if (!context || heif_context_read_from_memory_without_copy(context.get(), file.data(), file.size(), nullptr).code !=
                      heif_error_Ok) {
    return std::nullopt;
  }
  heif_image_handle* rawHandle = nullptr;
  if (heif_context_get_primary_image_handle(context.get(), &rawHandle).code != heif_error_Ok) {
    return std::nullopt;
  }
  const std::unique_ptr<heif_image_handle, decltype(&heif_image_handle_release)> handle(rawHandle,
                                                                                        heif_image_handle_release);
  heif_image* rawImage = nullptr;
  if (heif_decode_image(handle.get(), &rawImage, heif_colorspace_RGB, heif_chroma_interleaved_RGB, nullptr).code !=
      heif_error_Ok) {
    return std::nullopt;
  }
  const std::unique_ptr<heif_image, decltype(&heif_image_release)> image(rawImage, heif_image_release);
  PixelImage decoded;
  decoded.width = heif_image_get_width(image.get(), heif_channel_interleaved);
  decoded.height = heif_image_get_height(image.get(), heif_channel_interleaved);
  int stride = 0;
  const std::uint8_t* plane = heif_image_get_plane_readonly(image.get(), heif_channel_interleaved, &stride);
  if (!plane || decoded.width <= 0 || decoded.height <= 0) {
    return std::nullopt;
  }
  decoded.bgra.reserve(static_cast<std::size_t>(decoded.width * decoded.height * 4));
  for (std::int64_t y = 0; y < decoded.height; ++y) {
    const std::uint8_t* row = plane + y * stride;
    for (std::int64_t x = 0; x < decoded.width; ++x) {
      const std::uint8_t* rgb = row + x * 3;
      decoded.bgra.insert(decoded.bgra.end(), {rgb[2], rgb[1], rgb[0], 0xff});
    }
  }
  return decoded;
}

bool MarkerScanner::containsWord(std::string_view text, std::string_view word) {
  const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
  return std::search(text.begin(), text.end(), word.begin(), word.end(),
                     [&](char a, char b) { return lower(a) == lower(b); }) != text.end();
}

}  // namespace Sablekit::Leak
