// The desktop contract on the simulated desktop.
#include "tests/platform/contract/DesktopContract.h"
#include "tests/platform/contract/SimulatedDesktopArranger.h"

namespace Sablekit::Testing {

INSTANTIATE_TYPED_TEST_SUITE_P(Simulated, DesktopContract, SimulatedDesktopArranger);

}  // namespace Sablekit::Testing
