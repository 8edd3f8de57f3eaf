#include "Sablekit/accessibility/GraphemeTruncation.h"

#include <cstdint>
#include <memory>

#include <unicode/brkiter.h>
#include <unicode/locid.h>
#include <unicode/utext.h>

namespace Sablekit {

std::string truncateToGraphemeClusters(std::string_view text, std::size_t maximumCharacters) {
  // Every cluster takes at least one byte, so short text needs no iterator.
  if (text.size() <= maximumCharacters) {
    return std::string(text);
  }
  UErrorCode status = U_ZERO_ERROR;
  // Iterating the UTF-8 bytes directly gives boundaries as byte offsets into `text`.
  UText* utext = utext_openUTF8(nullptr, text.data(), static_cast<int64_t>(text.size()), &status);
  const std::unique_ptr<UText, decltype(&utext_close)> utextOwner(utext, &utext_close);
  std::unique_ptr<icu::BreakIterator> iterator(
      icu::BreakIterator::createCharacterInstance(icu::Locale::getRoot(), status));
  if (U_FAILURE(status) || !iterator) {
    // Without ICU data no cut point can be judged; a code-point-safe cut is not
    // attempted, the text is reported whole rather than broken mid-character.
    return std::string(text);
  }
  iterator->setText(utext, status);
  if (U_FAILURE(status)) {
    return std::string(text);
  }
  std::int32_t boundary = iterator->first();
  for (std::size_t count = 0; count < maximumCharacters; ++count) {
    boundary = iterator->next();
    if (boundary == icu::BreakIterator::DONE) {
      return std::string(text);
    }
  }
  return std::string(text.substr(0, static_cast<std::size_t>(boundary)));
}

}  // namespace Sablekit
