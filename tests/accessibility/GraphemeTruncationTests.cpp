#include <string>

#include <gtest/gtest.h>

#include "Sablekit/accessibility/GraphemeTruncation.h"

namespace Sablekit {
namespace {

std::string repeated(const std::string& unit, std::size_t count) {
  std::string text;
  for (std::size_t i = 0; i < count; ++i) {
    text += unit;
  }
  return text;
}

TEST(GraphemeTruncation, CutsAtUserPerceivedCharactersNotCodePointsOrBytes) {
  const std::string family = "\U0001F468\u200D\U0001F469\u200D\U0001F467";  // one cluster, five code points
  const std::string flag = "\U0001F1EB\U0001F1F7";                          // regional-indicator pair
  const struct {
    const char* name;
    std::string text;
    std::size_t limit;
    std::string expected;
  } cases[] = {
      {"ASCII", "abcdef", 3, "abc"},
      {"combining accents stay with their letter", "e\u0301e\u0301e\u0301", 2, "e\u0301e\u0301"},
      {"emoji ZWJ sequence is one character", family + family + "x", 2, family + family},
      {"flag pair is one character", flag + flag + flag, 1, flag},
      {"CR LF is one character", "a\r\nb", 2, "a\r\n"},
      {"Hangul jamo syllable", "\u1100\u1161\u11A8z", 1, "\u1100\u1161\u11A8"},
      {"exactly the limit is unchanged", "e\u0301x", 2, "e\u0301x"},
      {"shorter is unchanged", "ab", 5, "ab"},
      {"empty", "", 3, ""},
      {"zero limit", "abc", 0, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(truncateToGraphemeClusters(c.text, c.limit), c.expected);
  }
}

TEST(GraphemeTruncation, DefaultLimitKeepsTwentyThousandCharacters) {
  const std::string accented = "e\u0301";  // 3 bytes, 2 code points, 1 character
  ASSERT_EQ(maximumSerializedValueCharacters, 20'000u);
  EXPECT_EQ(truncateToGraphemeClusters(repeated(accented, 20'500)), repeated(accented, 20'000));
  EXPECT_EQ(truncateToGraphemeClusters(repeated(accented, 20'000)), repeated(accented, 20'000));
  EXPECT_EQ(truncateToGraphemeClusters(repeated("a", 20'001)), repeated("a", 20'000));
}

TEST(GraphemeTruncation, KeepsInvalidBytesOfTheKeptPrefixAsGiven) {
  EXPECT_EQ(truncateToGraphemeClusters("a\xFF"
                                       "bc",
                                       3),
            "a\xFF"
            "b");
}

}  // namespace
}  // namespace Sablekit
