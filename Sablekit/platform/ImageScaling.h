// The one scaler of screenshots, shared by every backend that scales on the
// client side: each output pixel is the average of the source area it
// covers, every source pixel weighted by how much of it lies inside. A flat
// area therefore keeps its exact colour at any size, thin strokes fade
// instead of vanishing (text stays legible to the recogniser), and the
// result does not depend on which backend took the picture.
#pragma once

#include <cstdint>

#include "Sablekit/platform/PixelImage.h"

namespace Sablekit {

// Scales 32-bit pixels (any channel order; every channel, alpha included, is
// averaged alike) of `sourceWidth` by `sourceHeight` into `outputBytes`,
// which holds exactly `outputWidth` by `outputHeight` of them. Every side
// must be positive and at most 2^16 pixels. Any thread.
void scaleByArea(const std::uint32_t* sourceBits,
                 int sourceWidth,
                 int sourceHeight,
                 std::uint8_t* outputBytes,
                 int outputWidth,
                 int outputHeight);

// `source` at exactly `width` by `height`, positive; `source` itself when the
// size does not change.
PixelImage scaledByArea(PixelImage source, std::int64_t width, std::int64_t height);

}  // namespace Sablekit
