#include <gtest/gtest.h>

#include "Sablekit/protocol/CaptureProbeParameters.h"

namespace Sablekit {
namespace {

TEST(CaptureProbeParameters, MaximumDimensionIsDefaultedAndClamped) {
  struct Case {
    std::optional<std::int64_t> given;
    std::int64_t bound;
  };
  const Case cases[] = {{std::nullopt, 3840}, {100, 320},    {-5, 320},        {0, 320},
                        {320, 320},           {321, 321},    {800, 800},       {7680, 7680},
                        {7681, 7680},         {10000, 7680}, {INT64_MIN, 320}, {INT64_MAX, 7680}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.given ? std::to_string(*c.given) : "absent");
    EXPECT_EQ(CaptureProbeParameters{.maximumDimension = c.given}.maximumDimensionBound(), c.bound);
  }
}

TEST(CaptureProbeParameters, EachAbsentMemberTakesItsOwnDefault) {
  const auto parameters = CaptureProbeParameters::decode(JsonCodec::parse(R"({"maximumDimension":640})"));
  EXPECT_EQ(parameters.maximumDimensionBound(), 640);
  EXPECT_FALSE(parameters.isInactive());
  EXPECT_FALSE(parameters.recordsUnknownBundleIDs());
  EXPECT_TRUE(parameters.excludesProtectedApplications());
  EXPECT_TRUE(parameters.excludesPrivateBrowsing());
  EXPECT_FALSE(parameters.allowsBrowserAutomation());
  EXPECT_FALSE(parameters.allowsFinderAutomation());
  EXPECT_FALSE(parameters.enabledExclusionGroups.has_value()) << "absent means all groups, decided by the policy";

  const auto flipped = CaptureProbeParameters::decode(JsonCodec::parse(
      R"({"inactive":true,"recordUnknownBundleIDs":true,"excludeProtectedApplications":false,
          "excludePrivateBrowsing":false,"allowBrowserAutomation":true,"allowFinderAutomation":true,
          "enabledExclusionGroups":[]})"));
  EXPECT_TRUE(flipped.isInactive());
  EXPECT_TRUE(flipped.recordsUnknownBundleIDs());
  EXPECT_FALSE(flipped.excludesProtectedApplications());
  EXPECT_FALSE(flipped.excludesPrivateBrowsing());
  EXPECT_TRUE(flipped.allowsBrowserAutomation());
  EXPECT_TRUE(flipped.allowsFinderAutomation());
  EXPECT_EQ(flipped.enabledExclusionGroups, std::vector<std::string>{});
}

TEST(CaptureProbeParameters, EncodingLeavesAbsentMembersOutAndRoundTrips) {
  EXPECT_EQ(JsonCodec::serialize(JsonCodec::Value(CaptureProbeParameters{})), "{}");
  const CaptureProbeParameters parameters{
      .maximumDimension = 7000,
      .inactive = false,
      .excludedBundleIDs = std::vector<std::string>{"com.example.a", "com.example.b"},
      .excludedDomains = std::vector<std::string>{},
      .excludedParentWindowTitles = std::vector<std::string>{"Settings"},
      .recordUnknownBundleIDs = true,
      .excludeProtectedApplications = false,
      .excludePrivateBrowsing = true,
      .allowBrowserAutomation = false,
      .allowFinderAutomation = true,
      .enabledExclusionGroups = std::vector<std::string>{"self", "siri"},
      .automationTarget = "finder",
      .browserBundleID = "com.google.chrome",
  };
  const JsonCodec::Value encoded(parameters);
  EXPECT_EQ(encoded.size(), 13u);
  EXPECT_EQ(CaptureProbeParameters::decode(JsonCodec::parse(JsonCodec::serialize(encoded))), parameters);
}

}  // namespace
}  // namespace Sablekit
