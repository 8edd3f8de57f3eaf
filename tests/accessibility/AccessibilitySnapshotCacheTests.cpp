// Tests for the snapshot cache's decision between the cached snapshot, a
// patch of the changed subtrees and a full walk, on the simulated client with
// the real observer coordinator and a hand-moved clock.
#include <atomic>
#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "Sablekit/accessibility/AccessibilitySnapshotCache.h"
#include "Sablekit/accessibility/AccessibilitySnapshotService.h"
#include "Sablekit/platform/simulated/SimulatedAccessibility.h"
#include "tests/support/FixedPermissions.h"

namespace Sablekit {
namespace {

using Testing::FixedPermissions;

const AccessibilityExtractionMode staticWalk = AccessibilityExtractionMode::staticWalk;
const AccessibilityExtractionMode incremental = AccessibilityExtractionMode::incremental;
const AccessibilityExtractionMode cached = AccessibilityExtractionMode::cached;

// Process 1: application "app" > window "window" > button "button" and field "field".
class SnapshotCacheTest : public ::testing::Test {
 protected:
  SnapshotCacheTest() {
    for (std::int32_t processID = 1; processID <= 9; ++processID) {
      const std::string id = processID == 1 ? "app" : "app" + std::to_string(processID);
      accessibility.addApplication(processID, id).setValue(id, "AXRole", std::string("AXApplication"));
    }
    accessibility.addElement("window", 1)
        .addElement("button", 1)
        .addElement("field", 1)
        .addElement("stranger", 1)
        .setChildren("app", {"window"})
        .setChildren("window", {"button", "field"})
        .setValue("window", "AXRole", std::string("AXWindow"))
        .setValue("button", "AXRole", std::string("AXButton"))
        .setValue("button", "AXTitle", std::string("Send"))
        .setValue("field", "AXRole", std::string("AXTextField"))
        .setValue("field", "AXValue", std::string("hello"));
    coordinator = std::make_unique<AccessibilityObserverCoordinator>(accessibility, accessibility, permissions, clock);
    walks = std::make_unique<AccessibilitySnapshotService>(accessibility, permissions, clock);
    cache = std::make_unique<AccessibilitySnapshotCache>(*walks, *coordinator, permissions, clock);
  }

  ~SnapshotCacheTest() override {
    cache.reset();
    walks.reset();
    coordinator.reset();
  }

  AccessibilitySnapshotResult request(std::int32_t processID = 1, const std::string& bundleID = "com.example.app") {
    return cache->snapshot("Example", bundleID, processID, AccessibilityWindowScope::unrestricted());
  }

  // The first walk, with the observation registered and caught up, as after
  // the first capture of an application.
  AccessibilitySnapshotResult observedWalk() {
    const AccessibilitySnapshotResult first = request();
    accessibility.drainObserverLoops();
    EXPECT_EQ(request().extractionMode, cached);
    return first;
  }

  void post(const std::string& elementID, const std::string& notification, int times = 1) {
    for (int index = 0; index < times; ++index) {
      accessibility.postNotification(elementID, notification);
    }
    accessibility.drainObserverLoops();
  }

  static std::string attribute(const AccessibilitySnapshotResult& result,
                               const std::string& role,
                               const std::string& name) {
    for (const AccessibilityNodeResult& node : result.nodes) {
      const auto found = node.attributes.find("AXRole");
      if (found != node.attributes.end() && found->second == role) {
        const auto value = node.attributes.find(name);
        return value == node.attributes.end() ? "" : value->second;
      }
    }
    return "<no node>";
  }

  const AccessibilityLiveCacheState& state() { return cache->entry(1)->liveState; }

