// Strict readers for the fields of a scenario section, shared by the
// simulated services that load their own sections: every fault is a
// ScenarioError naming the path of the offending key.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <limits>
#include <optional>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

#include "Sablekit/platform/Geometry.h"
#include "Sablekit/platform/simulated/ScenarioError.h"

namespace Sablekit::ScenarioFields {

using Json = nlohmann::json;

[[noreturn]] inline void fail(const std::string& path, const std::string& problem) {
  throw ScenarioError("scenario " + path + ": " + problem);
}

// `value` must be an object holding only `allowed` keys.
inline void expectObject(const Json& value, const std::string& path, std::initializer_list<std::string_view> allowed) {
  if (!value.is_object()) {
    fail(path, "expected an object");
  }
  for (const auto& [key, member] : value.items()) {
    bool known = false;
    for (const std::string_view name : allowed) {
      known = known || key == name;
    }
    if (!known) {
      fail(path + "." + key, "unknown key");
    }
  }
}

inline void expectArray(const Json& value, const std::string& path) {
  if (!value.is_array()) {
    fail(path, "expected an array");
  }
}

template <class Integer>
Integer integer(const Json& value, const std::string& path) {
  if (!value.is_number_integer()) {
    fail(path, "expected an integer");
  }
  const bool fits = value.is_number_unsigned()
                        ? value.get<std::uint64_t>() <= std::uint64_t(std::numeric_limits<Integer>::max())
                        : (value.get<std::int64_t>() >= std::int64_t(std::numeric_limits<Integer>::min()) &&
                           value.get<std::int64_t>() <= std::int64_t(std::numeric_limits<Integer>::max()));
  if (!fits) {
    fail(path, "integer out of range");
  }
  return static_cast<Integer>(value.get<std::int64_t>());
}

template <class Integer>
std::optional<Integer> integerAt(const Json& object, const std::string& path, const char* key) {
  const auto found = object.find(key);
  if (found == object.end()) {
    return std::nullopt;
  }
  return integer<Integer>(*found, path + "." + key);
}

inline std::optional<double> numberAt(const Json& object, const std::string& path, const char* key) {
  const auto found = object.find(key);
  if (found == object.end()) {
    return std::nullopt;
  }
  if (!found->is_number()) {
    fail(path + "." + key, "expected a number");
  }
  return found->get<double>();
}

inline std::optional<std::string> stringAt(const Json& object, const std::string& path, const char* key) {
  const auto found = object.find(key);
  if (found == object.end()) {
    return std::nullopt;
  }
  if (!found->is_string()) {
    fail(path + "." + key, "expected a string");
  }
  return found->get<std::string>();
}

inline std::optional<bool> boolAt(const Json& object, const std::string& path, const char* key) {
  const auto found = object.find(key);
  if (found == object.end()) {
    return std::nullopt;
  }
  if (!found->is_boolean()) {
    fail(path + "." + key, "expected true or false");
  }
  return found->get<bool>();
}

// {"x", "y", "width", "height"}, all required.
inline Rect rect(const Json& value, const std::string& path) {
  expectObject(value, path, {"x", "y", "width", "height"});
  const auto x = numberAt(value, path, "x");
  const auto y = numberAt(value, path, "y");
  const auto width = numberAt(value, path, "width");
  const auto height = numberAt(value, path, "height");
  if (!x || !y || !width || !height) {
    fail(path, "needs x, y, width and height");
  }
  return {*x, *y, *width, *height};
}

// {"x", "y"}, both required.
inline Point point(const Json& value, const std::string& path) {
  expectObject(value, path, {"x", "y"});
  const auto x = numberAt(value, path, "x");
  const auto y = numberAt(value, path, "y");
  if (!x || !y) {
    fail(path, "needs x and y");
  }
  return {*x, *y};
}

template <class T>
T required(std::optional<T> value, const std::string& path, const char* key) {
  if (!value) {
    fail(path + "." + key, "missing");
  }
  return std::move(*value);
}

}  // namespace Sablekit::ScenarioFields
