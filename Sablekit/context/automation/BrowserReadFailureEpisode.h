// One unbroken run of failed page-address reads of one browser version.
#pragma once

#include <optional>

namespace Sablekit {

// Times are on the clock's monotonic scale.
struct BrowserReadFailureEpisode {
  double firstFailure = 0.0;         // the first failed read of the run
  double lastObservation = 0.0;      // the latest failed read of the run
  std::optional<double> lastSignal;  // when a signal was last emitted for the run

  bool operator==(const BrowserReadFailureEpisode&) const = default;
};

}  // namespace Sablekit
