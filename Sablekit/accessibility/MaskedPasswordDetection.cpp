#include "Sablekit/accessibility/MaskedPasswordDetection.h"

#include <cstdint>

#include <unicode/utf8.h>

#include "Sablekit/common/BundleIDNormalization.h"

namespace Sablekit {
namespace {

bool isMaskCharacter(UChar32 codePoint) {
  return codePoint == 0x2022 || codePoint == 0x25CF || codePoint == 0x002A || codePoint == 0x00B7 ||
         codePoint == 0x25AA;
}

}  // namespace

bool isMaskedPassword(std::string_view text) {
  // Every mask character is a single code point, so a remaining character
  // made of several code points (a mask character with a combining mark)
  // contains a non-mask code point and fails the test either way; counting
  // code points is therefore enough.
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(text.data());
  const auto length = static_cast<std::int32_t>(text.size());
  std::int32_t offset = 0;
  int remaining = 0;
  while (offset < length) {
    UChar32 codePoint = 0;
    U8_NEXT(bytes, offset, length, codePoint);
    if (codePoint < 0) {
      return false;
    }
    if (isWhitespaceOrNewline(static_cast<char32_t>(codePoint))) {
      continue;
    }
    if (!isMaskCharacter(codePoint)) {
      return false;
    }
    ++remaining;
  }
  return remaining >= 2;
}

}  // namespace Sablekit
