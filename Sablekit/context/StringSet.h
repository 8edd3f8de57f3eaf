// A hash set of strings that can be queried with string views without
// building a temporary string.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_set>

namespace Sablekit {

struct TransparentStringHash {
  using is_transparent = void;
  std::size_t operator()(std::string_view text) const noexcept { return std::hash<std::string_view>{}(text); }
};

using StringSet = std::unordered_set<std::string, TransparentStringHash, std::equal_to<>>;

}  // namespace Sablekit
