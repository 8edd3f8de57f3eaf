// SHA-256 through OpenSSL, written as lowercase hexadecimal.
#include "Sablekit/common/Digest.h"

#include <array>
#include <stdexcept>

#include <openssl/evp.h>

namespace Sablekit {

std::string sha256Hex(std::span<const std::uint8_t> bytes) {
  std::array<unsigned char, EVP_MAX_MD_SIZE> digest{};
  unsigned int digestLength = 0;
  if (EVP_Digest(bytes.data(), bytes.size(), digest.data(), &digestLength, EVP_sha256(), nullptr) != 1) {
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

std::string sha256Hex(std::string_view text) {
  return sha256Hex(std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()));
}

}  // namespace Sablekit
