#include <gtest/gtest.h>

#include "Sablekit/common/BundleIDNormalization.h"

namespace Sablekit {
namespace {

struct Case {
  const char* name;
  std::string input;
  std::string expected;
};

TEST(BundleIDNormalization, TrimsUnicodeWhitespaceAndLineBreaksThenLowercases) {
  const Case cases[] = {
      {"plain", "com.Apple.Safari", "com.apple.safari"},
      {"ascii spaces and tabs", " \t com.example.App\r\n", "com.example.app"},
      {"no-break space", "\u00A0com.example.app\u00A0", "com.example.app"},
      {"line separator", "\u2028com.example.app\u2029", "com.example.app"},
      {"ideographic space", "\u3000com.example.app\u3000", "com.example.app"},
      {"next line", "\u0085com.example.app", "com.example.app"},
      {"inner space kept", " com.example my app ", "com.example my app"},
      {"non-ASCII capital", "com.example.\u00C9CLAIR", "com.example.\u00E9clair"},
      {"full lowercase mapping", "\u0130", "i\u0307"},
      {"only whitespace", " \u00A0\u2028 ", ""},
      {"empty", "", ""},
      {"zero-width space is not whitespace", "\u200Bcom.x", "\u200Bcom.x"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(normalizeBundleID(c.input), c.expected);
  }
}

TEST(BundleIDNormalization, ReplacesInvalidUtf8InsteadOfFailing) {
  EXPECT_EQ(normalizeBundleID("com.\xFF"
                              "App"),
            "com.\uFFFDapp");
}

}  // namespace
}  // namespace Sablekit
