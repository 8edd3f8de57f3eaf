// The observer thread's event loop: a GLib main loop on a context of its own,
// running queued blocks and the deliveries of attached observers, one at a
// time, on the thread that runs it.
#pragma once

#include <deque>
#include <functional>
#include <memory>
#include <mutex>

#include <gio/gio.h>

#include "Sablekit/platform/AccessibilityObservers.h"
#include "Sablekit/platform/atspi/AtspiConnection.h"
#include "Sablekit/platform/atspi/GlibHandles.h"

namespace Sablekit {

class AtspiEventLoop final : public AccessibilityEventLoop {
 public:
  // `connection` (the bus observers subscribe on) must outlive the loop.
  explicit AtspiEventLoop(AtspiConnection& connection);
  ~AtspiEventLoop() override;
  AtspiEventLoop(const AtspiEventLoop&) = delete;
  AtspiEventLoop& operator=(const AtspiEventLoop&) = delete;

  void run() override;
  void perform(std::function<void()> block) override;
  void stop() override;
  // Only for observers of this backend; others are ignored.
  void attach(const std::shared_ptr<AccessibilityObserver>& observer) override;
  void detach(const std::shared_ptr<AccessibilityObserver>& observer) override;

 private:
  static gboolean drain(gpointer self);
  static gboolean quit(gpointer self);

  AtspiConnection& connection_;
  GMainContextHandle context_;
  GMainLoopHandle loop_;

  std::mutex mutex_;  // guards blocks_, drainScheduled_ and stopped_
  std::deque<std::function<void()>> blocks_;
  bool drainScheduled_ = false;
  bool stopped_ = false;
};

}  // namespace Sablekit
