#include "Sablekit/context/browser/BrowserElementAttributes.h"

#include "Sablekit/common/BundleIDNormalization.h"
#include "Sablekit/common/TextRules.h"

namespace Sablekit {

std::optional<std::string> BrowserElementAttributes::string(const AccessibilityElement& element,
                                                            const std::string& attribute) const {
  auto value = accessibility_.readAttribute(element, attribute);
  if (!value) {
    return std::nullopt;
  }
  if (auto* text = std::get_if<std::string>(&value->storage)) {
    return std::move(*text);
  }
  return std::nullopt;
}

std::optional<AccessibilityElement> BrowserElementAttributes::element(const AccessibilityElement& element,
                                                                      const std::string& attribute) const {
  const auto value = accessibility_.readAttribute(element, attribute);
  if (!value) {
    return std::nullopt;
  }
  const auto* reference = std::get_if<AccessibilityElementReference>(&value->storage);
  if (reference == nullptr || reference->element.isNull()) {
    return std::nullopt;
  }
  return reference->element;
}

std::vector<AccessibilityElement> BrowserElementAttributes::children(const AccessibilityElement& element) const {
  const auto value = accessibility_.readAttribute(element, "AXChildren");
  if (!value) {
    return {};
  }
  const auto* array = std::get_if<AccessibilityArray>(&value->storage);
  if (array == nullptr) {
    return {};
  }
  std::vector<AccessibilityElement> result;
  result.reserve(array->elements.size());
  for (const auto& entry : array->elements) {
    const auto* reference = std::get_if<AccessibilityElementReference>(&entry.storage);
    if (reference == nullptr || reference->element.isNull()) {
      return {};  // not an array of elements
    }
    result.push_back(reference->element);
  }
  return result;
}

std::optional<std::string> BrowserElementAttributes::url(const AccessibilityElement& element) const {
  const auto value = accessibility_.readAttribute(element, "AXURL");
  if (!value) {
    return std::nullopt;
  }
  if (const auto* text = std::get_if<std::string>(&value->storage)) {
    std::string trimmed(trimWhitespaceAndNewlines(*text));
    if (trimmed.empty()) {
      return std::nullopt;
    }
    return trimmed;
  }
  if (const auto* link = std::get_if<AccessibilityURL>(&value->storage)) {
    return link->absoluteString;
  }
  return std::nullopt;
}

}  // namespace Sablekit
