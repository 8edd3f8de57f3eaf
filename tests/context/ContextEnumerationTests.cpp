#include <string_view>
#include <vector>

#include <gtest/gtest.h>

#include "Sablekit/context/ApplicationAdditionalField.h"
#include "Sablekit/context/ApplicationContextEnricher.h"
#include "Sablekit/context/ApplicationExclusionGroup.h"
#include "Sablekit/context/BrowserPrivacySupport.h"

namespace Sablekit {
namespace {

// Every case, in declaration order, must carry exactly the expected raw value
// and come back from it; nothing else may decode.
template <class E>
void expectRawValues(const std::vector<std::string_view>& expected) {
  const auto cases = allCases<E>();
  ASSERT_EQ(cases.size(), expected.size());
  for (std::size_t i = 0; i < cases.size(); ++i) {
    SCOPED_TRACE(expected[i]);
    EXPECT_EQ(static_cast<std::size_t>(cases[i]), i) << "declaration order";
    EXPECT_EQ(rawValue(cases[i]), expected[i]);
    EXPECT_EQ(fromRawValue<E>(expected[i]), cases[i]);
  }
}

TEST(ContextEnumerations, RawValuesAreTheCaseNamesInDeclarationOrder) {
  {
    SCOPED_TRACE("ApplicationContextEnricher");
    expectRawValues<ApplicationContextEnricher>({"none", "browser", "finder"});
  }
  {
    SCOPED_TRACE("BrowserPrivacySupport");
    expectRawValues<BrowserPrivacySupport>({"notBrowser", "verifiedAdapter", "bestEffortFailClosed"});
  }
  {
    SCOPED_TRACE("ApplicationAdditionalField");
    expectRawValues<ApplicationAdditionalField>(
        {"pageURL", "normalizedDomain", "browserPrivacyVerdict", "browserReadabilityVerdict", "finderFolderURL"});
  }
}

TEST(ContextEnumerations, ExclusionGroupsUseSelfForTheOwnApplication) {
  expectRawValues<ApplicationExclusionGroup>(
      {"self", "loginScreen", "passwordManagers", "messagingNotifications", "controlCenter", "spotlight", "siri"});
}

TEST(ContextEnumerations, ExclusionGroupsDecodeOnlyFromTheExactRawValue) {
  for (const std::string_view text : {"selfApp", "Self", "siri ", "Siri", "passwordmanagers", ""}) {
    SCOPED_TRACE(text);
    EXPECT_EQ(fromRawValue<ApplicationExclusionGroup>(text), std::nullopt);
  }
}

}  // namespace
}  // namespace Sablekit
