#include <string>

#include <gtest/gtest.h>

#include "Sablekit/accessibility/AccessibilityNodeHash.h"

namespace Sablekit {
namespace {

using namespace std::string_literals;

AccessibilityNodeHashInput saveButton() {
  return {"com.example.App", 123, "0.3.1", "AXButton", "ok-button", "Sa\u0308ve"};
}

TEST(AccessibilityNodeHash, HashedStringIsTheTaggedPartsJoinedByNul) {
  EXPECT_EQ(accessibilityNodeHashString(saveButton()),
            "TallyglassAXV1\0com.example.App\0"
            "123\0"
            "0.3.1\0AXButton\0ok-button\0Sa\u0308ve"s);
  EXPECT_EQ(accessibilityNodeHashString({"", -1, "0", "", "", ""}),
            "TallyglassAXV1\0\0-1\0"
            "0\0\0\0"s);
}

TEST(AccessibilityNodeHash, IsLowercaseHexSha256OfTheTaggedString) {
  // Digests computed independently over the same bytes.
  const struct {
    const char* name;
    AccessibilityNodeHashInput input;
    const char* expected;
  } cases[] = {
      {"button", saveButton(), "13b320405eef56c78b8a1a126de040fa4ab33116070627cf13f0ec1b2d2bfe62"},
      {"all empty, negative process",
       {"", -1, "0", "", "", ""},
       "bfeb0827994d8ae8c03318c18e49f01047f698b67759ba6c2fe535afb239ec0f"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(accessibilityNodeHash(c.input), c.expected);
  }
}

TEST(AccessibilityNodeHash, EveryPartChangesTheHashAndBundleIDIsNotNormalised) {
  const std::string base = accessibilityNodeHash(saveButton());
  EXPECT_EQ(accessibilityNodeHash(saveButton()), base);
  const struct {
    const char* name;
    void (*change)(AccessibilityNodeHashInput&);
  } cases[] = {
      {"bundle ID case", [](AccessibilityNodeHashInput& in) { in.bundleID = "com.example.app"; }},
      {"process", [](AccessibilityNodeHashInput& in) { in.processID = 124; }},
      {"path", [](AccessibilityNodeHashInput& in) { in.path = "0.3.2"; }},
      {"role", [](AccessibilityNodeHashInput& in) { in.role = "AXLink"; }},
      {"identifier", [](AccessibilityNodeHashInput& in) { in.identifier = ""; }},
      {"title", [](AccessibilityNodeHashInput& in) { in.title = "Save As"; }},
      // Separators keep parts apart: moving text across a boundary is a different node.
      {"role/identifier boundary",
       [](AccessibilityNodeHashInput& in) {
         in.role = "AXButtonok";
         in.identifier = "-button";
       }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    AccessibilityNodeHashInput changed = saveButton();
    c.change(changed);
    EXPECT_NE(accessibilityNodeHash(changed), base);
  }
}

}  // namespace
}  // namespace Sablekit
