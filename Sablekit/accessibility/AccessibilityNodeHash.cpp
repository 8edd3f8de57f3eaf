#include "Sablekit/accessibility/AccessibilityNodeHash.h"

#include <array>
#include <stdexcept>

#include <openssl/evp.h>

namespace Sablekit {

std::string accessibilityNodeHashString(const AccessibilityNodeHashInput& input) {
  const std::string processID = std::to_string(input.processID);
  std::string text(accessibilityNodeIdentityTag);
  for (const std::string_view part :
       {input.bundleID, std::string_view(processID), input.path, input.role, input.identifier, input.title}) {
    text += '\0';
    text += part;
  }
  return text;
}

std::string accessibilityNodeHash(const AccessibilityNodeHashInput& input) {
  const std::string text = accessibilityNodeHashString(input);
  std::array<unsigned char, EVP_MAX_MD_SIZE> digest{};
  unsigned int digestLength = 0;
  if (EVP_Digest(text.data(), text.size(), digest.data(), &digestLength, EVP_sha256(), nullptr) != 1) {
    // Only an allocation failure inside OpenSSL gets here; there is no hash to report.
    throw std::runtime_error("SHA-256 digest failed");
  }
  static constexpr char hexDigits[] = "0123456789abcdef";
  std::string hex;
  hex.reserve(2 * digestLength);
  for (unsigned int i = 0; i < digestLength; ++i) {
    hex += hexDigits[digest[i] >> 4];
    hex += hexDigits[digest[i] & 0x0F];
  }
  return hex;
}

}  // namespace Sablekit
