// The image encoder contract on the libheif encoder and on the simulated
// desktop's encoder with no fault armed.
#include "Sablekit/platform/heif/HeifImageEncoder.h"
#include "Sablekit/platform/simulated/FaultInjector.h"
#include "Sablekit/platform/simulated/SimulatedImageEncoder.h"
#include "tests/platform/contract/ImageEncoderContract.h"

namespace Sablekit::Testing {
namespace {

class HeifEncoderArranger {
 public:
  ImageEncoder& encoder() { return encoder_; }

 private:
  HeifImageEncoder encoder_;
};

class SimulatedEncoderArranger {
 public:
  ImageEncoder& encoder() { return encoder_; }

 private:
  FaultInjector faults_;
  SimulatedImageEncoder encoder_{faults_};
};

}  // namespace

INSTANTIATE_TYPED_TEST_SUITE_P(Heif, ImageEncoderContract, HeifEncoderArranger);
INSTANTIATE_TYPED_TEST_SUITE_P(Simulated, ImageEncoderContract, SimulatedEncoderArranger);

}  // namespace Sablekit::Testing
