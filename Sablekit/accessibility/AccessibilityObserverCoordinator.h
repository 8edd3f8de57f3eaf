// Keeps, for up to eight recently asked-about processes, a numbered list of
// the accessibility notifications received since the snapshot service last
// caught up. Every platform observer lives on one thread of the coordinator.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <semaphore>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "Sablekit/accessibility/AccessibilityObservationBatch.h"
#include "Sablekit/accessibility/AccessibilityObservedChange.h"
#include "Sablekit/platform/AccessibilityClient.h"
#include "Sablekit/platform/AccessibilityObservers.h"
#include "Sablekit/platform/Clock.h"
#include "Sablekit/platform/PermissionChecks.h"

namespace Sablekit {

class AccessibilityObserverCoordinator {
 public:
  static constexpr std::size_t maximumPendingChanges = 64;
  static constexpr std::size_t maximumObservations = 8;
  // Seconds an observed application may take to answer before a call fails.
  static constexpr double applicationMessagingTimeout = 0.5;
  // Seconds construction waits for the observer thread to have its loop.
  static constexpr double threadStartWait = 1.0;
  static constexpr std::string_view threadName = "tallyglass.accessibility-observer";

  // Starts the observer thread and waits up to threadStartWait for its loop;
  // construction succeeds either way. Every reference must outlive this.
  AccessibilityObserverCoordinator(AccessibilityObservers& observers,
                                   AccessibilityClient& accessibility,
                                   PermissionChecks& permissions,
                                   const Clock& clock);
  // Releases every observer on the observer thread, then stops and joins it.
  ~AccessibilityObserverCoordinator();
  AccessibilityObserverCoordinator(const AccessibilityObserverCoordinator&) = delete;
  AccessibilityObserverCoordinator& operator=(const AccessibilityObserverCoordinator&) = delete;

  // The pending changes of the process newer than `after`, as a copy. A
  // process not observed under this bundle identifier (any case, surrounding
  // white space ignored) answers revision 0 and gets a registration scheduled
  // on the observer thread. Any thread; holds the lock only to copy.
  AccessibilityObservationBatch changes(std::int32_t processID, std::string_view bundleID, std::uint64_t after);

  // Drops the changes up to and including `through`; acknowledging the current
  // revision also clears the overflow flag. Ignored for a process not observed
  // under this bundle identifier. Any thread.
  void acknowledge(std::int32_t processID, std::string_view bundleID, std::uint64_t through);

 private:
  struct Observation {
    std::string bundleID;  // normalised
    std::shared_ptr<AccessibilityObserver> observer;
    AccessibilityElement application;
    std::uint64_t revision = 1;
    double lastUsed = 0.0;
    std::uint64_t useOrder = 0;  // breaks ties between equal lastUsed times
    std::vector<AccessibilityObservedChange> changes;
    bool overflowed = false;
  };

  void runObserverThread();
  // Observer thread only.
  void registerProcess(std::int32_t processID, const std::string& bundleID);
  void markChanged(AccessibilityObserver& observer,
                   const AccessibilityElement& element,
                   const std::string& notification);
  // Detaches and releases observers taken out of the map, outside the lock.
  void retire(std::vector<std::shared_ptr<AccessibilityObserver>> observers);
  static void observerCallback(AccessibilityObserver& observer,
                               const AccessibilityElement& element,
                               const std::string& notification,
                               void* context);
  // Under lock_.
  void touchLocked(Observation& observation);

  AccessibilityObservers& observers_;
  AccessibilityClient& accessibility_;
  PermissionChecks& permissions_;
  const Clock& clock_;

  std::binary_semaphore ready_{0};
  std::mutex lock_;  // guards loop_, observations_, useCounter_ and ending_
  std::shared_ptr<AccessibilityEventLoop> loop_;
  std::map<std::int32_t, Observation> observations_;
  std::uint64_t useCounter_ = 0;
  bool ending_ = false;
  std::thread thread_;
};

}  // namespace Sablekit
