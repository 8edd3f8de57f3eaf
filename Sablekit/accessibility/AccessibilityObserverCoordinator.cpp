// The observer coordinator: registrations and notification callbacks on the
// observer thread, change collection on the snapshot service's thread.
#include "Sablekit/accessibility/AccessibilityObserverCoordinator.h"

#include <chrono>
#include <utility>

#include "Sablekit/common/BundleIDNormalization.h"

namespace Sablekit {

AccessibilityObserverCoordinator::AccessibilityObserverCoordinator(AccessibilityObservers& observers,
                                                                   AccessibilityClient& accessibility,
                                                                   PermissionChecks& permissions,
                                                                   const Clock& clock)
    : observers_(observers), accessibility_(accessibility), permissions_(permissions), clock_(clock) {
  thread_ = std::thread([this] { runObserverThread(); });
  // A slow start is not fatal: until the loop is recorded, changes() schedules
  // nothing and answers empty batches.
  (void)ready_.try_acquire_for(std::chrono::duration<double>(threadStartWait));
}

AccessibilityObserverCoordinator::~AccessibilityObserverCoordinator() {
  std::shared_ptr<AccessibilityEventLoop> loop;
  {
    const std::lock_guard guard(lock_);
    ending_ = true;  // a thread that has not recorded its loop yet will not run it
    loop = loop_;
  }
  if (loop) {
    // Observers are released on their own thread, then the loop ends; queued
    // registrations behind this block never run.
    loop->perform([this, loop] {
      std::vector<std::shared_ptr<AccessibilityObserver>> retired;
      {
        const std::lock_guard guard(lock_);
        for (auto& [processID, observation] : observations_) {
          retired.push_back(std::move(observation.observer));
        }
        observations_.clear();
      }
      retire(std::move(retired));
      loop->stop();
    });
  }
  if (thread_.joinable()) {
    thread_.join();
  }
}

void AccessibilityObserverCoordinator::runObserverThread() {
  auto loop = observers_.currentThreadLoop();
  {
    const std::lock_guard guard(lock_);
    if (ending_) {
      return;
    }
    loop_ = loop;
  }
  ready_.release();
  loop->run();
}

AccessibilityObservationBatch AccessibilityObserverCoordinator::changes(std::int32_t processID,
                                                                        std::string_view bundleID,
                                                                        std::uint64_t after) {
  std::string normalized = normalizeBundleID(bundleID);
  const double now = clock_.now();
  AccessibilityObservationBatch batch;
  std::shared_ptr<AccessibilityEventLoop> loop;
  {
    const std::lock_guard guard(lock_);
    const auto found = observations_.find(processID);
    if (found != observations_.end() && found->second.bundleID == normalized) {
      Observation& observation = found->second;
      observation.lastUsed = now;
      observation.useOrder = ++useCounter_;
      batch.revision = observation.revision;
      batch.overflowed = observation.overflowed;
      for (const auto& change : observation.changes) {
        if (change.revision > after) {
          batch.changes.push_back(change);
        }
      }
      return batch;
    }
    batch.identityChanged = found != observations_.end();
    loop = loop_;
  }
  if (loop) {
    // Scheduled on every such call, also when one is already waiting: a
    // registration that failed is retried by the next request.
    loop->perform([this, processID, normalized = std::move(normalized)] { registerProcess(processID, normalized); });
  }
  return batch;
}

void AccessibilityObserverCoordinator::acknowledge(std::int32_t processID,
                                                   std::string_view bundleID,
                                                   std::uint64_t through) {
  const std::string normalized = normalizeBundleID(bundleID);
  const std::lock_guard guard(lock_);
  const auto found = observations_.find(processID);
  if (found == observations_.end() || found->second.bundleID != normalized) {
    return;
  }
  Observation& observation = found->second;
  std::erase_if(observation.changes, [through](const auto& change) { return change.revision <= through; });
  if (through >= observation.revision) {
    observation.overflowed = false;
  }
}

void AccessibilityObserverCoordinator::registerProcess(std::int32_t processID, const std::string& bundleID) {
  if (!permissions_.accessibilityTrusted()) {
    return;
  }
  auto observer = observers_.createObserver(processID, &AccessibilityObserverCoordinator::observerCallback);
  if (!observer) {
    return;
  }
  AccessibilityElement application = accessibility_.applicationElement(processID);
  accessibility_.setMessagingTimeout(application, applicationMessagingTimeout);
  int added = 0;
  for (const auto notification : observedNotifications) {
    if (observers_.addNotification(*observer, application, std::string(notification), this)) {
      ++added;
    }
  }
  // Only this thread writes loop_, so reading it here needs no lock.
  if (added == 0 || !loop_) {
    return;  // the observer is released unattached; the next request tries again
  }
  loop_->attach(observer);

  const double now = clock_.now();
  std::vector<std::shared_ptr<AccessibilityObserver>> retired;
  {
    const std::lock_guard guard(lock_);
    if (const auto found = observations_.find(processID); found != observations_.end()) {
      retired.push_back(std::move(found->second.observer));
      observations_.erase(found);
    }
    Observation observation;
    observation.bundleID = bundleID;
    observation.observer = std::move(observer);
    observation.application = std::move(application);
    observation.lastUsed = now;
    observation.useOrder = ++useCounter_;
    observations_.emplace(processID, std::move(observation));
    while (observations_.size() > maximumObservations) {
      // Least recently used first; the one just made is never the victim,
      // even if the wall clock went backwards.
      auto victim = observations_.end();
      for (auto entry = observations_.begin(); entry != observations_.end(); ++entry) {
        if (entry->first == processID) {
          continue;
        }
        if (victim == observations_.end() || entry->second.lastUsed < victim->second.lastUsed ||
            (entry->second.lastUsed == victim->second.lastUsed && entry->second.useOrder < victim->second.useOrder)) {
          victim = entry;
        }
      }
      retired.push_back(std::move(victim->second.observer));
      observations_.erase(victim);
    }
  }
  // No notification of a retired observer can arrive in between: deliveries
  // run on this thread, after this block.
  retire(std::move(retired));
}

void AccessibilityObserverCoordinator::retire(std::vector<std::shared_ptr<AccessibilityObserver>> observers) {
  for (auto& observer : observers) {
    loop_->detach(observer);
    observer.reset();
  }
}

void AccessibilityObserverCoordinator::markChanged(AccessibilityObserver& observer,
                                                   const AccessibilityElement& element,
                                                   const std::string& notification) {
  const double now = clock_.now();
  const AccessibilityObservedChangeKind kind = changeKind(notification);
  const std::lock_guard guard(lock_);
  for (auto& [processID, observation] : observations_) {
    if (observation.observer.get() != &observer) {
      continue;
    }
    const bool full = observation.changes.size() >= maximumPendingChanges;
    ++observation.revision;
    observation.lastUsed = now;
    observation.useOrder = ++useCounter_;
    if (full) {
      // The snapshot service walks the whole tree again instead of patching.
      observation.changes.clear();
      observation.overflowed = true;
    } else {
      observation.changes.push_back(AccessibilityObservedChange{
          .revision = observation.revision,
          .element = element,
          .notification = notification,
          .kind = kind,
          .occurredAt = now,
      });
    }
    return;
  }
}

void AccessibilityObserverCoordinator::observerCallback(AccessibilityObserver& observer,
                                                        const AccessibilityElement& element,
                                                        const std::string& notification,
                                                        void* context) {
  if (context == nullptr) {
    return;
  }
  static_cast<AccessibilityObserverCoordinator*>(context)->markChanged(observer, element, notification);
}

}  // namespace Sablekit
