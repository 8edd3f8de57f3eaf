// Tests for switching on applications' accessibility and the five-minute cache per process.
#include <gtest/gtest.h>

#include "Sablekit/accessibility/AccessibilityWakeService.h"
#include "Sablekit/platform/simulated/SimulatedAccessibility.h"
#include "tests/support/FixedPermissions.h"

namespace Sablekit {
namespace {

using Testing::FixedPermissions;

constexpr std::int32_t slackProcess = 501;

class AccessibilityWakeServiceTest : public ::testing::Test {
 protected:
  AccessibilityWakeServiceTest() {
    accessibility.addApplication(slackProcess, "slack");
    accessibility.addApplication(502, "mail");
    accessibility.addApplication(503, "firefox");
  }

  std::size_t attempts() const { return accessibility.settings().size(); }

  SimulatedClock clock;
  FaultInjector faults;
  FixedPermissions permissions;
  SimulatedAccessibility accessibility{clock, faults};
  AccessibilityWakeService service{clock, permissions, accessibility};
};

TEST_F(AccessibilityWakeServiceTest, NothingToWakeForAnAbsentIdentifierOrAnOrdinaryApplication) {
  const AccessibilityWakeResult none{
      .kind = AccessibilityWakeKind::none, .attempted = false, .succeeded = true, .cached = false};
  EXPECT_EQ(service.wakeIfNeeded(std::nullopt, slackProcess), none);
  EXPECT_EQ(service.wakeIfNeeded("com.apple.finder", slackProcess), none);
  EXPECT_EQ(accessibility.callCount(), 0u);
  EXPECT_EQ(JsonCodec::serialize(JsonCodec::Value(none)),
            R"({"attempted":false,"cached":false,"kind":"none","succeeded":true})");
}

TEST_F(AccessibilityWakeServiceTest, EachKindSetsItsAttributeToTrueOnTheApplicationElement) {
  struct Case {
    std::string bundleID;
    std::int32_t processID;
    std::string elementID;
    AccessibilityWakeKind kind;
    std::string attribute;
  };
  const Case cases[] = {
      {"com.tinyspeck.slackmacgap", slackProcess, "slack", AccessibilityWakeKind::electron, "AXManualAccessibility"},
      {"org.mozilla.firefox", 503, "firefox", AccessibilityWakeKind::gecko, "AXManualAccessibility"},
      {"com.apple.mail", 502, "mail", AccessibilityWakeKind::appleWebKit, "AXEnhancedUserInterface"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.bundleID);
    EXPECT_EQ(service.wakeIfNeeded(c.bundleID, c.processID),
              (AccessibilityWakeResult{.kind = c.kind, .attempted = true, .succeeded = true, .cached = false}));
    const auto setting = accessibility.settings().back();
    EXPECT_EQ(setting.elementID, c.elementID);
    EXPECT_EQ(setting.attribute, c.attribute);
    EXPECT_TRUE(std::get<bool>(setting.value.storage));
    EXPECT_EQ(accessibility.messagingTimeout(c.elementID), 0.5);
  }
}

TEST_F(AccessibilityWakeServiceTest, AnAttemptIsAnsweredFromTheCacheForFiveMinutes) {
  ASSERT_TRUE(service.wakeIfNeeded("com.tinyspeck.slackmacgap", slackProcess).attempted);
  clock.advance(10);
  EXPECT_EQ(service.wakeIfNeeded("com.tinyspeck.slackmacgap", slackProcess),
            (AccessibilityWakeResult{
                .kind = AccessibilityWakeKind::electron, .attempted = false, .succeeded = true, .cached = true}));
  clock.advance(289.9);
  EXPECT_TRUE(service.wakeIfNeeded("com.tinyspeck.slackmacgap", slackProcess).cached);
  EXPECT_EQ(attempts(), 1u);
  clock.advance(1.1);  // 301 s after the attempt
  const auto again = service.wakeIfNeeded("com.tinyspeck.slackmacgap", slackProcess);
  EXPECT_TRUE(again.attempted);
  EXPECT_FALSE(again.cached);
  EXPECT_EQ(attempts(), 2u);
}

TEST_F(AccessibilityWakeServiceTest, TheCacheIsKeyedByTheNormalisedIdentifierOfTheProcess) {
  ASSERT_TRUE(service.wakeIfNeeded("com.tinyspeck.slackmacgap", slackProcess).attempted);
  EXPECT_TRUE(service.wakeIfNeeded("  COM.Tinyspeck.SlackMacGap\n", slackProcess).cached);
  // Another identifier for the same process attempts at once and replaces the entry.
  EXPECT_TRUE(service.wakeIfNeeded("com.microsoft.vscode", slackProcess).attempted);
  EXPECT_TRUE(service.wakeIfNeeded("com.tinyspeck.slackmacgap", slackProcess).attempted);
  EXPECT_EQ(attempts(), 3u);
}

TEST_F(AccessibilityWakeServiceTest, ARefusedOrUnansweredSettingIsCachedLikeASuccess) {
  struct Case {
    const char* name;
    void (*arrange)(SimulatedAccessibility&);
  };
  const Case cases[] = {
      {"refused", [](SimulatedAccessibility& a) { a.refuseSetting("slack", "AXManualAccessibility"); }},
      {"too slow", [](SimulatedAccessibility& a) { a.setResponseDelay("slack", 2.0); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SimulatedClock caseClock;
    SimulatedAccessibility caseAccessibility{caseClock, faults};
    caseAccessibility.addApplication(slackProcess, "slack");
    c.arrange(caseAccessibility);
    AccessibilityWakeService caseService{caseClock, permissions, caseAccessibility};

    EXPECT_EQ(caseService.wakeIfNeeded("com.tinyspeck.slackmacgap", slackProcess),
              (AccessibilityWakeResult{
                  .kind = AccessibilityWakeKind::electron, .attempted = true, .succeeded = false, .cached = false}));
    // A slow application holds the call only for the 0.5 s messaging timeout.
    EXPECT_LE(caseClock.monotonicNow(), 0.5);
    caseClock.advance(100);
    EXPECT_EQ(caseService.wakeIfNeeded("com.tinyspeck.slackmacgap", slackProcess),
              (AccessibilityWakeResult{
                  .kind = AccessibilityWakeKind::electron, .attempted = false, .succeeded = false, .cached = true}));
    EXPECT_EQ(caseAccessibility.settings().size(), 1u);
  }
}

TEST_F(AccessibilityWakeServiceTest, WithoutTrustNothingIsAttemptedOrCached) {
  permissions.trusted = false;
  EXPECT_EQ(service.wakeIfNeeded("com.tinyspeck.slackmacgap", slackProcess),
            (AccessibilityWakeResult{
                .kind = AccessibilityWakeKind::electron, .attempted = false, .succeeded = false, .cached = false}));
  EXPECT_EQ(accessibility.callCount(), 0u);
  permissions.trusted = true;
  EXPECT_TRUE(service.wakeIfNeeded("com.tinyspeck.slackmacgap", slackProcess).attempted);
}

TEST_F(AccessibilityWakeServiceTest, SettingTheWallClockBackDoesNotProlongTheCache) {
  ASSERT_TRUE(service.wakeIfNeeded("com.tinyspeck.slackmacgap", slackProcess).attempted);
  clock.setWallTime(clock.now() - 86'400);
  clock.advance(301);
  EXPECT_TRUE(service.wakeIfNeeded("com.tinyspeck.slackmacgap", slackProcess).attempted);
}

TEST_F(AccessibilityWakeServiceTest, KindFollowsTheRegistry) {
  EXPECT_EQ(AccessibilityWakeService::kind(std::nullopt), AccessibilityWakeKind::none);
  EXPECT_EQ(AccessibilityWakeService::kind(" Org.Mozilla.Firefox "), AccessibilityWakeKind::gecko);
  EXPECT_EQ(AccessibilityWakeService::kind("com.apple.mail"), AccessibilityWakeKind::appleWebKit);
  EXPECT_EQ(AccessibilityWakeService::kind("com.tinyspeck.slackmacgap"), AccessibilityWakeKind::electron);
}

}  // namespace
}  // namespace Sablekit
