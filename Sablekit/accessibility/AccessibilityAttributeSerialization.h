// Which attributes of an element are read and reported, and how the raw
// values become the strings that travel to the parent: secure fields left
// out, masked password text dropped, long values cut.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "Sablekit/accessibility/AccessibilityRawAttributes.h"

namespace Sablekit {

// The 45 attributes asked of every element, as three batched reads, always in
// this order (12, 12 and 21 names). The strings live for the whole program.
const std::array<std::vector<std::string>, 3>& attributeBatches();

// Never reported for an element judged secure.
inline constexpr std::array<std::string_view, 4> secureFieldAttributes = {"AXValue", "AXValueDescription",
                                                                          "AXSelectedText", "AXPlaceholderValue"};

// The attributes whose text makes up the searchable text, in this order.
inline constexpr std::array<std::string_view, 6> searchableAttributes = {
    "AXTitle", "AXDescription", "AXValue", "AXHelp", "AXPlaceholderValue", "AXSelectedText"};

// Secure when "AXSubrole", "AXRoleDescription" and "AXIdentifier" (a missing
// or non-string value counting as empty), joined by spaces and lowercased,
// contain "secure" or "password".
bool isSecure(const AccessibilityRawAttributes& attributes);

// Name to reported text: secure-field attributes of a secure element are
// skipped, so are values without a textual form and masked password text
// (whatever the element); the rest are cut at 20,000 user-perceived characters.
std::map<std::string, std::string> serializeAttributes(const AccessibilityRawAttributes& attributes, bool secure);
// The same, taking the strings out of `attributes` instead of copying them.
std::map<std::string, std::string> serializeAttributes(AccessibilityRawAttributes&& attributes, bool secure);

// UTF-8 bytes of every name plus every value: what the walk's byte budget counts.
std::int64_t serializedByteCount(const std::map<std::string, std::string>& attributes);

}  // namespace Sablekit
