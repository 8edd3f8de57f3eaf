// Attribute tables, the secure-element test and attribute serialisation.
#include "Sablekit/accessibility/AccessibilityAttributeSerialization.h"

#include <algorithm>
#include <type_traits>

#include "Sablekit/accessibility/AccessibilityValueSerializer.h"
#include "Sablekit/accessibility/GraphemeTruncation.h"
#include "Sablekit/accessibility/MaskedPasswordDetection.h"
#include "Sablekit/common/TextRules.h"

namespace Sablekit {
namespace {

std::string_view stringValue(const AccessibilityRawAttributes& attributes, std::string_view name) {
  const AccessibilityValue* value = findRawAttribute(attributes, name);
  const auto* text = value != nullptr ? std::get_if<std::string>(&value->storage) : nullptr;
  return text != nullptr ? std::string_view(*text) : std::string_view();
}

}  // namespace

const std::array<std::vector<std::string>, 3>& attributeBatches() {
  static const std::array<std::vector<std::string>, 3> batches = {{
      {"AXRole", "AXTitle", "AXDescription", "AXValue", "AXPosition", "AXSize", "AXEnabled", "AXHelp",
       "AXRoleDescription", "AXIdentifier", "AXMinimized", "AXHidden"},
      {"AXSubrole", "AXValueDescription", "AXPlaceholderValue", "AXDOMClassList", "AXDOMIdentifier", "AXFocused",
       "AXSelected", "AXMain", "AXModal", "AXDisclosing", "AXURL", "AXSelectedText"},
      {"AXFrontmost",
       "AXMainWindow",
       "AXMinValue",
       "AXMaxValue",
       "AXValueIncrement",
       "AXExpanded",
       "AXSortDirection",
       "AXIndex",
       "AXColumnTitles",
       "AXElementBusy",
       "AXLanguage",
       "AXVisited",
       "AXAccessKey",
       "AXARIABusy",
       "AXARIALive",
       "AXBlockQuoteLevel",
       "AXAutocompleteValue",
       "AXLinkedUIElements",
       "AXTitleUIElement",
       "AXSelectedTextRange",
       "AXVisibleCharacterRange"},
  }};
  return batches;
}

bool isSecure(const AccessibilityRawAttributes& attributes) {
  std::string joined(stringValue(attributes, "AXSubrole"));
  joined += ' ';
  joined += stringValue(attributes, "AXRoleDescription");
  joined += ' ';
  joined += stringValue(attributes, "AXIdentifier");
  // ASCII lowering finds the same markers as full Unicode lowering: no
  // non-ASCII character lowercases into a letter of "secure" or "password".
  const std::string lowered = asciiLowercase(joined);
  return lowered.find("secure") != std::string::npos || lowered.find("password") != std::string::npos;
}

namespace {

// Shared by both overloads; `Attributes` is const for copying, mutable for
// moving string values out.
template <class Attributes>
std::map<std::string, std::string> serializeEach(Attributes& attributes, bool secure) {
  std::map<std::string, std::string> serialized;
  for (auto& [name, value] : attributes) {
    if (secure &&
        std::find(secureFieldAttributes.begin(), secureFieldAttributes.end(), name) != secureFieldAttributes.end()) {
      continue;
    }
    std::optional<std::string> text;
    if constexpr (!std::is_const_v<Attributes>) {
      if (auto* string = std::get_if<std::string>(&value.storage); string != nullptr) {
        text = std::move(*string);  // the common case, without a copy
      }
    }
    if (!text) {
      text = serialize(value);
    }
    if (!text || isMaskedPassword(*text)) {
      continue;
    }
    if (text->size() > maximumSerializedValueCharacters) {
      *text = truncateToGraphemeClusters(*text);
    }
    serialized.insert_or_assign(std::string(name), std::move(*text));
  }
  return serialized;
}

}  // namespace

std::map<std::string, std::string> serializeAttributes(const AccessibilityRawAttributes& attributes, bool secure) {
  return serializeEach(attributes, secure);
}

std::map<std::string, std::string> serializeAttributes(AccessibilityRawAttributes&& attributes, bool secure) {
  return serializeEach(attributes, secure);
}

std::int64_t serializedByteCount(const std::map<std::string, std::string>& attributes) {
  std::int64_t total = 0;
  for (const auto& [name, value] : attributes) {
    total += static_cast<std::int64_t>(name.size() + value.size());
  }
  return total;
}

}  // namespace Sablekit
