#include <regex>
#include <set>

#include <gtest/gtest.h>

#include "Sablekit/common/UUID.h"

namespace Sablekit {
namespace {

TEST(UUID, GeneratedValuesAreDistinctRandomVersionFourInCanonicalForm) {
  const std::regex canonical("[0-9a-f]{8}-[0-9a-f]{4}-4[0-9a-f]{3}-[89ab][0-9a-f]{3}-[0-9a-f]{12}");
  std::set<std::string> seen;
  for (int i = 0; i < 100; ++i) {
    const std::string text = UUID::generate().toString();
    EXPECT_TRUE(std::regex_match(text, canonical)) << text;
    EXPECT_TRUE(seen.insert(text).second) << "repeated " << text;
  }
}

TEST(UUID, ComparesByValue) {
  const UUID first = UUID::generate();
  const UUID copy = first;
  const UUID other = UUID::generate();
  EXPECT_EQ(copy, first);
  EXPECT_EQ(copy.toString(), first.toString());
  EXPECT_NE(other, first);
  EXPECT_NE(first < other, other < first) << "distinct values are ordered one way";
  EXPECT_EQ(UUID().toString(), "00000000-0000-0000-0000-000000000000");
  EXPECT_NE(UUID(), first);
}

}  // namespace
}  // namespace Sablekit