  SimulatedClock clock;
  FaultInjector faults;
  SimulatedAccessibility accessibility{clock, faults};
  FixedPermissions permissions;
  std::unique_ptr<AccessibilityObserverCoordinator> coordinator;
  std::unique_ptr<AccessibilitySnapshotService> walks;
  std::unique_ptr<AccessibilitySnapshotCache> cache;
};

TEST_F(SnapshotCacheTest, WithoutTrustTheEntryIsDroppedAndNothingIsRead) {
  observedWalk();
  ASSERT_NE(cache->entry(1), nullptr);
  permissions.trusted = false;
  const std::uint64_t calls = accessibility.callCount();

  const AccessibilitySnapshotResult result = request();
  EXPECT_EQ(result.status, AccessibilitySnapshotStatus::permissionUnavailable);
  EXPECT_EQ(result.extractionMode, AccessibilityExtractionMode::none);
  EXPECT_TRUE(result.partial);
  EXPECT_FALSE(result.rootHash);
  EXPECT_TRUE(result.nodes.empty());
  EXPECT_EQ(result.searchableText, "");
  EXPECT_EQ(cache->entry(1), nullptr);
  EXPECT_EQ(accessibility.callCount(), calls);

  permissions.trusted = true;
  EXPECT_EQ(request().extractionMode, staticWalk);
}

TEST_F(SnapshotCacheTest, RepeatedRequestsWithoutChangesAnswerFromTheCacheWithTheirOwnTime) {
  const AccessibilitySnapshotResult first = request();
  EXPECT_EQ(first.extractionMode, staticWalk);
  EXPECT_EQ(first.nodes.size(), 4u);
  EXPECT_EQ(attribute(first, "AXButton", "AXTitle"), "Send");

  accessibility.drainObserverLoops();
  clock.advance(0.01);
  const std::uint64_t calls = accessibility.callCount();
  const AccessibilitySnapshotResult second = request();
  EXPECT_EQ(second.extractionMode, cached);
  EXPECT_EQ(second.partial, first.partial);
  EXPECT_EQ(second.nodes, first.nodes);
  EXPECT_EQ(second.rootHash, first.rootHash);
  EXPECT_EQ(second.capturedAtMilliseconds, first.capturedAtMilliseconds + 10);
  EXPECT_EQ(accessibility.callCount(), calls) << "a cached answer reads nothing";
  // The caught-up observation revision is remembered and acknowledged.
  EXPECT_EQ(cache->entry(1)->revision, 1u);
}

TEST_F(SnapshotCacheTest, BundleIdentifierIsComparedNormalised) {
  observedWalk();
  EXPECT_EQ(request(1, "  COM.Example.App\n").extractionMode, cached);
  const AccessibilitySnapshotResult other = request(1, "com.example.other");
  EXPECT_EQ(other.extractionMode, staticWalk);
  EXPECT_EQ(other.bundleID, "com.example.other");
  EXPECT_EQ(cache->entry(1)->bundleID, "com.example.other");
}

TEST_F(SnapshotCacheTest, InteractionIsDeferredFiveTimesThenPatchedOnceQuiet) {
  observedWalk();
  clock.advance(0.3);
  accessibility.setValue("button", "AXTitle", std::string("Sent"));
  post("button", "AXTitleChanged");

  for (int deferral = 1; deferral <= 5; ++deferral) {
    clock.advance(0.2 / 5);
    const AccessibilitySnapshotResult result = request();
    SCOPED_TRACE(deferral);
    EXPECT_EQ(result.extractionMode, cached);
    EXPECT_TRUE(result.partial);
    EXPECT_EQ(attribute(result, "AXButton", "AXTitle"), "Send");
    EXPECT_EQ(state().consecutiveInteractionDeferrals, deferral);
  }
  // Past five deferrals the interaction no longer holds the patch back; only
  // quiescence (0.1 s since the change) still does.
  const AccessibilitySnapshotResult patched = request();
  EXPECT_EQ(patched.extractionMode, incremental);
  EXPECT_EQ(attribute(patched, "AXButton", "AXTitle"), "Sent");
  EXPECT_EQ(state().consecutiveInteractionDeferrals, 0);
  EXPECT_EQ(state().partialPatchCount, 1);
  EXPECT_EQ(patched.nodes.size(), 4u);
  EXPECT_EQ(cache->entry(1)->result, patched);

  // The button's hash changed and its parent links to the new hash.
  std::string buttonHash;
  for (const AccessibilityNodeResult& node : patched.nodes) {
    if (node.attributes.at("AXRole") == "AXButton") {
      buttonHash = node.hash;
    }
  }
  bool linked = false;
  for (const AccessibilityNodeResult& node : patched.nodes) {
    for (const std::string& child : node.childHashes) {
      linked = linked || child == buttonHash;
    }
  }
  EXPECT_TRUE(linked);

  // Patched changes were acknowledged: the next request is cached.
  EXPECT_EQ(request().extractionMode, cached);
}

TEST_F(SnapshotCacheTest, NodesCachedForOtherWindowsAreNeverAnswered) {
  accessibility.setValue("window", "AXTitle", std::string("Draft"))
      .setValue("window", "AXPosition", AccessibilityPoint{0, 0})
      .setValue("window", "AXSize", AccessibilitySize{800, 600});
  const AccessibilityWindowScope draftShown({{.title = "Draft", .bounds = {0, 0, 800, 600}}});
  const auto snapshot = [&](const AccessibilityWindowScope& windows) {
    return cache->snapshot("Example", "com.example.app", 1, windows);
  };
  EXPECT_EQ(snapshot(draftShown).nodes.size(), 4u);
  accessibility.drainObserverLoops();
  EXPECT_EQ(snapshot(draftShown).extractionMode, cached);

  // The window is no longer shown (minimised, say): walked afresh, without it.
  const AccessibilitySnapshotResult hidden = snapshot(AccessibilityWindowScope());
  EXPECT_EQ(hidden.extractionMode, staticWalk);
  EXPECT_EQ(hidden.nodes.size(), 1u);
  EXPECT_EQ(hidden.searchableText.find("hello"), std::string::npos);
  EXPECT_EQ(snapshot(draftShown).extractionMode, staticWalk);
}

TEST_F(SnapshotCacheTest, APatchBelowASecureElementStaysMasked) {
  accessibility.setValue("window", "AXIdentifier", std::string("password-sheet"));
  observedWalk();
  EXPECT_EQ(attribute(request(), "AXTextField", "AXValue"), "");
  clock.advance(0.3);
  accessibility.setValue("field", "AXValue", std::string("s3cret"));
  post("field", "AXValueChanged");
  clock.advance(0.4);
  const AccessibilitySnapshotResult patched = request();
  EXPECT_EQ(patched.extractionMode, incremental);
  EXPECT_EQ(attribute(patched, "AXTextField", "AXValue"), "");
  EXPECT_EQ(patched.searchableText.find("s3cret"), std::string::npos);
}

TEST_F(SnapshotCacheTest, InteractionIsPatchedOnceTheUserPauses) {
  observedWalk();
  clock.advance(0.3);
  post("field", "AXValueChanged");
  clock.advance(0.2);
  EXPECT_EQ(request().extractionMode, cached);
  clock.advance(0.2);  // 0.4 s quiet: past the interaction window
  EXPECT_EQ(request().extractionMode, incremental);
}

TEST_F(SnapshotCacheTest, QuiescenceAndWalkCooldownHoldPatchesBack) {
  struct Case {
    const char* name;
    double sinceWalk;    // seconds between the walk and the change
    double sinceChange;  // seconds between the change and the request
    AccessibilityExtractionMode expected;
  };
  const Case cases[] = {
      {"moved after a quiet 0.15 s", 0.2, 0.15, incremental},
      {"still moving", 0.3, 0.05, cached},
      {"walked too recently", 0.05, 0.15, cached},
  };
  for (const Case& item : cases) {
    SCOPED_TRACE(item.name);
    cache = std::make_unique<AccessibilitySnapshotCache>(*walks, *coordinator, permissions, clock);
    clock.advance(1.0);
    request();
    accessibility.drainObserverLoops();
    clock.advance(item.sinceWalk);
    post("window", "AXMoved");
    clock.advance(item.sinceChange);
    const AccessibilitySnapshotResult result = request();
    EXPECT_EQ(result.extractionMode, item.expected);
    EXPECT_EQ(result.partial, item.expected == cached);
    clock.advance(0.3);
    EXPECT_EQ(request().extractionMode, item.expected == cached ? incremental : cached);
  }
}

TEST_F(SnapshotCacheTest, NinthPatchedChangeForcesAFullWalk) {
  observedWalk();
  clock.advance(0.5);
  post("window", "AXMoved", 8);
  clock.advance(0.2);
  EXPECT_EQ(request().extractionMode, incremental);
  EXPECT_EQ(state().partialPatchCount, 8);

  clock.advance(0.5);
  post("window", "AXMoved");
  clock.advance(0.2);
  EXPECT_EQ(request().extractionMode, staticWalk);
  EXPECT_EQ(state().partialPatchCount, 0);
  EXPECT_TRUE(state().lastForcedRebuildAt);
}

TEST_F(SnapshotCacheTest, ForcedWalksAreTwoSecondsApartAndAPostponedReasonRunsAfterwards) {
  observedWalk();
  clock.advance(2.0);
  EXPECT_EQ(request().extractionMode, staticWalk) << "stale";
  accessibility.drainObserverLoops();

  clock.advance(0.5);
  post("stranger", "AXMoved");  // not in the snapshot
  clock.advance(0.2);
  const AccessibilitySnapshotResult held = request();
  EXPECT_EQ(held.extractionMode, cached);
  EXPECT_TRUE(held.partial);
  EXPECT_EQ(state().pendingForcedRebuild, AccessibilityForcedRebuildReason::unresolvedElement);

  clock.advance(1.4);  // 2.1 s after the forced walk
  EXPECT_EQ(request().extractionMode, staticWalk);
  EXPECT_FALSE(state().pendingForcedRebuild);
}

TEST_F(SnapshotCacheTest, SnapshotsAreWalkedAgainOnceStale) {
  observedWalk();
  clock.advance(1.9);
  EXPECT_EQ(request().extractionMode, cached);
  clock.advance(0.1);
  EXPECT_EQ(request().extractionMode, staticWalk);
}

TEST_F(SnapshotCacheTest, ChangesThatCannotBePatchedWalkAtOnce) {
  struct Case {
    const char* name;
    const char* element;
    const char* notification;
  };
  const Case cases[] = {
      {"the application element itself", "app", "AXMoved"},
      {"an element the snapshot lacks", "stranger", "AXMoved"},
      {"a structural change", "window", "AXLayoutChanged"},
  };
  for (const Case& item : cases) {
    SCOPED_TRACE(item.name);
    cache = std::make_unique<AccessibilitySnapshotCache>(*walks, *coordinator, permissions, clock);
    clock.advance(3.0);
    request();
    accessibility.drainObserverLoops();
    clock.advance(0.5);
    post(item.element, item.notification);
    clock.advance(0.2);
    EXPECT_EQ(request().extractionMode, staticWalk);
  }
}

TEST_F(SnapshotCacheTest, LostNotificationsForceAWalkOrWaitForTheCooldown) {
  observedWalk();
  clock.advance(0.5);
  post("window", "AXMoved", 70);
  clock.advance(0.2);
  EXPECT_EQ(request().extractionMode, staticWalk);
  accessibility.drainObserverLoops();

  clock.advance(0.5);
  post("window", "AXMoved", 70);
  clock.advance(0.2);
  const AccessibilitySnapshotResult held = request();
  EXPECT_EQ(held.extractionMode, cached);
  EXPECT_TRUE(held.partial);
  EXPECT_EQ(state().pendingForcedRebuild, AccessibilityForcedRebuildReason::eventOverflow);
}

TEST_F(SnapshotCacheTest, NinthProcessEvictsTheOneBuiltLongestAgo) {
  for (std::int32_t processID = 1; processID <= 9; ++processID) {
    clock.advance(0.1);
    request(processID);
  }
  EXPECT_EQ(cache->size(), 8u);
  EXPECT_EQ(cache->entry(1), nullptr);
  for (std::int32_t processID = 2; processID <= 9; ++processID) {
    EXPECT_NE(cache->entry(processID), nullptr) << processID;
  }
}

TEST_F(SnapshotCacheTest, ABackwardsClockAnswersFromTheCache) {
  observedWalk();
  clock.advance(0.5);
  post("window", "AXMoved");
  clock.setWallTime(clock.now() - 10.0);
  const AccessibilitySnapshotResult result = request();
  EXPECT_EQ(result.extractionMode, cached);
  EXPECT_TRUE(result.partial);
}

}  // namespace
}  // namespace Sablekit
