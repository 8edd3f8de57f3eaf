// The one bundle-identifier normalisation of the library: every service that
// compares identifiers runs them through this first.
#pragma once

#include <string>
#include <string_view>

namespace Sablekit {

// Removes leading and trailing Unicode white space and line breaks (general
// category Z, U+0009...U+000D and U+0085), then applies full Unicode
// lowercasing. Input that is not valid UTF-8 has its bad bytes replaced by
// U+FFFD first. The result may be empty.
std::string normalizeBundleID(std::string_view bundleID);

// True for the code points trimmed by normalizeBundleID.
bool isWhitespaceOrNewline(char32_t codePoint);

}  // namespace Sablekit
