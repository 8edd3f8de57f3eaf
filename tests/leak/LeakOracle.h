// What a capture of a generated desktop must answer, worked out from the
// desktop's own facts with the few rules that decide privacy, never by
// running the service's code.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "tests/leak/LeakDesktop.h"

namespace Sablekit::Leak {

struct ExpectedCapture {
  // The error code the capture must answer, or absent for a capture.
  std::optional<std::string> refusal;
  // Indices into the desktop's secrets whose marks must not appear anywhere.
  std::vector<std::size_t> hidden;
};

class LeakOracle {
 public:
  LeakOracle() = delete;

  // Pure; the desktop is only read.
  static ExpectedCapture expect(const LeakDesktop& desktop, const LeakRequest& request);
};

}  // namespace Sablekit::Leak
