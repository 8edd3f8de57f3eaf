// The backend rule: the first reachable row of the table serves, otherwise
// the build's default; on this build's tables without a reachable session.
#include <map>
#include <set>
#include <string>

#include <gtest/gtest.h>

#include "Sablekit/platform/PlatformBackends.h"

namespace Sablekit {
namespace {

// A process environment holding exactly `variables`.
EnvironmentLookup environmentOf(std::map<std::string, std::string> variables) {
  return [variables = std::move(variables)](std::string_view name) -> std::optional<std::string> {
    const auto found = variables.find(std::string(name));
    return found == variables.end() ? std::nullopt : std::optional(found->second);
  };
}

// Rows that are reachable when the environment names them.
template <const char* variable>
bool namedInEnvironment(const PlatformContext& context) {
  return context.environment(variable).has_value();
}
std::unique_ptr<Platform> createNothing(const PlatformContext&) {
  return nullptr;
}
constexpr char firstVariable[] = "FIRST_SESSION";
constexpr char secondVariable[] = "SECOND_SESSION";
constexpr PlatformBackend fakeTable[] = {
    {"first", "", namedInEnvironment<firstVariable>, createNothing},
    {"second", "", namedInEnvironment<secondVariable>, createNothing},
};
constexpr PlatformBackend fakeFallback{"fallback", "", namedInEnvironment<firstVariable>, createNothing};

TEST(PlatformBackendRule, TheFirstReachableRowServesOtherwiseTheFallback) {
  struct Case {
    const char* name;
    std::map<std::string, std::string> environment;
    std::string_view chosen;
  };
  const Case cases[] = {
      {"nothing reachable", {}, "fallback"},
      {"only the later row", {{secondVariable, ""}}, "second"},
      {"both rows: table order decides", {{secondVariable, ""}, {firstVariable, ""}}, "first"},
  };
  RunLoop mainLoop;
  for (const Case& test : cases) {
    SCOPED_TRACE(test.name);
    const PlatformContext context{.mainLoop = mainLoop, .environment = environmentOf(test.environment)};
    EXPECT_EQ(choosePlatformBackend(fakeTable, fakeFallback, context).name, test.chosen);
  }
}

TEST(PlatformBackendRule, ThisBuildsTableNamesEachBackendOnceAndHoldsTheDefault) {
  std::set<std::string_view> names;
  for (const PlatformBackend& backend : platformBackends()) {
    EXPECT_TRUE(names.insert(backend.name).second) << backend.name << " twice";
    EXPECT_FALSE(backend.description.empty()) << backend.name;
  }
  EXPECT_TRUE(names.contains(defaultPlatformBackend().name));
  EXPECT_TRUE(names.contains("simulated"));
}

TEST(PlatformBackendRule, WithoutAReachableSessionTheDefaultServesAndTheSimulatedDesktopNever) {
  RunLoop mainLoop;
  const std::map<std::string, std::string> environments[] = {
      {}, {{"DISPLAY", ""}}, {{"DISPLAY", ":999999"}},  // no X server answers there
  };
  for (const auto& environment : environments) {
    const PlatformContext context{.mainLoop = mainLoop, .environment = environmentOf(environment)};
    SCOPED_TRACE(environment.empty() ? "no DISPLAY" : "DISPLAY=" + environment.begin()->second);
    for (const PlatformBackend& backend : platformBackends()) {
      EXPECT_FALSE(backend.reachable(context)) << backend.name;
    }
    EXPECT_EQ(choosePlatformBackend(context).name, defaultPlatformBackend().name);
    const std::unique_ptr<Platform> platform = createPlatform(context);
    ASSERT_NE(platform, nullptr);
    EXPECT_EQ(platform->capabilities().backendName, defaultPlatformBackend().name);
  }
}

TEST(PlatformBackendRule, WithoutAReachableAccessibilityClientNothingIsReadOrTrusted) {
  RunLoop mainLoop;
  const PlatformContext context{.mainLoop = mainLoop, .environment = environmentOf({})};
  const std::unique_ptr<AccessibilityBackend> accessibility = createAccessibilityBackend(context);
  ASSERT_NE(accessibility, nullptr);
  EXPECT_FALSE(accessibility->trusted());
  EXPECT_FALSE(accessibility->trustKnown());
  EXPECT_TRUE(accessibility->client().applicationElement(1).isNull());
  EXPECT_EQ(accessibility->observers().createObserver(1, nullptr), nullptr);
}

}  // namespace
}  // namespace Sablekit
