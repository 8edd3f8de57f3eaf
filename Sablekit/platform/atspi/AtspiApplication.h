// One application on the accessibility bus as the backend sees it: the
// process it was asked for, the bus name it was found under, the messaging
// timeout its calls wait, and whether it was caught not answering. Every
// element handle of the application shares this record.
#pragma once

#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <utility>

namespace Sablekit {

class AtspiApplication {
 public:
  // Either a process still to be found on the bus, or a bus name already known.
  AtspiApplication(std::optional<std::int32_t> processID, std::string busName, double messagingTimeout)
      : processID_(processID), busName_(std::move(busName)), messagingTimeout_(messagingTimeout) {}

  std::optional<std::int32_t> processID() const {
    const std::lock_guard guard(mutex_);
    return processID_;
  }
  // Empty until the application was found on the bus.
  std::string busName() const {
    const std::lock_guard guard(mutex_);
    return busName_;
  }
  void resolved(std::string busName, std::int32_t processID) {
    const std::lock_guard guard(mutex_);
    busName_ = std::move(busName);
    processID_ = processID;
  }

  double messagingTimeout() const {
    const std::lock_guard guard(mutex_);
    return messagingTimeout_;
  }
  void setMessagingTimeout(double seconds) {
    const std::lock_guard guard(mutex_);
    messagingTimeout_ = seconds;
  }

  // A call that timed out marks the application until `until` (monotonic
  // seconds): calls meanwhile fail at once instead of waiting again.
  void markHung(double until) {
    const std::lock_guard guard(mutex_);
    hungUntil_ = until;
  }
  bool hungAt(double now) const {
    const std::lock_guard guard(mutex_);
    return hungUntil_ && now < *hungUntil_;
  }

  // The same application: the same record, the same bus name, or (both
  // still unresolved) the same process.
  bool sameAs(const AtspiApplication& other) const {
    if (this == &other) {
      return true;
    }
    const std::string mine = busName();
    const std::string theirs = other.busName();
    if (!mine.empty() || !theirs.empty()) {
      return mine == theirs;
    }
    const auto myProcess = processID();
    return myProcess && myProcess == other.processID();
  }

 private:
  mutable std::mutex mutex_;  // guards everything below
  std::optional<std::int32_t> processID_;
  std::string busName_;
  double messagingTimeout_;
  std::optional<double> hungUntil_;
};

}  // namespace Sablekit
