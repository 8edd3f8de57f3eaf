// Standard Base64 text of bytes, the way the protocol carries images.
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace Sablekit {

// `bytes` in the RFC 4648 alphabet ("A–Z a–z 0–9 + /"), padded with "=" to a
// multiple of four characters, with no line breaks however long the input.
std::string base64Encode(std::span<const std::uint8_t> bytes);

}  // namespace Sablekit
