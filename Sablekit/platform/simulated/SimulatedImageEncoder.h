// The image encoder of the simulated desktop: the real HEIC encoder, with
// faults injected in front of it.
#pragma once

#include <string_view>

#include "Sablekit/platform/ImageEncoder.h"
#include "Sablekit/platform/heif/HeifImageEncoder.h"
#include "Sablekit/platform/simulated/FaultInjector.h"

namespace Sablekit {

namespace SimulatedOperation {
// fail: the encoder cannot be set up. empty: it is set up but produces no file.
inline constexpr std::string_view encodeHEIC = "imageEncoder.encodeHEIC";
}  // namespace SimulatedOperation

// The fault injector must outlive the encoder.
class SimulatedImageEncoder final : public ImageEncoder {
 public:
  explicit SimulatedImageEncoder(FaultInjector& faults) : faults_(faults) {}

  // How many encodings were asked for, faulted ones included.
  int encodings() const { return encodings_; }

  std::variant<std::vector<std::uint8_t>, ImageEncodingError> encodeHEIC(const PixelImage& image,
                                                                         double quality) override;

 private:
  FaultInjector& faults_;
  HeifImageEncoder encoder_;
  int encodings_ = 0;
};

}  // namespace Sablekit
