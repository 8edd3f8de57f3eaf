// Accessibility on a desktop without an accessibility client backend: every
// element is a null handle whose reads fail, as they do for an untrusted
// process, nothing is ever set or observed, there is no prompt to show, and
// the process is never trusted.
#pragma once

#include "Sablekit/platform/AccessibilityBackend.h"
#include "Sablekit/platform/linux/UnavailableAccessibilityObservers.h"

namespace Sablekit {

class UnavailableAccessibility final : public AccessibilityBackend,
                                       private AccessibilityClient,
                                       private AccessibilityPrompt {
 public:
  AccessibilityClient& client() override { return *this; }
  AccessibilityObservers& observers() override { return observers_; }
  AccessibilityPrompt& prompt() override { return *this; }
  bool trusted() override { return false; }
  // Never trusted is a fixed answer, not a grant the platform reported.
  bool trustKnown() const override { return false; }

 private:
  // AccessibilityClient: any thread, never blocks.
  AccessibilityElement applicationElement(std::int32_t) override { return {}; }
  std::optional<std::vector<AccessibilityValue>> readAttributes(const AccessibilityElement&,
                                                                std::span<const std::string>) override {
    return std::nullopt;
  }
  std::optional<AccessibilityValue> readAttribute(const AccessibilityElement&, const std::string&) override {
    return std::nullopt;
  }
  bool setAttribute(const AccessibilityElement&, const std::string&, const AccessibilityValue&) override {
    return false;
  }
  void setMessagingTimeout(const AccessibilityElement&, double) override {}

  // AccessibilityPrompt: there is no permission dialog to show.
  void promptIfNotTrusted() override {}

  UnavailableAccessibilityObservers observers_;
};

}  // namespace Sablekit
