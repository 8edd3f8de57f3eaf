// The attributes read from one accessibility element, as the platform handed
// them out, before anything is turned into text.
#pragma once

#include <string_view>
#include <vector>

#include "Sablekit/platform/AccessibilityValue.h"

namespace Sablekit {

struct AccessibilityRawAttribute {
  // Refers to storage that outlives the attributes: the walk's attribute
  // tables, or a string literal.
  std::string_view name;
  AccessibilityValue value;
};

// Each name at most once, in the order read. Attributes the element does not
// support, or that failed, are not present. Kept as a list rather than a map
// because the walk builds one per element and looks up only three names.
using AccessibilityRawAttributes = std::vector<AccessibilityRawAttribute>;

// The value stored under `name`; null when absent.
inline const AccessibilityValue* findRawAttribute(const AccessibilityRawAttributes& attributes, std::string_view name) {
  for (const auto& attribute : attributes) {
    if (attribute.name == name) {
      return &attribute.value;
    }
  }
  return nullptr;
}

}  // namespace Sablekit
