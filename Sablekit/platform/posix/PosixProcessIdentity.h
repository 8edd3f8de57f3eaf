// The identity of this process as the operating system reports it.
#pragma once

#include "Sablekit/platform/ProcessIdentity.h"

namespace Sablekit {

class PosixProcessIdentity final : public ProcessIdentity {
 public:
  PosixProcessIdentity();

  // Read once: a process keeps its identifier for life (the hosts never fork),
  // and the health report asks for it on every request.
  std::int32_t processID() const override { return processID_; }
  // Read on every call: the parent can change when the original one exits.
  std::int32_t parentProcessID() const override;

 private:
  std::int32_t processID_;
};

}  // namespace Sablekit
