#include "Sablekit/accessibility/AccessibilityValueSerializer.h"

#include <array>
#include <charconv>
#include <cmath>
#include <string_view>
#include <type_traits>

namespace Sablekit {
namespace {

std::string shortestDouble(double value) {
  std::array<char, 64> buffer{};
  const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value);
  return std::string(buffer.data(), result.ptr);
}

std::string integerText(std::int64_t value) {
  std::array<char, 24> buffer{};
  const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value);
  return std::string(buffer.data(), result.ptr);
}

std::string joinCoordinates(std::initializer_list<double> values) {
  std::string text;
  for (const double value : values) {
    if (!text.empty()) {
      text += ',';
    }
    text += formatCoordinate(value);
  }
  return text;
}

std::optional<std::string> serializeArray(const AccessibilityArray& array) {
  std::string text;
  std::size_t kept = 0;
  for (const AccessibilityValue& element : array.elements) {
    if (kept == maximumSerializedArrayEntries) {
      break;
    }
    std::optional<std::string> part = serialize(element);
    if (!part) {
      continue;
    }
    if (kept > 0) {
      text += serializedArraySeparator;
    }
    text += *part;
    ++kept;
  }
  return text;
}

}  // namespace

std::string formatCoordinate(double value) {
  std::string text = shortestDouble(value);
  // Only plain integral forms ("100", "-3") lack the fractional digit; leave
  // "1e+16", "inf" and "nan" alone rather than invent a notation.
  if (text.find_first_not_of("-0123456789") == std::string::npos) {
    text += ".0";
  }
  return text;
}

std::optional<std::string> serialize(const AccessibilityValue& value) {
  return std::visit(
      [](const auto& alternative) -> std::optional<std::string> {
        using T = std::decay_t<decltype(alternative)>;
        if constexpr (std::is_same_v<T, std::string>) {
          return alternative;
        } else if constexpr (std::is_same_v<T, bool>) {
          return std::string(alternative ? "1" : "0");
        } else if constexpr (std::is_same_v<T, std::int64_t>) {
          return integerText(alternative);
        } else if constexpr (std::is_same_v<T, double>) {
          // Number objects print without a forced fraction: 100.0 gives "100".
          return shortestDouble(alternative);
        } else if constexpr (std::is_same_v<T, AccessibilityURL>) {
          return alternative.absoluteString;
        } else if constexpr (std::is_same_v<T, AccessibilityPoint>) {
          return joinCoordinates({alternative.x, alternative.y});
        } else if constexpr (std::is_same_v<T, AccessibilitySize>) {
          return joinCoordinates({alternative.width, alternative.height});
        } else if constexpr (std::is_same_v<T, AccessibilityRect>) {
          // Extents are reported as magnitudes, as the platform's width/height getters do.
          return joinCoordinates(
              {alternative.x, alternative.y, std::fabs(alternative.width), std::fabs(alternative.height)});
        } else if constexpr (std::is_same_v<T, AccessibilityRange>) {
          return integerText(alternative.location) + "," + integerText(alternative.length);
        } else if constexpr (std::is_same_v<T, AccessibilityArray>) {
          return serializeArray(alternative);
        } else {
          return std::nullopt;
        }
      },
      value.storage);
}

}  // namespace Sablekit
