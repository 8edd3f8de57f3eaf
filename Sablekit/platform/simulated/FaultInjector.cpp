#include "Sablekit/platform/simulated/FaultInjector.h"

#include <algorithm>

namespace Sablekit {

void FaultInjector::arm(std::string operation, FaultKind kind, unsigned times) {
  const std::lock_guard lock(mutex_);
  armed_.insert_or_assign(std::move(operation), Armed{kind, times});
}

void FaultInjector::clear(std::string_view operation) {
  const std::lock_guard lock(mutex_);
  if (const auto found = armed_.find(operation); found != armed_.end()) {
    armed_.erase(found);
  }
}

std::optional<FaultKind> FaultInjector::take(std::string_view operation) {
  const std::lock_guard lock(mutex_);
  if (recording_ && std::find(recorded_.begin(), recorded_.end(), operation) == recorded_.end()) {
    recorded_.emplace_back(operation);
  }
  const auto found = armed_.find(operation);
  if (found == armed_.end()) {
    return std::nullopt;
  }
  const FaultKind kind = found->second.kind;
  if (found->second.remaining == 1) {
    armed_.erase(found);
  } else if (found->second.remaining > 1) {
    --found->second.remaining;
  }
  return kind;
}

void FaultInjector::startRecording() {
  const std::lock_guard lock(mutex_);
  recording_ = true;
  recorded_.clear();
}

std::vector<std::string> FaultInjector::recordedOperations() const {
  const std::lock_guard lock(mutex_);
  return recorded_;
}

}  // namespace Sablekit
