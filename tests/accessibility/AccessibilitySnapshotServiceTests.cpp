// Tests for snapshots of one application: the result forms, the limits the
// service is built with, root hash, searchable text, and the records' JSON.
#include <gtest/gtest.h>

#include "Sablekit/accessibility/AccessibilitySnapshotService.h"
#include "Sablekit/platform/simulated/SimulatedAccessibility.h"
#include "Sablekit/protocol/JsonCodec.h"
#include "tests/support/FixedPermissions.h"

namespace Sablekit {
namespace {

constexpr std::int32_t pid = 612;

using Testing::FixedPermissions;

class AccessibilitySnapshotServiceTest : public ::testing::Test {
 protected:
  AccessibilitySnapshotServiceTest() {
    clock.setWallTime(1'767'225'600.1239);
    accessibility.addApplication(pid, "app")
        .setValue("app", "AXRole", std::string("AXApplication"))
        .setValue("app", "AXTitle", std::string("Mail"));
    accessibility.addElement("window", pid)
        .setValue("window", "AXRole", std::string("AXWindow"))
        .setValue("window", "AXTitle", std::string("Inbox"))
        .setValue("window", "AXDescription", std::string(""))
        .setValue("window", "AXHelp", std::string("Inbox"));
    accessibility.addElement("field", pid)
        .setValue("field", "AXRole", std::string("AXTextField"))
        .setValue("field", "AXValue", std::string("draft"))
        .setValue("field", "AXPlaceholderValue", std::string("Search"))
        .setValue("field", "AXSelectedText", std::string("dr"));
    accessibility.setChildren("app", {"window"}).setChildren("window", {"field"});
  }

  SimulatedClock clock;
  FaultInjector faults;
  SimulatedAccessibility accessibility{clock, faults};
  FixedPermissions permissions;
  AccessibilitySnapshotService service{accessibility, permissions, clock};
};

TEST_F(AccessibilitySnapshotServiceTest, AFullWalkGivesTheStaticFormWithRootHashAndSearchableText) {
  const auto result = service.snapshot("Mail", " Com.Apple.Mail ", pid, AccessibilityWindowScope::unrestricted());
  EXPECT_EQ(result.status, AccessibilitySnapshotStatus::success);
  EXPECT_EQ(result.extractionMode, AccessibilityExtractionMode::staticWalk);
  EXPECT_FALSE(result.partial);
  EXPECT_EQ(result.capturedAtMilliseconds, 1'767'225'600'123);
  EXPECT_EQ(result.applicationName, "Mail");
  EXPECT_EQ(result.bundleID, " Com.Apple.Mail ");
  EXPECT_EQ(result.processID, pid);
  ASSERT_EQ(result.nodes.size(), 3U);
  EXPECT_EQ(result.rootHash, result.nodes[0].hash);
  // Node order first, then the six attributes in their order; empty values skipped, repeats kept.
  EXPECT_EQ(result.searchableText, "Mail\nInbox\nInbox\ndraft\nSearch\ndr");
  EXPECT_EQ(accessibility.messagingTimeout("app"), AccessibilitySnapshotService::applicationMessagingTimeout);
}

TEST_F(AccessibilitySnapshotServiceTest, TheBundleIdentifierGoesIntoHashesExactlyAsPassed) {
  const auto first = service.snapshot("Mail", "com.apple.mail", pid, AccessibilityWindowScope::unrestricted());
  EXPECT_EQ(service.snapshot("Mail", "com.apple.mail", pid, AccessibilityWindowScope::unrestricted()).rootHash,
            first.rootHash);
  EXPECT_NE(service.snapshot("Mail", "com.apple.Mail", pid, AccessibilityWindowScope::unrestricted()).rootHash,
            first.rootHash);
}

TEST_F(AccessibilitySnapshotServiceTest, WithoutTrustNothingIsReadAndThePermissionFormIsReturned) {
  permissions.trusted = false;
  const std::uint64_t calls = accessibility.callCount();
  const auto result = service.snapshot("Mail", "com.apple.mail", pid, AccessibilityWindowScope::unrestricted());
  EXPECT_EQ(accessibility.callCount(), calls);
  EXPECT_EQ(result.status, AccessibilitySnapshotStatus::permissionUnavailable);
  EXPECT_EQ(result.extractionMode, AccessibilityExtractionMode::none);
  EXPECT_TRUE(result.partial);
  EXPECT_EQ(result.rootHash, std::nullopt);
  EXPECT_TRUE(result.nodes.empty());
  EXPECT_EQ(result.searchableText, "");
  EXPECT_EQ(result.bundleID, "com.apple.mail");
}

TEST_F(AccessibilitySnapshotServiceTest, AProcessThatAnswersNothingGivesOnlyAnEmptyRoot) {
  // Failed reads only leave attributes and children out; the root is still visited.
  const auto result = service.snapshot("Ghost", "com.example.ghost", 999, AccessibilityWindowScope::unrestricted());
  EXPECT_EQ(result.status, AccessibilitySnapshotStatus::success);
  EXPECT_EQ(result.extractionMode, AccessibilityExtractionMode::staticWalk);
  EXPECT_FALSE(result.partial);
  ASSERT_EQ(result.nodes.size(), 1U);
  EXPECT_TRUE(result.nodes[0].attributes.empty());
  EXPECT_TRUE(result.nodes[0].childHashes.empty());
  EXPECT_EQ(result.rootHash, result.nodes[0].hash);
  EXPECT_EQ(result.searchableText, "");
}

TEST(AccessibilitySnapshotServiceLimitsTest, LimitsAreClampedAtConstruction) {
  SimulatedClock clock;
  FaultInjector faults;
  SimulatedAccessibility accessibility(clock, faults);
  FixedPermissions permissions;
  struct Case {
    const char* name;
    std::int64_t depth, nodes, bytes;
    double duration;
    std::int64_t expectedDepth, expectedNodes, expectedBytes;
    double expectedDuration;
  };
  const Case cases[] = {
      {"defaults", 12, 5000, 16'777'216, 1.5, 12, 5000, 16'777'216, 1.5},
      {"too small", 0, -3, 1023, 0.01, 1, 1, 1024, 0.05},
      {"just allowed", 1, 1, 1024, 0.05, 1, 1, 1024, 0.05},
      {"not a number", 1, 1, 1024, std::nan(""), 1, 1, 1024, 0.05},
  };
  for (const auto& testCase : cases) {
    SCOPED_TRACE(testCase.name);
    const AccessibilitySnapshotService service(accessibility, permissions, clock, testCase.depth, testCase.nodes,
                                               testCase.bytes, testCase.duration);
    EXPECT_EQ(service.maximumDepth(), testCase.expectedDepth);
    EXPECT_EQ(service.maximumNodes(), testCase.expectedNodes);
    EXPECT_EQ(service.maximumSerializedBytes(), testCase.expectedBytes);
    EXPECT_EQ(service.maximumWalkDuration(), testCase.expectedDuration);
  }
}

TEST_F(AccessibilitySnapshotServiceTest, TheServiceLimitsBoundTheWalk) {
  AccessibilitySnapshotService small(accessibility, permissions, clock, 1, 2, 1024, 1.5);
  const auto result = small.snapshot("Mail", "com.apple.mail", pid, AccessibilityWindowScope::unrestricted());
  EXPECT_TRUE(result.partial);
  ASSERT_EQ(result.nodes.size(), 2U);
  EXPECT_EQ(result.nodes[1].attributes.at("AXTitle"), "Inbox");
}

TEST_F(AccessibilitySnapshotServiceTest, RecordsTravelWithExactlyTheirKeysAndAbsentOptionalsLeftOut) {
  const auto result = service.snapshot("Mail", "com.apple.mail", pid, AccessibilityWindowScope::unrestricted());
  const JsonCodec::Value json = result;
  std::vector<std::string> keys;
  for (const auto& [key, value] : json.items()) {
    keys.push_back(key);
  }
  EXPECT_EQ(keys, (std::vector<std::string>{"applicationName", "bundleID", "capturedAtMilliseconds", "extractionMode",
                                            "nodes", "partial", "processID", "rootHash", "searchableText", "status"}));
  EXPECT_EQ(json["status"], "success");
  EXPECT_EQ(json["extractionMode"], "static");
  EXPECT_EQ(json["capturedAtMilliseconds"], 1'767'225'600'123);
  EXPECT_EQ(json["rootHash"], *result.rootHash);

  const auto& root = json["nodes"][0];
  EXPECT_EQ(root.dump(), "{\"attributes\":{\"AXRole\":\"AXApplication\",\"AXTitle\":\"Mail\"},\"childHashes\":[\"" +
                             result.nodes[1].hash + "\"],\"hash\":\"" + result.nodes[0].hash + "\"}");
  const auto& leaf = json["nodes"][2];
  EXPECT_EQ(leaf["parentHash"], result.nodes[1].hash);
  EXPECT_TRUE(leaf["childHashes"].is_array());
  EXPECT_TRUE(leaf["childHashes"].empty());

  permissions.trusted = false;
  const JsonCodec::Value refused =
      service.snapshot("Mail", "com.apple.mail", pid, AccessibilityWindowScope::unrestricted());
  EXPECT_EQ(JsonCodec::serialize(refused),
            "{\"applicationName\":\"Mail\",\"bundleID\":\"com.apple.mail\",\"capturedAtMilliseconds\":1767225600123,"
            "\"extractionMode\":\"none\",\"nodes\":[],\"partial\":true,\"processID\":612,\"searchableText\":\"\","
            "\"status\":\"permissionUnavailable\"}");
}

TEST(AccessibilitySnapshotRecordsTest, EveryExtractionModeAndAnEmptyAttributeMapTravelAsSpecified) {
  struct Case {
    AccessibilityExtractionMode mode;
    const char* text;
  };
  for (const Case& testCase :
       {Case{AccessibilityExtractionMode::staticWalk, "static"},
        Case{AccessibilityExtractionMode::incremental, "incremental"},
        Case{AccessibilityExtractionMode::cached, "cached"}, Case{AccessibilityExtractionMode::none, "none"}}) {
    SCOPED_TRACE(testCase.text);
    const JsonCodec::Value json = AccessibilitySnapshotResult{.extractionMode = testCase.mode};
    EXPECT_EQ(json["extractionMode"], testCase.text);
  }
  const JsonCodec::Value node = AccessibilityNodeResult{.hash = "h"};
  EXPECT_EQ(JsonCodec::serialize(node), "{\"attributes\":{},\"childHashes\":[],\"hash\":\"h\"}");
  const JsonCodec::Value unrequested = unrequestedSnapshot({.applicationName = "A", .bundleID = "b", .processID = 1});
  EXPECT_EQ(unrequested["status"], "success");
  EXPECT_EQ(unrequested["extractionMode"], "none");
  EXPECT_EQ(unrequested["partial"], false);
}

}  // namespace
}  // namespace Sablekit
