// Base64 through OpenSSL's block encoder, which never inserts line breaks
// (unlike its BIO and EVP_EncodeUpdate streams, which break every 64 characters).
#include "Sablekit/common/Base64.h"

#include <algorithm>
#include <cstddef>

#include <openssl/evp.h>

namespace Sablekit {

namespace {
// EVP_EncodeBlock counts in int; whole groups of three bytes per call keep
// every chunk but the last free of padding.
constexpr std::size_t chunkBytes = 3 * (1u << 20);
}  // namespace

std::string base64Encode(std::span<const std::uint8_t> bytes) {
  // One spare character for the terminator EVP_EncodeBlock writes after each chunk.
  std::string text(4 * ((bytes.size() + 2) / 3) + 1, '\0');
  std::size_t written = 0;
  for (std::size_t offset = 0; offset < bytes.size(); offset += chunkBytes) {
    const std::size_t length = std::min(chunkBytes, bytes.size() - offset);
    written += static_cast<std::size_t>(EVP_EncodeBlock(reinterpret_cast<unsigned char*>(text.data() + written),
                                                        bytes.data() + offset, static_cast<int>(length)));
  }
  text.resize(written);
  return text;
}

}  // namespace Sablekit
