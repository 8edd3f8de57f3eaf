// Raised when a browser version's page address has been unreadable for long
// enough to be worth telling about.
#pragma once

#include <string>

namespace Sablekit {

struct BrowserReadHealthSignal {
  std::string bundleID;          // normalised
  std::string browserVersion;    // "unknown" when the browser gave none
  double failureDuration = 0.0;  // seconds from the run's first failed read to the current one

  bool operator==(const BrowserReadHealthSignal&) const = default;
};

}  // namespace Sablekit
