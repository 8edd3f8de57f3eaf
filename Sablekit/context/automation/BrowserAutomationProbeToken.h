// Proof that one scripted browser query holds the probe coordinator, and of
// which invalidation generation of its browser it was started in.
#pragma once

#include <cstdint>
#include <string>

#include "Sablekit/common/UUID.h"

namespace Sablekit {

struct BrowserAutomationProbeToken {
  UUID identifier;               // fresh for each token
  std::string bundleID;          // normalised
  std::uint64_t generation = 0;  // the browser's generation when the token was issued

  bool operator==(const BrowserAutomationProbeToken&) const = default;
};

}  // namespace Sablekit
