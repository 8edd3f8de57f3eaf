#include <optional>
#include <string>

#include <gtest/gtest.h>

#include "Sablekit/context/automation/BrowserAutomationCapabilityCache.h"
#include "Sablekit/platform/simulated/SimulatedClock.h"

namespace Sablekit {
namespace {

constexpr const char* chrome = "com.google.chrome";
constexpr const char* chromeBeta = "com.google.chrome.beta";
constexpr const char* safari = "com.apple.safari";

class BrowserAutomationCapabilityCacheTest : public ::testing::Test {
 protected:
  SimulatedClock clock;
  BrowserAutomationCapabilityCache cache{clock};
};

TEST_F(BrowserAutomationCapabilityCacheTest, TransientFailureBlocksThatVersionForFiveSeconds) {
  EXPECT_TRUE(cache.shouldAttempt(chrome, "120")) << "an unknown browser is asked";
  cache.recordTransientFailure(chrome, "120");
  EXPECT_FALSE(cache.shouldAttempt(chrome, "120"));
  clock.advance(4.9);
  EXPECT_FALSE(cache.shouldAttempt(chrome, "120"));
  clock.advance(0.1);
  EXPECT_TRUE(cache.shouldAttempt(chrome, "120"));
  EXPECT_TRUE(cache.shouldAttempt(chrome, "120")) << "the expired entry is gone, not revived";
}

TEST_F(BrowserAutomationCapabilityCacheTest, LatestOutcomeOfAVersionWins) {
  cache.recordTransientFailure(chrome, "120");
  cache.recordSuccess(chrome, "120");
  EXPECT_TRUE(cache.shouldAttempt(chrome, "120"));

  cache.recordSuccess(safari, "17");
  clock.advance(100);
  cache.recordTransientFailure(safari, "17");
  EXPECT_FALSE(cache.shouldAttempt(safari, "17")) << "a failure replaces a success still in force";
}

TEST_F(BrowserAutomationCapabilityCacheTest, OutcomesAreKeptPerVersionButPermanentFailureCoversAll) {
  cache.recordSuccess(chrome, "120");
  cache.recordTransientFailure(chrome, "121");
  EXPECT_TRUE(cache.shouldAttempt(chrome, "120"));
  EXPECT_FALSE(cache.shouldAttempt(chrome, "121"));
  EXPECT_TRUE(cache.shouldAttempt(chrome, "122"));

  cache.recordTransientFailure(safari, "");
  EXPECT_FALSE(cache.shouldAttempt(safari, "unknown")) << "an empty version is keyed as \"unknown\"";

  cache.recordPermanentFailure(chrome);
  clock.advance(1'000'000);
  for (const char* version : {"120", "121", "999", ""}) {
    SCOPED_TRACE(version);
    EXPECT_FALSE(cache.shouldAttempt(chrome, version));
  }
  EXPECT_TRUE(cache.shouldAttempt(chromeBeta, "120"));
  EXPECT_TRUE(cache.shouldAttempt(safari, "")) << "safari's own block has expired";
}

TEST_F(BrowserAutomationCapabilityCacheTest, IdentifiersAreNormalisedEverywhere) {
  cache.recordTransientFailure("  COM.Google.Chrome\n", "120");
  EXPECT_FALSE(cache.shouldAttempt(chrome, "120"));
  cache.recordPermanentFailure("\tCom.Apple.Safari ");
  EXPECT_FALSE(cache.shouldAttempt(" com.apple.SAFARI", "17"));

  cache.recordTransientFailure("   ", "1");
  EXPECT_FALSE(cache.shouldAttempt("", "1")) << "an empty identifier is a key like any other";
  EXPECT_TRUE(cache.shouldAttempt("x", "1"));
}

TEST_F(BrowserAutomationCapabilityCacheTest, ExpiryIgnoresChangesOfTheSystemTime) {
  cache.recordTransientFailure(chrome, "120");
  clock.setWallTime(clock.now() + 3600);
  EXPECT_FALSE(cache.shouldAttempt(chrome, "120")) << "moving the time forward does not lift the block";
  clock.setWallTime(clock.now() - 7200);
  clock.advance(5);
  EXPECT_TRUE(cache.shouldAttempt(chrome, "120")) << "moving the time back does not prolong the block";
}

TEST_F(BrowserAutomationCapabilityCacheTest, InvalidateForgetsExactlyTheNamedBrowser) {
  struct Case {
    const char* name;
    std::optional<std::string> argument;
    bool chromeCleared;
    bool betaCleared;
  };
  const Case cases[] = {
      {"all browsers", std::nullopt, true, true},
      {"chrome, other case and spaced", std::string(" COM.GOOGLE.CHROME\t"), true, false},
      {"chrome beta", std::string(chromeBeta), false, true},
      {"an unrelated browser", std::string("org.mozilla.firefox"), false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SimulatedClock caseClock;
    BrowserAutomationCapabilityCache subject(caseClock);
    subject.recordTransientFailure(chrome, "120");
    subject.recordTransientFailure(chrome, "");
    subject.recordTransientFailure(chromeBeta, "120");
    subject.recordTransientFailure(chromeBeta, "");
    subject.recordPermanentFailure(safari);

    subject.invalidate(c.argument);

    EXPECT_EQ(subject.shouldAttempt(chrome, "120"), c.chromeCleared);
    EXPECT_EQ(subject.shouldAttempt(chrome, ""), c.chromeCleared);
    EXPECT_EQ(subject.shouldAttempt(chromeBeta, "120"), c.betaCleared);
    EXPECT_EQ(subject.shouldAttempt(chromeBeta, ""), c.betaCleared);
    EXPECT_EQ(subject.shouldAttempt(safari, "17"), !c.argument.has_value());
  }
}

TEST_F(BrowserAutomationCapabilityCacheTest, InvalidateLiftsAPermanentMarkOfTheNamedBrowser) {
  cache.recordPermanentFailure(chrome);
  cache.recordPermanentFailure(safari);
  cache.invalidate(std::string("Com.Google.Chrome "));
  EXPECT_TRUE(cache.shouldAttempt(chrome, "120"));
  EXPECT_FALSE(cache.shouldAttempt(safari, "17"));
}

}  // namespace
}  // namespace Sablekit
