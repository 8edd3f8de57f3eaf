#include <set>
#include <string>
#include <string_view>

#include <gtest/gtest.h>

#include "Sablekit/common/UUID.h"

namespace Sablekit {
namespace {

TEST(UUID, GeneratedValuesAreDistinctRandomVersionFourInCanonicalForm) {
  // 8-4-4-4-12 lowercase hex, version nibble 4, variant bits 10.
  const auto isCanonicalVersionFour = [](const std::string& text) {
    if (text.size() != 36 || text[14] != '4' || std::string_view("89ab").find(text[19]) == std::string_view::npos) {
      return false;
    }
    for (std::size_t i = 0; i < text.size(); ++i) {
      const bool dash = i == 8 || i == 13 || i == 18 || i == 23;
      const char c = text[i];
      if (dash ? c != '-' : !((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) {
        return false;
      }
    }
    return true;
  };
  std::set<std::string> seen;
  for (int i = 0; i < 100; ++i) {
    const std::string text = UUID::generate().toString();
    EXPECT_TRUE(isCanonicalVersionFour(text)) << text;
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
