// The applications the backend has met, by process and by bus name, and how
// a process is found on the accessibility bus: the registry lists every
// registered application, and the bus daemon tells each one's process.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "Sablekit/platform/atspi/AtspiApplication.h"
#include "Sablekit/platform/atspi/AtspiConnection.h"

namespace Sablekit {

class AtspiApplications {
 public:
  // The messaging timeout of an application nobody set one for (seconds):
  // what AT-SPI's own client library waits.
  static constexpr double defaultMessagingTimeout = 0.8;
  // How long the registry and the bus daemon may take to answer a look-up.
  static constexpr double lookUpTimeout = 1.0;

  AtspiApplications() = default;
  AtspiApplications(const AtspiApplications&) = delete;
  AtspiApplications& operator=(const AtspiApplications&) = delete;

  // The record for the process: the one met before, or a new unresolved one.
  // No bus traffic. Any thread.
  std::shared_ptr<AtspiApplication> forProcess(std::int32_t processID);
  // The record for a bus name (an element read from another application).
  std::shared_ptr<AtspiApplication> forBusName(const std::string& busName);

  // Finds an unresolved application's process on the bus; true when it has
  // a bus name now. Blocks for at most two look-ups. Any thread.
  bool resolve(AtspiApplication& application, GDBusConnection* bus);

  // The application left the bus: later requests for its process get a new
  // record, while handles to the old one keep failing.
  void forget(const AtspiApplication& application);

 private:
  // Bus name → process of every registered application; absent entries are
  // asked of the bus daemon. Empty when the registry did not answer.
  std::map<std::string, std::int32_t> registeredProcesses(GDBusConnection* bus);

  std::mutex mutex_;  // guards the three maps
  std::map<std::int32_t, std::shared_ptr<AtspiApplication>> byProcess_;
  std::map<std::string, std::weak_ptr<AtspiApplication>> byBusName_;
  std::map<std::string, std::int32_t> knownProcesses_;  // bus names are never reused on one bus
};

}  // namespace Sablekit
