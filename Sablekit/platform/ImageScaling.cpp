// The area-averaging scaler shared by the backends' screenshots.
#include "Sablekit/platform/ImageScaling.h"

#include <algorithm>
#include <cstdint>
#include <vector>

namespace Sablekit {

namespace {

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

}  // namespace

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

PixelImage scaledByArea(PixelImage source, std::int64_t width, std::int64_t height) {
  if (source.width == width && source.height == height) {
    return source;
  }
  PixelImage scaled{width, height, std::vector<std::uint8_t>(static_cast<std::size_t>(width * height * 4))};
  scaleByArea(reinterpret_cast<const std::uint32_t*>(source.bgra.data()), static_cast<int>(source.width),
              static_cast<int>(source.height), scaled.bgra.data(), static_cast<int>(width), static_cast<int>(height));
  return scaled;
}

}  // namespace Sablekit
