#include "Sablekit/common/BundleIDNormalization.h"

#include <unicode/locid.h>
#include <unicode/uchar.h>
#include <unicode/unistr.h>

namespace Sablekit {

bool isWhitespaceOrNewline(char32_t codePoint) {
  if ((codePoint >= 0x09 && codePoint <= 0x0D) || codePoint == 0x85) {
    return true;
  }
  switch (u_charType(static_cast<UChar32>(codePoint))) {
    case U_SPACE_SEPARATOR:
    case U_LINE_SEPARATOR:
    case U_PARAGRAPH_SEPARATOR:
      return true;
    default:
      return false;
  }
}

std::string normalizeBundleID(std::string_view bundleID) {
  const icu::UnicodeString text =
      icu::UnicodeString::fromUTF8(icu::StringPiece(bundleID.data(), static_cast<int32_t>(bundleID.size())));
  int32_t start = 0;
  int32_t end = text.length();
  while (start < end && isWhitespaceOrNewline(static_cast<char32_t>(text.char32At(start)))) {
    start = text.moveIndex32(start, 1);
  }
  while (end > start) {
    const int32_t previous = text.moveIndex32(end, -1);
    if (!isWhitespaceOrNewline(static_cast<char32_t>(text.char32At(previous)))) {
      break;
    }
    end = previous;
  }
  icu::UnicodeString trimmed(text, start, end - start);
  trimmed.toLower(icu::Locale::getRoot());
  std::string result;
  trimmed.toUTF8String(result);
  return result;
}

}  // namespace Sablekit
