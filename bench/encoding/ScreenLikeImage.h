// A synthetic desktop frame for encoding measurements: windows, dense text, a code editor, a wallpaper.
#pragma once

#include <cstdint>

#include "Sablekit/platform/PixelImage.h"

namespace Sablekit::Bench {

// A frame of `scale` × (1512 × 982) pixels with text rendered by FreeType in
// DejaVu Sans; the same scale always gives the same pixels.
PixelImage screenLikeImage(int scale);

}  // namespace Sablekit::Bench
