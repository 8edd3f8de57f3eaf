#include "Sablekit/platform/posix/PosixProcessIdentity.h"

#include <unistd.h>

namespace Sablekit {

std::int32_t PosixProcessIdentity::processID() const {
  return static_cast<std::int32_t>(::getpid());
}

std::int32_t PosixProcessIdentity::parentProcessID() const {
  return static_cast<std::int32_t>(::getppid());
}

}  // namespace Sablekit
