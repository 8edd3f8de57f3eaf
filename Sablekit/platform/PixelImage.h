// A captured image in memory: rows of 32-bit pixels, blue-green-red-alpha.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace Sablekit {

struct PixelImage {
  std::int64_t width = 0;
  std::int64_t height = 0;
  // width * height * 4 bytes, row by row from the top, each pixel B, G, R, A.
  std::vector<std::uint8_t> bgra;

  // The four bytes of one pixel; the caller keeps x and y inside the image.
  const std::uint8_t* pixel(std::int64_t x, std::int64_t y) const {
    return bgra.data() + static_cast<std::size_t>((y * width + x) * 4);
  }
  bool operator==(const PixelImage&) const = default;
};

}  // namespace Sablekit
