// The desktop contract on a private X server with openbox.
#include "tests/platform/contract/DesktopContract.h"
#include "tests/platform/contract/X11DesktopArranger.h"

namespace Sablekit::Testing {

INSTANTIATE_TYPED_TEST_SUITE_P(X11, DesktopContract, X11DesktopArranger);

}  // namespace Sablekit::Testing
