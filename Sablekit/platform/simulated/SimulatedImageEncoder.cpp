// Faults first, then the real HEIC encoder.
#include "Sablekit/platform/simulated/SimulatedImageEncoder.h"

namespace Sablekit {

std::variant<std::vector<std::uint8_t>, ImageEncodingError> SimulatedImageEncoder::encodeHEIC(const PixelImage& image,
                                                                                              double quality) {
  ++encodings_;
  if (const std::optional<FaultKind> fault = faults_.take(SimulatedOperation::encodeHEIC)) {
    if (*fault == FaultKind::fail) {
      return ImageEncodingError{ImageEncodingError::Kind::setupFailed,
                                "The simulated image encoder could not be set up."};
    }
    return ImageEncodingError{ImageEncodingError::Kind::encodingFailed,
                              "The simulated image encoder produced no file."};
  }
  return encoder_.encodeHEIC(image, quality);
}

}  // namespace Sablekit
