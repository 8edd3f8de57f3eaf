// Paints lines of text into an image with FreeType, for feeding a real
// recogniser text whose place is known.
#pragma once

#include <cstdint>
#include <string>

#include "Sablekit/platform/PixelImage.h"

namespace Sablekit {

class TextPainter {
 public:
  // Opens DejaVu Sans (Debian fonts-dejavu-core); throws std::runtime_error without it.
  TextPainter();
  ~TextPainter();
  TextPainter(const TextPainter&) = delete;
  TextPainter& operator=(const TextPainter&) = delete;

  // A width × height image filled with one grey level, opaque.
  static PixelImage canvas(std::int64_t width, std::int64_t height, std::uint8_t grey);

  // Paints ASCII `text` in black, the pen starting at `x` on the baseline
  // `baseline`, glyphs `pixelSize` pixels high; answers the pen's x after the text.
  std::int64_t paint(PixelImage& image, const std::string& text, std::int64_t x, std::int64_t baseline, int pixelSize);

 private:
  struct Library;
  Library* library_;
};

}  // namespace Sablekit
