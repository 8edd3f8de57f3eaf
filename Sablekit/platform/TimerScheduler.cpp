#include "Sablekit/platform/TimerScheduler.h"

#include <utility>

namespace Sablekit {

std::function<void()> TimerState::claim() {
  const std::lock_guard lock(mutex_);
  return std::exchange(action_, nullptr);
}

void TimerState::cancel() {
  std::function<void()> dropped;
  {
    const std::lock_guard lock(mutex_);
    dropped = std::exchange(action_, nullptr);
  }
  // `dropped` is destroyed here, outside the lock: its captures may do anything.
}

}  // namespace Sablekit
