// The few typed reads that browser readers make of accessibility elements.
// Every failed call, missing value or value of another type reads as absent.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "Sablekit/common/TextRules.h"
#include "Sablekit/platform/AccessibilityClient.h"

namespace Sablekit {

class BrowserElementAttributes {
 public:
  // `accessibility` must outlive this object. Calls block for up to the
  // messaging timeout in force for the element.
  explicit BrowserElementAttributes(AccessibilityClient& accessibility) : accessibility_(accessibility) {}

  // The attribute's value when it is a string.
  std::optional<std::string> string(const AccessibilityElement& element, const std::string& attribute) const;
  // The attribute's value when it is an element.
  std::optional<AccessibilityElement> element(const AccessibilityElement& element, const std::string& attribute) const;
  // "AXChildren" when it is an array made only of elements; empty otherwise.
  std::vector<AccessibilityElement> children(const AccessibilityElement& element) const;
  // "AXRole" when it is a string.
  std::optional<std::string> role(const AccessibilityElement& element) const { return string(element, "AXRole"); }
  // The page address in "AXURL": a trimmed non-empty string, or a URL's absolute string.
  std::optional<std::string> url(const AccessibilityElement& element) const;

  AccessibilityClient& client() const { return accessibility_; }

 private:
  AccessibilityClient& accessibility_;
};

}  // namespace Sablekit
