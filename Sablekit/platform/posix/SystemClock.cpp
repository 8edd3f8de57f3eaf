#include "Sablekit/platform/posix/SystemClock.h"

#include <chrono>

namespace Sablekit {

double SystemClock::now() const {
  return std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch()).count();
}

double SystemClock::monotonicNow() const {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

}  // namespace Sablekit
