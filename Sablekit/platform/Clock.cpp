#include "Sablekit/platform/Clock.h"

#include <cmath>

namespace Sablekit {

long long wireMilliseconds(double secondsSince1970) {
  return static_cast<long long>(std::trunc(secondsSince1970 * 1000.0));
}

}  // namespace Sablekit
