// The content hash that identifies one node of an accessibility snapshot
// across walks: it changes when the node moves or its role, identifier or
// title change, and stays the same otherwise.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace Sablekit {

// Starts every hashed string, so hashes of another scheme or version never collide.
inline constexpr std::string_view accessibilityNodeIdentityTag = "TallyglassAXV1";

struct AccessibilityNodeHashInput {
  std::string_view bundleID;  // as the caller passed it, not normalised
  std::int32_t processID = 0;
  std::string_view path;
  // Serialized values after secure filtering, masking and truncation; empty when absent.
  std::string_view role;
  std::string_view identifier;
  std::string_view title;
};

// The tag, bundle identifier, decimal process identifier, path, role,
// identifier and title joined by U+0000.
std::string accessibilityNodeHashString(const AccessibilityNodeHashInput& input);

// SHA-256 of accessibilityNodeHashString's UTF-8 bytes, as 64 lowercase hex digits.
std::string accessibilityNodeHash(const AccessibilityNodeHashInput& input);

}  // namespace Sablekit
