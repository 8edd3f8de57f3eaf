// Resolving a capture request: absent parameters and absent members are the
// defaults, present ones are taken with their bounds.
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "Sablekit/capture/CaptureRequest.h"

namespace Sablekit {
namespace {

struct Expected {
  bool inactive;
  bool excludePrivateBrowsing;
  bool allowBrowserAutomation;
  bool allowFinderAutomation;
  std::int64_t longestSide;
  std::set<std::string> parentTitles;
  bool excludeProtectedApplications;
  std::size_t enabledGroups;
};

TEST(CaptureRequest, AbsentParametersAreExactlyTheDefaults) {
  std::vector<std::string> titles(29, "other");
  titles.insert(titles.end(), {"", std::string(501, 'x'), "Settings", "Beyond the limit"});
  const std::size_t allGroups = allCases<ApplicationExclusionGroup>().size();
  const Expected defaults{false, true, false, false, 3840, {}, true, allGroups};
  const struct {
    const char* name;
    std::optional<CaptureProbeParameters> parameters;
    Expected expected;
  } cases[] = {
      {"no parameters", std::nullopt, defaults},
      {"no members", CaptureProbeParameters{}, defaults},
      {"every member",
       CaptureProbeParameters{.maximumDimension = 100,
                              .inactive = true,
                              .excludedParentWindowTitles = titles,
                              .excludeProtectedApplications = false,
                              .excludePrivateBrowsing = false,
                              .allowBrowserAutomation = true,
                              .allowFinderAutomation = true,
                              .enabledExclusionGroups = std::vector<std::string>{"siri"}},
       // Only the first 32 entries count ("Settings" is the 32nd), and of
       // those neither the empty one nor the one beyond 500 bytes.
       {true, false, true, true, 320, {"other", "Settings"}, false, 1}},
      {"largest side clamped",
       CaptureProbeParameters{.maximumDimension = 10000},
       {false, true, false, false, 7680, {}, true, allGroups}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const CaptureRequest request = CaptureRequest::resolve(c.parameters);
    EXPECT_EQ(request.inactive, c.expected.inactive);
    EXPECT_EQ(request.excludePrivateBrowsing, c.expected.excludePrivateBrowsing);
    EXPECT_EQ(request.allowBrowserAutomation, c.expected.allowBrowserAutomation);
    EXPECT_EQ(request.allowFinderAutomation, c.expected.allowFinderAutomation);
    EXPECT_EQ(request.longestSide, c.expected.longestSide);
    EXPECT_EQ(request.parentTitles, c.expected.parentTitles);
    EXPECT_EQ(request.policy.excludeProtectedApplications(), c.expected.excludeProtectedApplications);
    EXPECT_EQ(request.policy.enabledExclusionGroups().size(), c.expected.enabledGroups);
  }
}

}  // namespace
}  // namespace Sablekit
