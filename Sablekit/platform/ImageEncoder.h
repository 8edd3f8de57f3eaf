// The image-encoding service: one captured image in, the bytes of one HEIC file out.
#pragma once

#include <cstdint>
#include <string>
#include <variant>
#include <vector>

#include "Sablekit/platform/PixelImage.h"

namespace Sablekit {

// Why no bytes came out. The two kinds keep apart "nothing could be set up to
// encode with" from "the encoder was there but did not produce a file".
struct ImageEncodingError {
  enum class Kind {
    setupFailed,     // no encoder or output could be created for this format and quality
    encodingFailed,  // the encoder was set up but could not encode or write the image
  };
  Kind kind = Kind::encodingFailed;
  std::string description;  // the platform's own words, for people
  bool operator==(const ImageEncodingError&) const = default;
};

class ImageEncoder {
 public:
  virtual ~ImageEncoder() = default;

  // Encodes `image` as a file holding exactly one HEIC image of the image's
  // own width and height, lossy at `quality` (0 smallest … 1 best; values
  // outside are clamped), with no alpha channel: every pixel is taken as
  // opaque. The image is neither scaled nor cropped. An image with no pixels,
  // or whose buffer does not hold width × height × 4 bytes, gives
  // `encodingFailed`; a quality that is not a number gives `setupFailed`.
  // Synchronous: blocks the calling thread (the capture service calls it on
  // the main thread) until the bytes are complete. The image is only read;
  // the bytes belong to the caller. Calls keep no state between them.
  virtual std::variant<std::vector<std::uint8_t>, ImageEncodingError> encodeHEIC(const PixelImage& image,
                                                                                 double quality) = 0;
};

}  // namespace Sablekit
