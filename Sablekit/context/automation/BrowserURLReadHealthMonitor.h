// Follows unbroken runs of failed page-address reads per browser version and
// signals a run that has lasted long enough, at most once a minute per run.
#pragma once

#include <map>
#include <mutex>
#include <optional>
#include <string_view>

#include "Sablekit/context/automation/BrowserKey.h"
#include "Sablekit/context/automation/BrowserReadFailureEpisode.h"
#include "Sablekit/context/automation/BrowserReadHealthSignal.h"
#include "Sablekit/platform/Clock.h"

namespace Sablekit {

class BrowserURLReadHealthMonitor {
 public:
  // A run must last this long before it is signalled.
  static constexpr double minimumFailureDuration = 5.0;
  // Signals of one run come at least this far apart.
  static constexpr double signalInterval = 60.0;
  // A longer gap between failed reads starts a new run.
  static constexpr double maximumObservationGap = 300.0;

  // `now` must outlive the monitor. Runs are timed on its monotonic time, so
  // a change of the system time does not stretch or shrink them.
  explicit BrowserURLReadHealthMonitor(const Clock& now);

  BrowserURLReadHealthMonitor(const BrowserURLReadHealthMonitor&) = delete;
  BrowserURLReadHealthMonitor& operator=(const BrowserURLReadHealthMonitor&) = delete;

  // Records one read; a readable read ends the browser version's run.
  std::optional<BrowserReadHealthSignal> observe(std::string_view bundleID,
                                                 std::string_view browserVersion,
                                                 bool readable);

 private:
  mutable std::mutex lock_;  // guards episodes_
  const Clock& now_;
  std::map<BrowserKey, BrowserReadFailureEpisode> episodes_;
};

}  // namespace Sablekit
