// Subscribing to another application's accessibility notifications: observers
// that deliver on an event loop of a thread the caller owns.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "Sablekit/platform/AccessibilityElement.h"

namespace Sablekit {

// One platform observer (an AXObserver on macOS). Its identity is its address:
// the callback receives the very object createObserver handed out. Releasing
// the last reference releases the platform observer; release it on the thread
// whose loop it was attached to, after detaching it.
class AccessibilityObserver {
 public:
  virtual ~AccessibilityObserver() = default;
};

// Called on the loop the observer is attached to, one call at a time, with the
// observer, the element the notification is about, the notification name and
// the context given to addNotification (passed through untouched, never owned).
using AccessibilityNotificationCallback = void (*)(AccessibilityObserver& observer,
                                                   const AccessibilityElement& element,
                                                   const std::string& notification,
                                                   void* context);

// The event loop of one thread (a run loop on macOS). Blocks and the
// notifications of attached observers run on that thread, one at a time.
class AccessibilityEventLoop {
 public:
  virtual ~AccessibilityEventLoop() = default;

  // Runs blocks and deliveries until stop(). Only on the thread the loop was
  // obtained on; returns once stop() has been called, dropping what is still queued.
  virtual void run() = 0;

  // Queues `block` to run on the loop and wakes it. Safe from any thread.
  virtual void perform(std::function<void()> block) = 0;

  // Makes run() return after the block or delivery in progress. Safe from any
  // thread; before run() started it makes run() return at once.
  virtual void stop() = 0;

  // Attaches or detaches the observer's event source: only while attached are
  // its notifications delivered here. Only on the loop's own thread.
  // Attaching twice or detaching an unattached observer does nothing.
  virtual void attach(const std::shared_ptr<AccessibilityObserver>& observer) = 0;
  virtual void detach(const std::shared_ptr<AccessibilityObserver>& observer) = 0;
};

class AccessibilityObservers {
 public:
  virtual ~AccessibilityObservers() = default;

  // The calling thread's event loop, kept alive by a source of its own so that
  // run() does not return for want of work. Call on the thread that will run it.
  virtual std::shared_ptr<AccessibilityEventLoop> currentThreadLoop() = 0;

  // A new observer for the process's notifications; absent when the platform
  // refuses (no such process, no accessibility trust, out of resources).
  // Call on the thread whose loop it will be attached to.
  virtual std::shared_ptr<AccessibilityObserver> createObserver(std::int32_t processID,
                                                                AccessibilityNotificationCallback callback) = 0;

  // Subscribes the observer to `notification` on `element` and on everything
  // below it; `context` comes back with every delivery. False when the
  // application refused or did not answer. Same thread as createObserver.
  virtual bool addNotification(AccessibilityObserver& observer,
                               const AccessibilityElement& element,
                               const std::string& notification,
                               void* context) = 0;
};

}  // namespace Sablekit
