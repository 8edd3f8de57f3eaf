// The text recogniser: reads the lines of text in a region of a captured image.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "Sablekit/platform/PixelImage.h"

namespace Sablekit {

// A box in normalised coordinates: fractions of the width and height of the
// area that was read, origin at its bottom-left corner, y growing upwards.
struct NormalizedBox {
  double x = 0;
  double y = 0;
  double width = 0;
  double height = 0;
  bool operator==(const NormalizedBox&) const = default;
};

// The box the recogniser located for one run of a line's text: `length`
// bytes of the UTF-8 text starting at byte `offset`.
struct TextPieceBox {
  std::size_t offset = 0;
  std::size_t length = 0;
  NormalizedBox box;
  bool operator==(const TextPieceBox&) const = default;
};

// One line of text as the recogniser read it.
struct RecognizedTextLine {
  std::string text;                  // the best reading of the line, UTF-8
  float confidence = 0;              // 0 (no confidence) to 1
  NormalizedBox box;                 // the whole line
  std::vector<TextPieceBox> pieces;  // boxes of runs of `text` the recogniser located; may be empty

  // The box of bytes [offset, offset + length) of `text`: the union of the
  // pieces that overlap the range. Absent when no piece overlaps it (the
  // recogniser cannot place that text).
  std::optional<NormalizedBox> boxOfRange(std::size_t offset, std::size_t length) const {
    std::optional<NormalizedBox> result;
    for (const TextPieceBox& piece : pieces) {
      if (piece.offset >= offset + length || offset >= piece.offset + piece.length) {
        continue;
      }
      if (!result) {
        result = piece.box;
        continue;
      }
      const double left = std::min(result->x, piece.box.x);
      const double bottom = std::min(result->y, piece.box.y);
      const double right = std::max(result->x + result->width, piece.box.x + piece.box.width);
      const double top = std::max(result->y + result->height, piece.box.y + piece.box.height);
      result = NormalizedBox{left, bottom, right - left, top - bottom};
    }
    return result;
  }
  bool operator==(const RecognizedTextLine&) const = default;
};

// A rectangle of whole pixels of an image, origin at its top-left corner.
struct PixelRegion {
  std::int64_t x = 0;
  std::int64_t y = 0;
  std::int64_t width = 0;
  std::int64_t height = 0;
  bool operator==(const PixelRegion&) const = default;
};

// How to read.
struct TextRecognitionRequest {
  // The part of the image to read; must be non-empty and lie inside the image.
  PixelRegion region;
  // Lines lower than this fraction of the region's height are left out.
  double minimumTextHeight = 0;
  // The recogniser's accurate mode rather than its fast one; a recogniser
  // with a single mode ignores it.
  bool accurate = true;
  bool operator==(const TextRecognitionRequest&) const = default;
};

// The recogniser's own description of why it could not read.
struct TextRecognitionError {
  std::string description;
  bool operator==(const TextRecognitionError&) const = default;
};

// The grey level (0 black to 255 white) of one BGRA pixel: Rec. 601 luma of
// its red, green and blue, rounded; alpha is ignored, as captured screens are
// opaque. Grey pixels (R = G = B) keep their value.
inline std::uint8_t greyLevel(const std::uint8_t* bgra) {
  const unsigned luma = 114u * bgra[0] + 587u * bgra[1] + 299u * bgra[2];
  return static_cast<std::uint8_t>((luma + 500u) / 1000u);
}

// True when the image's pixel buffer holds exactly width × height BGRA pixels
// and `region` is non-empty and lies inside the image.
inline bool regionIsReadable(const PixelImage& image, const PixelRegion& region) {
  if (image.width <= 0 || image.height <= 0 ||
      image.bgra.size() != static_cast<std::size_t>(image.width) * static_cast<std::size_t>(image.height) * 4u) {
    return false;
  }
  return region.width > 0 && region.height > 0 && region.x >= 0 && region.y >= 0 &&
         region.x <= image.width - region.width && region.y <= image.height - region.height;
}

class TextRecognizer {
 public:
  virtual ~TextRecognizer() = default;

  // The lines of text in `request.region` of `image`, in the order the
  // recogniser reports them, with boxes normalised to the region; or the
  // recogniser's error (also for a region that is empty or not inside the
  // image, or an image whose pixel buffer does not match its size). The
  // recogniser is configured for English. Synchronous: blocks until the image
  // has been read. Main thread only; the image stays the caller's.
  virtual std::variant<std::vector<RecognizedTextLine>, TextRecognitionError> recognizeText(
      const PixelImage& image,
      const TextRecognitionRequest& request) = 0;
};

}  // namespace Sablekit
