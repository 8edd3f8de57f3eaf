// Small text rules shared across the library, so each exists once.
#pragma once

#include <string>
#include <string_view>

namespace Sablekit {

// `text` without leading and trailing Unicode white space and line breaks (the
// set of isWhitespaceOrNewline). Bytes that are not UTF-8 count as text and
// stop the trimming.
std::string_view trimWhitespaceAndNewlines(std::string_view text);

// `text` with A–Z lowered and every other byte unchanged: for comparing
// against ASCII-only markers, modes and identifiers.
std::string asciiLowercase(std::string_view text);

}  // namespace Sablekit
