// Tests for the attribute tables, the secure-element test and the
// serialisation of an element's attributes.
#include <string>

#include <gtest/gtest.h>

#include "Sablekit/accessibility/AccessibilityAttributeSerialization.h"

namespace Sablekit {
namespace {

TEST(AccessibilityAttributeTablesTest, ThreeBatchesOfFortyFiveDistinctNamesInReadingOrder) {
  const auto& batches = attributeBatches();
  EXPECT_EQ(batches[0].size(), 12U);
  EXPECT_EQ(batches[1].size(), 12U);
  EXPECT_EQ(batches[2].size(), 21U);
  EXPECT_EQ(batches[0].front(), "AXRole");
  EXPECT_EQ(batches[1].front(), "AXSubrole");
  EXPECT_EQ(batches[2].back(), "AXVisibleCharacterRange");
  std::set<std::string> names;
  for (const auto& batch : batches) {
    names.insert(batch.begin(), batch.end());
  }
  EXPECT_EQ(names.size(), 45U);
  EXPECT_FALSE(names.contains("AXChildren"));
}

TEST(AccessibilitySecureElementTest, SubroleRoleDescriptionOrIdentifierMarksSecureInAnyCase) {
  struct Case {
    const char* name;
    AccessibilityRawAttributes attributes;
    bool secure;
  };
  const Case cases[] = {
      {"secure subrole", {{"AXSubrole", std::string("AXSecureTextField")}}, true},
      {"role description in capitals", {{"AXRoleDescription", std::string("Password field")}}, true},
      {"identifier", {{"AXIdentifier", std::string("login-PASSWORD-input")}}, true},
      {"plain text field",
       {{"AXSubrole", std::string("AXSearchField")}, {"AXRole", std::string("AXTextField")}},
       false},
      {"marker only in the title", {{"AXTitle", std::string("Password")}}, false},
      {"marker in a value that is not a string", {{"AXSubrole", AccessibilityArray{{std::string("secure")}}}}, false},
      // The parts are joined with spaces, so a marker split across two parts is not found.
      {"marker split across parts",
       {{"AXSubrole", std::string("sec")}, {"AXRoleDescription", std::string("ure")}},
       false},
  };
  for (const auto& testCase : cases) {
    SCOPED_TRACE(testCase.name);
    EXPECT_EQ(isSecure(testCase.attributes), testCase.secure);
  }
}

TEST(AccessibilitySerializeAttributesTest, EachRuleLeavesOutOrKeepsTheAttributeItNames) {
  const std::string bullet = "\u2022";
  std::string sixBullets;
  for (int i = 0; i < 6; ++i) {
    sixBullets += bullet;
  }
  AccessibilityArray classes;
  for (int i = 0; i < 150; ++i) {
    classes.elements.emplace_back("c" + std::to_string(i));
  }
  std::string expectedClasses;
  for (int i = 0; i < 100; ++i) {
    expectedClasses += (i == 0 ? "c" : " | c") + std::to_string(i);
  }
  struct Case {
    const char* name;
    AccessibilityValue value;
    std::optional<std::string> reported;
  };
  const Case cases[] = {
      {"six bullets are masked", sixBullets, std::nullopt},
      {"a single bullet is kept", bullet, bullet},
      {"spaced circles are masked", std::string("\u25CF \u25CF\n\u25CF"), std::nullopt},
      {"text with bullets is kept", std::string("ab\u2022\u2022"), std::string("ab\u2022\u2022")},
      {"true", true, std::string("1")},
      {"a point", AccessibilityPoint{12, 34.5}, std::string("12.0,34.5")},
      {"a range", AccessibilityRange{3, 0}, std::string("3,0")},
      {"150 class names", classes, expectedClasses},
      {"linked elements", AccessibilityArray{{AccessibilityElementReference{}}}, std::string("")},
      {"an element", AccessibilityElementReference{}, std::nullopt},
  };
  for (const auto& testCase : cases) {
    SCOPED_TRACE(testCase.name);
    const auto serialized = serializeAttributes({{"AXDOMClassList", testCase.value}}, false);
    const auto found = serialized.find("AXDOMClassList");
    if (testCase.reported) {
      ASSERT_NE(found, serialized.end());
      EXPECT_EQ(found->second, *testCase.reported);
    } else {
      EXPECT_EQ(found, serialized.end());
    }
  }
}

TEST(AccessibilitySerializeAttributesTest, SecureElementsLoseExactlyTheFourSecureFieldAttributes) {
  const AccessibilityRawAttributes raw = {
      {"AXRole", std::string("AXTextField")},         {"AXSubrole", std::string("AXSecureTextField")},
      {"AXTitle", std::string("Password")},           {"AXValue", std::string("hunter2")},
      {"AXValueDescription", std::string("hunter2")}, {"AXSelectedText", std::string("hun")},
      {"AXPlaceholderValue", std::string("Enter")},   {"AXHelp", std::string("Your password")},
  };
  const auto secure = serializeAttributes(raw, true);
  EXPECT_EQ(secure, (std::map<std::string, std::string>{{"AXRole", "AXTextField"},
                                                        {"AXSubrole", "AXSecureTextField"},
                                                        {"AXTitle", "Password"},
                                                        {"AXHelp", "Your password"}}));
  EXPECT_EQ(serializeAttributes(raw, false).size(), raw.size());
}

TEST(AccessibilitySerializeAttributesTest, LongValuesAreCutAtTwentyThousandCharactersNotBytes) {
  // "é" as e + combining accent: two code points, three bytes, one character.
  std::string accented;
  for (int i = 0; i < 20'001; ++i) {
    accented += "e\u0301";
  }
  const auto serialized = serializeAttributes({{"AXValue", accented}}, false);
  EXPECT_EQ(serialized.at("AXValue").size(), 20'000U * 3);
}

TEST(AccessibilitySerializedByteCountTest, CountsUtf8BytesOfNamesAndValues) {
  EXPECT_EQ(serializedByteCount({}), 0);
  EXPECT_EQ(serializedByteCount({{"AXRole", "AXButton"}, {"AXTitle", "caf\u00e9"}}), 6 + 8 + 7 + 5);
}

}  // namespace
}  // namespace Sablekit
