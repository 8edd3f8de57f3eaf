// The real clocks of the machine.
#pragma once

#include "Sablekit/platform/Clock.h"

namespace Sablekit {

class SystemClock final : public Clock {
 public:
  double now() const override;
  double monotonicNow() const override;
};

}  // namespace Sablekit
