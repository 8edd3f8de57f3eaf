#include "Sablekit/context/automation/BrowserURLReadHealthMonitor.h"

#include "Sablekit/common/BundleIDNormalization.h"

namespace Sablekit {

BrowserURLReadHealthMonitor::BrowserURLReadHealthMonitor(const Clock& now) : now_(now) {}

std::optional<BrowserReadHealthSignal> BrowserURLReadHealthMonitor::observe(std::string_view bundleID,
                                                                            std::string_view browserVersion,
                                                                            bool readable) {
  BrowserKey key = BrowserKey::make(normalizeBundleID(bundleID), browserVersion);
  const double now = now_.monotonicNow();

  const std::lock_guard guard(lock_);
  if (readable) {
    episodes_.erase(key);
    return std::nullopt;
  }

  const auto found = episodes_.find(key);
  if (found == episodes_.end() || now - found->second.lastObservation > maximumObservationGap) {
    episodes_.insert_or_assign(std::move(key), BrowserReadFailureEpisode{now, now, std::nullopt});
    return std::nullopt;
  }

  BrowserReadFailureEpisode& episode = found->second;
  episode.lastObservation = now;
  const double duration = now - episode.firstFailure;
  if (duration < minimumFailureDuration) {
    return std::nullopt;
  }
  if (episode.lastSignal && now - *episode.lastSignal < signalInterval) {
    return std::nullopt;
  }
  episode.lastSignal = now;
  return BrowserReadHealthSignal{key.bundleID, key.browserVersion, duration};
}

}  // namespace Sablekit
