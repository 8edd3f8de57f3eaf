#include "Sablekit/context/browser/BrowserAutomationProbeRace.h"

namespace Sablekit {

std::shared_ptr<BrowserAutomationProbeRace> BrowserAutomationProbeRace::make() {
  return std::shared_ptr<BrowserAutomationProbeRace>(new BrowserAutomationProbeRace());
}

std::optional<BrowserPrivacyVerdict> BrowserAutomationProbeRace::wait(
    const std::function<void(const std::shared_ptr<BrowserAutomationProbeRace>&)>& start) {
  std::future<std::optional<BrowserPrivacyVerdict>> result;
  {
    const std::lock_guard guard(lock_);
    continuation_.emplace();
    result = continuation_->get_future();
  }
  start(shared_from_this());
  return result.get();
}

void BrowserAutomationProbeRace::finish(std::optional<BrowserPrivacyVerdict> verdict) {
  std::optional<std::promise<std::optional<BrowserPrivacyVerdict>>> continuation;
  {
    const std::lock_guard guard(lock_);
    if (finished_ || !continuation_) {
      return;
    }
    continuation.swap(continuation_);
    finished_ = true;
  }
  // Resumed outside the lock: the waiter may run at once.
  continuation->set_value(verdict);
}

}  // namespace Sablekit
