// A platform-neutral picture of one raw accessibility attribute value. The
// platform's accessibility client (or a recorded tree in tests) produces these;
// serialisation turns them into the strings reported to the parent. Only the
// distinctions that serialisation needs are kept.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <variant>
#include <vector>

#include "Sablekit/platform/AccessibilityElement.h"

namespace Sablekit {

// A URL object; only its absolute string is ever reported.
struct AccessibilityURL {
  std::string absoluteString;
};

struct AccessibilityPoint {
  double x = 0;
  double y = 0;
};

struct AccessibilitySize {
  double width = 0;
  double height = 0;
};

// Width and height may be negative, as the platform allows.
struct AccessibilityRect {
  double x = 0;
  double y = 0;
  double width = 0;
  double height = 0;
};

struct AccessibilityRange {
  std::int64_t location = 0;
  std::int64_t length = 0;
};

// Another accessibility element (e.g. the value of "AXFocusedWindow" or an
// entry of "AXChildren"). Serialisation never reports elements as text; the
// handle is there for readers that follow it. A default-built reference holds
// a null handle.
struct AccessibilityElementReference {
  AccessibilityElement element;
};

// The platform's null object, or a geometry value of the error type.
struct AccessibilityNull {};
struct AccessibilityError {};

// Anything else the platform may hand back: dictionaries, dates, geometry
// values of types that are not reported.
struct AccessibilityUnsupportedValue {};

struct AccessibilityValue;

struct AccessibilityArray {
  std::vector<AccessibilityValue> elements;
};

struct AccessibilityValue {
  // bool is kept apart from numbers because the platform's booleans are
  // reported as "1"/"0"; integers apart from doubles so they print exactly.
  using Storage = std::variant<AccessibilityNull,
                               AccessibilityError,
                               std::string,
                               bool,
                               std::int64_t,
                               double,
                               AccessibilityURL,
                               AccessibilityPoint,
                               AccessibilitySize,
                               AccessibilityRect,
                               AccessibilityRange,
                               AccessibilityArray,
                               AccessibilityElementReference,
                               AccessibilityUnsupportedValue>;

  Storage storage;

  AccessibilityValue() = default;
  // Implicit on purpose: a literal of any alternative reads as that value.
  template <class T>
  requires std::is_constructible_v<Storage, T&&> &&(!std::is_same_v<std::remove_cvref_t<T>, AccessibilityValue>)
      AccessibilityValue(T&& value)  // NOLINT(google-explicit-constructor)
      : storage(std::forward<T>(value)) {}
};

}  // namespace Sablekit
