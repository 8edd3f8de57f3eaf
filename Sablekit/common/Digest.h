// SHA-256 digests written the way the protocol carries them.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace Sablekit {

// The SHA-256 digest of `bytes` as 64 lowercase hexadecimal digits, each
// byte as two digits, no separators. Throws std::runtime_error only when the
// digest cannot be computed at all (an allocation failure inside OpenSSL).
std::string sha256Hex(std::span<const std::uint8_t> bytes);
// The same for the bytes of a text (UTF-8 as given, no terminator).
std::string sha256Hex(std::string_view text);

}  // namespace Sablekit
