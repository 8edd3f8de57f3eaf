// The protocol's JSON rules, in one place, on top of nlohmann/json:
// - encoding: compact, keys in ascending code-point order at every level,
//   '/' never escaped, non-ASCII as UTF-8, absent optionals left out, and a
//   non-finite number makes the whole encoding fail;
// - decoding: strict types everywhere, unknown keys ignored, null counts as
//   absent for optional members, integers must be integral and in range.
#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include <nlohmann/json.hpp>

#include "Sablekit/common/RawValue.h"

namespace Sablekit::JsonCodec {

// std::map-backed objects: keys come out sorted by byte, which for UTF-8 is
// code-point order.
using Value = nlohmann::json;

class EncodingError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class DecodingError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// A JSON number for a double; throws EncodingError if it is not finite.
Value number(double value);
// A JSON number for a 32-bit float, written in the float's own shortest
// round-trip form (0.1f as 0.1); throws EncodingError if it is not finite.
Value number(float value);

template <class E>
Value enumeration(E value) {
  return Value(std::string(rawValue(value)));
}

// Writes `member` under `key` when present; absent members are left out.
template <class T>
void putIfPresent(Value& json, const char* key, const std::optional<T>& member) {
  if (member) {
    if constexpr (std::is_floating_point_v<T>) {
      json[key] = number(*member);
    } else if constexpr (std::is_enum_v<T>) {
      json[key] = enumeration(*member);
    } else {
      json[key] = *member;
    }
  }
}

// Compact text of `value` with the rules above. Strings that are not valid
// UTF-8 have their bad bytes replaced by U+FFFD rather than failing.
std::string serialize(const Value& value);

// Parses one JSON text; throws DecodingError with the parser's description.
Value parse(std::string_view text);

// Reads the members of one JSON object under a path used in error messages.
class ObjectReader {
 public:
  // Throws DecodingError unless `value` is an object.
  ObjectReader(const Value& value, std::string path);

  std::int64_t requiredInt64(std::string_view key) const;
  std::string requiredString(std::string_view key) const;
  bool requiredBool(std::string_view key) const;

  std::optional<std::int64_t> optionalInt64(std::string_view key) const;
  std::optional<bool> optionalBool(std::string_view key) const;
  std::optional<std::string> optionalString(std::string_view key) const;
  std::optional<std::vector<std::string>> optionalStringArray(std::string_view key) const;
  // A string member holding the raw value of a case of E; any other string fails.
  template <class E>
  E requiredEnumeration(std::string_view key) const {
    const std::string text = requiredString(key);
    const auto parsed = fromRawValue<E>(text);
    if (!parsed) {
      throw DecodingError(pathOf(key) + ": unknown value \"" + text + "\"");
    }
    return *parsed;
  }

  // The member when present and not null; it is not checked further.
  const Value* optionalMember(std::string_view key) const;
  std::string pathOf(std::string_view key) const;

 private:
  const Value* member(std::string_view key) const;
  [[noreturn]] void missing(std::string_view key) const;

  const Value& object_;
  std::string path_;
};

}  // namespace Sablekit::JsonCodec
