#include "Sablekit/common/TextRules.h"

#include <cstdint>

#include <unicode/utf8.h>

#include "Sablekit/common/BundleIDNormalization.h"

namespace Sablekit {

// ICU's UTF-8 stepping macros expand to C casts.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wold-style-cast"
std::string_view trimWhitespaceAndNewlines(std::string_view text) {
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(text.data());
  const auto length = static_cast<std::int32_t>(text.size());
  std::int32_t begin = 0;
  while (begin < length) {
    std::int32_t next = begin;
    UChar32 codePoint = 0;
    U8_NEXT(bytes, next, length, codePoint);
    if (codePoint < 0 || !isWhitespaceOrNewline(static_cast<char32_t>(codePoint))) {
      break;
    }
    begin = next;
  }
  std::int32_t end = length;
  while (end > begin) {
    std::int32_t previous = end;
    UChar32 codePoint = 0;
    U8_PREV(bytes, begin, previous, codePoint);
    if (codePoint < 0 || !isWhitespaceOrNewline(static_cast<char32_t>(codePoint))) {
      break;
    }
    end = previous;
  }
  return text.substr(static_cast<std::size_t>(begin), static_cast<std::size_t>(end - begin));
}
#pragma GCC diagnostic pop

std::string asciiLowercase(std::string_view text) {
  std::string result(text);
  for (char& c : result) {
    if (c >= 'A' && c <= 'Z') {
      c = static_cast<char>(c - 'A' + 'a');
    }
  }
  return result;
}

}  // namespace Sablekit
