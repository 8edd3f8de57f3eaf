#include <string>

#include <gtest/gtest.h>

#include "Sablekit/accessibility/MaskedPasswordDetection.h"

namespace Sablekit {
namespace {

TEST(MaskedPasswordDetection, MasksOnlyTextMadeOfAtLeastTwoMaskCharacters) {
  const struct {
    const char* name;
    std::string text;
    bool masked;
  } cases[] = {
      {"six bullets", "\u2022\u2022\u2022\u2022\u2022\u2022", true},
      {"single bullet", "\u2022", false},
      {"single bullet among spaces", "  \u2022 \n", false},
      {"three circles separated by spaces", "\u25CF \u25CF \u25CF", true},
      {"asterisks", "**", true},
      {"middle dots", "\u00B7\u00B7\u00B7", true},
      {"small squares", "\u25AA\u25AA", true},
      {"all five mixed", "\u2022\u25CF*\u00B7\u25AA", true},
      {"letters before bullets", "ab\u2022\u2022", false},
      {"bullets with line breaks and tabs", "\u2022\r\n\u2022\t\u2022", true},
      {"Unicode spaces removed", "\u2022\u00A0\u2022\u2003\u2022\u3000\u2028\u0085", true},
      {"zero-width space is not white space", "\u2022\u200B\u2022", false},
      {"bullet with a combining mark", "\u2022\u0301\u2022", false},
      {"other bullet-like character", "\u25E6\u25E6", false},
      {"empty", "", false},
      {"only white space", " \n\t", false},
      {"invalid UTF-8 among bullets", "\u2022\xFF\u2022", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(isMaskedPassword(c.text), c.masked);
  }
}

}  // namespace
}  // namespace Sablekit
