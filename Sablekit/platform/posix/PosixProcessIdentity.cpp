#include "Sablekit/platform/posix/PosixProcessIdentity.h"

#include <unistd.h>

namespace Sablekit {

PosixProcessIdentity::PosixProcessIdentity() : processID_(static_cast<std::int32_t>(::getpid())) {}

std::int32_t PosixProcessIdentity::parentProcessID() const {
  return static_cast<std::int32_t>(::getppid());
}

}  // namespace Sablekit
