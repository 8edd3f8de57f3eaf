// Cuts text at a number of user-perceived characters (extended grapheme
// clusters), so a cut never splits an accented letter, an emoji sequence or
// a CR LF pair.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace Sablekit {

// The longest single attribute value reported, in user-perceived characters.
inline constexpr std::size_t maximumSerializedValueCharacters = 20'000;

// The first `maximumCharacters` grapheme clusters of UTF-8 `text`; `text`
// unchanged when it has no more than that. Bytes are copied as given.
std::string truncateToGraphemeClusters(std::string_view text,
                                       std::size_t maximumCharacters = maximumSerializedValueCharacters);

}  // namespace Sablekit
