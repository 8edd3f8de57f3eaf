#include <cmath>
#include <limits>
#include <string>

#include <gtest/gtest.h>

#include "Sablekit/accessibility/AccessibilityValueSerializer.h"

namespace Sablekit {
namespace {

struct Case {
  const char* name;
  AccessibilityValue value;
  std::optional<std::string> expected;
};

TEST(AccessibilityValueSerializer, SerializesEachScalarKind) {
  const Case cases[] = {
      {"string unchanged", std::string("Save \u00E9 \n"), "Save \u00E9 \n"},
      {"empty string", std::string(), ""},
      {"true", true, "1"},
      {"false", false, "0"},
      {"integer", std::int64_t{-42}, "-42"},
      {"large integer exact", std::int64_t{9007199254740993}, "9007199254740993"},
      {"double with fraction", 12.5, "12.5"},
      {"integral double as a number object", 100.0, "100"},
      {"double shortest form", 0.1, "0.1"},
      {"URL absolute string", AccessibilityURL{"https://example.com/a?b=c"}, "https://example.com/a?b=c"},
      {"point", AccessibilityPoint{12, 34.5}, "12.0,34.5"},
      {"point from the examples", AccessibilityPoint{100, 200.5}, "100.0,200.5"},
      {"point shortest round trip", AccessibilityPoint{0.1, 1.0 / 3.0}, "0.1,0.3333333333333333"},
      {"negative point", AccessibilityPoint{-3, -0.5}, "-3.0,-0.5"},
      {"size", AccessibilitySize{800, 600.25}, "800.0,600.25"},
      {"rect", AccessibilityRect{1, 2.5, 30, 40}, "1.0,2.5,30.0,40.0"},
      {"rect with negative extent reports magnitudes", AccessibilityRect{-10, 20, -30, -40.5}, "-10.0,20.0,30.0,40.5"},
      {"range", AccessibilityRange{3, 0}, "3,0"},
      {"large range", AccessibilityRange{1234567890123, 7}, "1234567890123,7"},
      {"element", AccessibilityElementReference{}, std::nullopt},
      {"null", AccessibilityNull{}, std::nullopt},
      {"error", AccessibilityError{}, std::nullopt},
      {"unsupported (dictionary, date)", AccessibilityUnsupportedValue{}, std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(serialize(c.value), c.expected);
  }
}

TEST(AccessibilityValueSerializer, CoordinatesKeepTheLibraryFormForUnusualDoubles) {
  const struct {
    double value;
    const char* expected;
  } cases[] = {
      {0.0, "0.0"},       {-0.0, "-0.0"}, {1e16, "1e+16"}, {std::numeric_limits<double>::infinity(), "inf"},
      {5e-324, "5e-324"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.expected);
    EXPECT_EQ(formatCoordinate(c.value), c.expected);
  }
  // Whatever the form, it must read back as the same double.
  for (const double value : {1.0 / 3.0, 123456.789, 1e-7, 2.5e300}) {
    EXPECT_EQ(std::stod(formatCoordinate(value)), value);
  }
}

AccessibilityArray strings(int count, const std::string& prefix) {
  AccessibilityArray array;
  for (int i = 0; i < count; ++i) {
    array.elements.emplace_back(prefix + std::to_string(i));
  }
  return array;
}

std::string joined(int from, int to, const std::string& prefix) {
  std::string text;
  for (int i = from; i < to; ++i) {
    text += (i > from ? " | " : "") + prefix + std::to_string(i);
  }
  return text;
}

TEST(AccessibilityValueSerializer, ArraysJoinTheFirstHundredSerializableEntries) {
  AccessibilityArray elementsThenStrings;
  for (int i = 0; i < 50; ++i) {
    elementsThenStrings.elements.emplace_back(AccessibilityElementReference{});
  }
  for (AccessibilityValue& value : strings(150, "c").elements) {
    elementsThenStrings.elements.push_back(std::move(value));
  }
  AccessibilityArray nested;
  nested.elements = {std::string("a"), AccessibilityArray{{std::int64_t{1}, true}}, AccessibilityPoint{1, 2}};

  const Case cases[] = {
      {"150 class names keep the first 100", strings(150, "class"), joined(0, 100, "class")},
      {"exactly 100 kept whole", strings(100, "x"), joined(0, 100, "x")},
      {"cap counts kept strings, not entries", elementsThenStrings, joined(0, 100, "c")},
      {"only elements give the empty string",
       AccessibilityArray{{AccessibilityElementReference{}, AccessibilityElementReference{}}}, ""},
      {"empty array", AccessibilityArray{}, ""},
      {"empty strings are kept", AccessibilityArray{{std::string(), std::string("b")}}, " | b"},
      {"nested arrays and mixed kinds", nested, "a | 1 | 1 | 1.0,2.0"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(serialize(c.value), c.expected);
  }
}

}  // namespace
}  // namespace Sablekit
