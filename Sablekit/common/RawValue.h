// Wire enumerations: each enumeration that travels as a string declares its
// cases once, in declaration order, by specialising RawValues. The helpers
// below turn a case into its string and a string back into a case.
#pragma once

#include <array>
#include <optional>
#include <string_view>
#include <utility>

namespace Sablekit {

// Specialise with `static constexpr std::array<std::pair<E, std::string_view>, N> cases`.
template <class E>
struct RawValues;

// The string of a case; cases come only from the specialisation, so this never fails.
template <class E>
constexpr std::string_view rawValue(E value) {
  for (const auto& [candidate, name] : RawValues<E>::cases) {
    if (candidate == value) {
      return name;
    }
  }
  return {};
}

// The case whose string equals `text` exactly (case-sensitive); absent for any other string.
template <class E>
constexpr std::optional<E> fromRawValue(std::string_view text) {
  for (const auto& [candidate, name] : RawValues<E>::cases) {
    if (name == text) {
      return candidate;
    }
  }
  return std::nullopt;
}

// Every case, in declaration order.
template <class E>
constexpr auto allCases() {
  std::array<E, RawValues<E>::cases.size()> result{};
  for (std::size_t i = 0; i < result.size(); ++i) {
    result[i] = RawValues<E>::cases[i].first;
  }
  return result;
}

}  // namespace Sablekit
