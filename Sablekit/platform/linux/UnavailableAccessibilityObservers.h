// Accessibility notifications on a desktop without an accessibility client
// backend: the observer thread still gets a working loop, but every observer
// is refused, so nothing is ever delivered.
#pragma once

#include <memory>

#include "Sablekit/platform/AccessibilityObservers.h"
#include "Sablekit/platform/RunLoop.h"

namespace Sablekit {

class UnavailableAccessibilityObservers final : public AccessibilityObservers {
 public:
  std::shared_ptr<AccessibilityEventLoop> currentThreadLoop() override { return std::make_shared<Loop>(); }
  std::shared_ptr<AccessibilityObserver> createObserver(std::int32_t, AccessibilityNotificationCallback) override {
    return nullptr;
  }
  bool addNotification(AccessibilityObserver&, const AccessibilityElement&, const std::string&, void*) override {
    return false;
  }

 private:
  // Blocks only; no observer is ever attached.
  class Loop final : public AccessibilityEventLoop {
   public:
    void run() override { loop_.run(); }
    void perform(std::function<void()> block) override { loop_.post(std::move(block)); }
    void stop() override { loop_.stop(); }
    void attach(const std::shared_ptr<AccessibilityObserver>&) override {}
    void detach(const std::shared_ptr<AccessibilityObserver>&) override {}

   private:
    RunLoop loop_;
  };
};

}  // namespace Sablekit
