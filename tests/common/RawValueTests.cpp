#include <gtest/gtest.h>

#include "Sablekit/common/RawValue.h"

namespace Sablekit {
namespace {

enum class Fruit { apple, pear };
}  // namespace

template <>
struct RawValues<Fruit> {
  static constexpr std::array<std::pair<Fruit, std::string_view>, 2> cases{
      {{Fruit::apple, "apple"}, {Fruit::pear, "Pear"}}};
};

namespace {

TEST(RawValue, RoundTripsEveryCaseAndRejectsOtherStrings) {
  for (const Fruit fruit : allCases<Fruit>()) {
    EXPECT_EQ(fromRawValue<Fruit>(rawValue(fruit)), fruit);
  }
  EXPECT_EQ(rawValue(Fruit::pear), "Pear");
  EXPECT_FALSE(fromRawValue<Fruit>("pear").has_value()) << "matching is case-sensitive";
  EXPECT_FALSE(fromRawValue<Fruit>("").has_value());
  EXPECT_FALSE(fromRawValue<Fruit>("apple ").has_value());
}

}  // namespace
}  // namespace Sablekit
