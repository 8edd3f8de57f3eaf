// Accessibility on a desktop without an accessibility client backend: every
// element is a null handle whose reads fail, as they do for an untrusted
// process, and nothing is ever set.
#pragma once

#include "Sablekit/platform/AccessibilityClient.h"
#include "Sablekit/platform/AccessibilityPrompt.h"

namespace Sablekit {

class UnavailableAccessibility final : public AccessibilityClient, public AccessibilityPrompt {
 public:
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
};

}  // namespace Sablekit
