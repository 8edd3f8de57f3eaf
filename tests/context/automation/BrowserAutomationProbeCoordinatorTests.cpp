#include <optional>
#include <string>

#include <gtest/gtest.h>

#include "Sablekit/context/automation/BrowserAutomationProbeCoordinator.h"

namespace Sablekit {
namespace {

constexpr const char* chrome = "com.google.chrome";
constexpr const char* safari = "com.apple.safari";

TEST(BrowserAutomationProbeCoordinator, OneQueryAtATimeAcrossAllBrowsers) {
  BrowserAutomationProbeCoordinator coordinator;
  EXPECT_FALSE(coordinator.isBusy());

  const auto first = coordinator.begin(" Com.Google.CHROME\n");
  ASSERT_TRUE(first.has_value());
  EXPECT_EQ(first->bundleID, chrome);
  EXPECT_EQ(first->generation, 0u);
  EXPECT_TRUE(coordinator.isBusy());
  EXPECT_FALSE(coordinator.begin(safari).has_value()) << "another browser waits too";
  EXPECT_FALSE(coordinator.begin(chrome).has_value());

  EXPECT_TRUE(coordinator.complete(*first));
  EXPECT_FALSE(coordinator.isBusy());
  EXPECT_FALSE(coordinator.complete(*first)) << "a token completes once";

  const auto second = coordinator.begin(chrome);
  ASSERT_TRUE(second.has_value());
  EXPECT_NE(second->identifier, first->identifier) << "every token is fresh";
  EXPECT_FALSE(coordinator.complete(*first)) << "a spent token cannot end a later query";
  EXPECT_TRUE(coordinator.isBusy());
  EXPECT_TRUE(coordinator.complete(*second));
}

TEST(BrowserAutomationProbeCoordinator, InvalidationDuringAQueryDiscardsItsOutcomeButKeepsItBusy) {
  struct Case {
    const char* name;
    std::optional<std::string> argument;
    bool outcomeWanted;
  };
  const Case cases[] = {
      {"all browsers", std::nullopt, false},
      {"the same browser, other case and spaced", std::string("\tCOM.GOOGLE.CHROME "), false},
      {"another browser", std::string(safari), true},
      {"a browser whose identifier extends it", std::string("com.google.chrome.beta"), true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    BrowserAutomationProbeCoordinator coordinator;
    const auto token = coordinator.begin(chrome);
    ASSERT_TRUE(token.has_value());

    coordinator.invalidate(c.argument);

    EXPECT_TRUE(coordinator.isBusy()) << "the running query still holds the coordinator";
    EXPECT_FALSE(coordinator.begin(safari).has_value());
    EXPECT_EQ(coordinator.complete(*token), c.outcomeWanted);
    EXPECT_FALSE(coordinator.isBusy());
  }
}

TEST(BrowserAutomationProbeCoordinator, TokenThatIsNotActiveChangesNothing) {
  BrowserAutomationProbeCoordinator coordinator;
  const auto token = coordinator.begin(chrome);
  ASSERT_TRUE(token.has_value());

  BrowserAutomationProbeToken stranger = *token;
  stranger.identifier = UUID::generate();
  EXPECT_FALSE(coordinator.complete(stranger));
  EXPECT_TRUE(coordinator.isBusy());

  BrowserAutomationProbeCoordinator other;
  const auto otherToken = other.begin(chrome);
  ASSERT_TRUE(otherToken.has_value());
  EXPECT_FALSE(coordinator.complete(*otherToken)) << "tokens of another coordinator are strangers";
  EXPECT_TRUE(coordinator.isBusy());

  EXPECT_TRUE(coordinator.complete(*token));
}

TEST(BrowserAutomationProbeCoordinator, OutcomeIsJudgedByTheTokenAsIssued) {
  BrowserAutomationProbeCoordinator coordinator;
  const auto token = coordinator.begin(chrome);
  ASSERT_TRUE(token.has_value());
  coordinator.invalidate(std::string(chrome));

  BrowserAutomationProbeToken altered = *token;
  altered.generation = 1;  // what the browser's generation is now
  EXPECT_FALSE(coordinator.complete(altered));
  EXPECT_FALSE(coordinator.isBusy());
}

TEST(BrowserAutomationProbeCoordinator, GenerationsGrowAndAreStampedOnNewTokens) {
  BrowserAutomationProbeCoordinator coordinator;
  const auto generationOfNextToken = [&](const char* bundleID) {
    const auto token = coordinator.begin(bundleID);
    EXPECT_TRUE(token.has_value());
    if (!token) {
      return ~0ull;
    }
    EXPECT_TRUE(coordinator.complete(*token)) << "nothing invalidated it while it ran";
    return static_cast<unsigned long long>(token->generation);
  };

  coordinator.invalidate(std::string("COM.GOOGLE.CHROME"));
  EXPECT_EQ(generationOfNextToken(chrome), 1u);
  EXPECT_EQ(generationOfNextToken(safari), 0u);

  coordinator.invalidate(std::nullopt);
  EXPECT_EQ(generationOfNextToken(chrome), 2u) << "a reset of all reaches every browser seen before";
  EXPECT_EQ(generationOfNextToken(safari), 0u) << "a browser never invalidated nor running is not tracked";

  // A reset of all while a query runs reaches that query's browser, once.
  const auto running = coordinator.begin(chrome);
  ASSERT_TRUE(running.has_value());
  coordinator.invalidate(std::nullopt);
  EXPECT_FALSE(coordinator.complete(*running));
  EXPECT_EQ(generationOfNextToken(chrome), 3u);

  const auto runningSafari = coordinator.begin(safari);
  ASSERT_TRUE(runningSafari.has_value());
  coordinator.invalidate(std::nullopt);
  EXPECT_FALSE(coordinator.complete(*runningSafari)) << "a browser first seen running is invalidated too";
  EXPECT_EQ(generationOfNextToken(safari), 1u);
  EXPECT_EQ(generationOfNextToken(chrome), 4u);
}

}  // namespace
}  // namespace Sablekit
