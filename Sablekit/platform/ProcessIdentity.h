// Who we are: the identity of the running process as the platform sees it.
#pragma once

#include <cstdint>

namespace Sablekit {

class ProcessIdentity {
 public:
  virtual ~ProcessIdentity() = default;

  // Process identifier of the running program. Never fails; safe from any thread.
  virtual std::int32_t processID() const = 0;

  // Process identifier of the program that started us (the parent). Never
  // fails; after the parent has gone it is whatever process adopted us.
  virtual std::int32_t parentProcessID() const = 0;
};

}  // namespace Sablekit
