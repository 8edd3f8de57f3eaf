// Recognises password text that an application shows masked (e.g. "••••••"),
// so that it is never reported even from elements not marked secure.
#pragma once

#include <string_view>

namespace Sablekit {

// True when, after every Unicode white space and line-break character is
// removed, at least 2 characters remain and all of them are mask characters:
// U+2022 •, U+25CF ●, U+002A *, U+00B7 ·, U+25AA ▪. Invalid UTF-8 is never masked.
bool isMaskedPassword(std::string_view text);

}  // namespace Sablekit
