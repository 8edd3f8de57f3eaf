// The identity of this process as the operating system reports it.
#pragma once

#include "Sablekit/platform/ProcessIdentity.h"

namespace Sablekit {

class PosixProcessIdentity final : public ProcessIdentity {
 public:
  std::int32_t processID() const override;
  std::int32_t parentProcessID() const override;
};

}  // namespace Sablekit
