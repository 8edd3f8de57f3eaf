// Tests for the accessibility observer coordinator on the simulated client:
// revisions, overflow, acknowledgement, eviction, change kinds, failures and
// which threads touch the observers.
#include <atomic>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "Sablekit/accessibility/AccessibilityObserverCoordinator.h"
#include "Sablekit/platform/simulated/SimulatedAccessibility.h"
#include "tests/support/FixedPermissions.h"

namespace Sablekit {
namespace {

using Testing::FixedPermissions;

class ObserverCoordinatorTest : public ::testing::Test {
 protected:
  ObserverCoordinatorTest() {
    for (std::int32_t processID = 1; processID <= 9; ++processID) {
      const std::string id = "app" + std::to_string(processID);
      accessibility.addApplication(processID, id).addElement(id + ".field", processID);
    }
    coordinator = std::make_unique<AccessibilityObserverCoordinator>(accessibility, accessibility, permissions, clock);
  }

  // Asks once so a registration is scheduled, lets it run, and asks again.
  AccessibilityObservationBatch observe(std::int32_t processID, const std::string& bundleID = "com.example.app") {
    coordinator->changes(processID, bundleID, 0);
    accessibility.drainObserverLoops();
    return coordinator->changes(processID, bundleID, 0);
  }

  void post(const std::string& elementID, const std::string& notification, int times = 1) {
    for (int index = 0; index < times; ++index) {
      accessibility.postNotification(elementID, notification);
    }
    accessibility.drainObserverLoops();
  }

  SimulatedClock clock;
  FaultInjector faults;
  SimulatedAccessibility accessibility{clock, faults};
  FixedPermissions permissions;
  std::unique_ptr<AccessibilityObserverCoordinator> coordinator;
};

TEST_F(ObserverCoordinatorTest, FirstRequestStartsTheObservationInTheBackground) {
  const auto first = coordinator->changes(1, "com.example.app", 0);
  EXPECT_EQ(first.revision, 0u);
  EXPECT_TRUE(first.changes.empty());
  EXPECT_FALSE(first.identityChanged);
  accessibility.drainObserverLoops();

  const auto second = coordinator->changes(1, "com.example.app", 0);
  EXPECT_EQ(second.revision, 1u);
  EXPECT_TRUE(second.changes.empty());
  EXPECT_FALSE(second.overflowed);
  EXPECT_EQ(accessibility.messagingTimeout("app1"), 0.5);
  EXPECT_EQ(accessibility.attachedObserverCount(), 1u);
}

TEST_F(ObserverCoordinatorTest, NotificationsAreNumberedInArrivalOrderAndFilteredByRevision) {
  observe(1);
  clock.advance(3.0);
  post("app1.field", "AXValueChanged", 3);

  const auto all = coordinator->changes(1, "com.example.app", 0);
  EXPECT_EQ(all.revision, 4u);
  ASSERT_EQ(all.changes.size(), 3u);
  for (std::size_t index = 0; index < 3; ++index) {
    EXPECT_EQ(all.changes[index].revision, index + 2);
    EXPECT_EQ(all.changes[index].kind, AccessibilityObservedChangeKind::interaction);
    EXPECT_EQ(all.changes[index].notification, "AXValueChanged");
    EXPECT_EQ(SimulatedAccessibility::elementID(all.changes[index].element), "app1.field");
    EXPECT_EQ(all.changes[index].occurredAt, clock.now());
  }

  const auto newer = coordinator->changes(1, "com.example.app", 2);
  ASSERT_EQ(newer.changes.size(), 2u);
  EXPECT_EQ(newer.changes[0].revision, 3u);
  EXPECT_EQ(newer.changes[1].revision, 4u);
  // A batch is a copy: acknowledging afterwards leaves it intact.
  coordinator->acknowledge(1, "com.example.app", 4);
  EXPECT_EQ(newer.changes.size(), 2u);
  EXPECT_TRUE(coordinator->changes(1, "com.example.app", 0).changes.empty());
}

TEST_F(ObserverCoordinatorTest, MoreThanSixtyFourPendingChangesOverflowUntilFullyAcknowledged) {
  observe(1);
  post("app1.field", "AXMoved", 64);
  auto batch = coordinator->changes(1, "com.example.app", 0);
  EXPECT_EQ(batch.changes.size(), 64u);
  EXPECT_FALSE(batch.overflowed);

  post("app1.field", "AXMoved");  // the 65th
  batch = coordinator->changes(1, "com.example.app", 0);
  EXPECT_EQ(batch.revision, 66u);
  EXPECT_TRUE(batch.changes.empty());
  EXPECT_TRUE(batch.overflowed);

  post("app1.field", "AXResized");  // the 66th is kept
  batch = coordinator->changes(1, "com.example.app", 0);
  ASSERT_EQ(batch.changes.size(), 1u);
  EXPECT_EQ(batch.changes[0].revision, 67u);
  EXPECT_TRUE(batch.overflowed);

  coordinator->acknowledge(1, "com.example.app", 66);  // older than current: flag stays
  batch = coordinator->changes(1, "com.example.app", 0);
  EXPECT_EQ(batch.changes.size(), 1u);
  EXPECT_TRUE(batch.overflowed);

  coordinator->acknowledge(1, "com.example.app", 67);
  batch = coordinator->changes(1, "com.example.app", 0);
  EXPECT_TRUE(batch.changes.empty());
  EXPECT_FALSE(batch.overflowed);
}

TEST_F(ObserverCoordinatorTest, AcknowledgingDropsOnlyAbsorbedChangesOfTheMatchingObservation) {
  observe(1, "com.example.app");
  post("app1.field", "AXTitleChanged", 4);  // revisions 2..5

  coordinator->acknowledge(1, "com.other.app", 5);    // another identity: ignored
  coordinator->acknowledge(2, "com.example.app", 5);  // not observed: ignored
  EXPECT_EQ(coordinator->changes(1, "com.example.app", 0).changes.size(), 4u);

  coordinator->acknowledge(1, " COM.Example.App\n", 3);  // normalised before comparing
  const auto batch = coordinator->changes(1, "\tcom.EXAMPLE.app ", 0);
  EXPECT_FALSE(batch.identityChanged);
  ASSERT_EQ(batch.changes.size(), 2u);
  EXPECT_EQ(batch.changes[0].revision, 4u);
  EXPECT_EQ(batch.changes[1].revision, 5u);
}

TEST_F(ObserverCoordinatorTest, AnotherBundleIdentifierReportsIdentityChangeAndReplacesTheObservation) {
  observe(1, "com.example.app");
  post("app1.field", "AXValueChanged");

  const auto changed = coordinator->changes(1, "com.example.renamed", 0);
  EXPECT_TRUE(changed.identityChanged);
  EXPECT_EQ(changed.revision, 0u);
  accessibility.drainObserverLoops();

  const auto replaced = coordinator->changes(1, "com.example.renamed", 0);
  EXPECT_FALSE(replaced.identityChanged);
  EXPECT_EQ(replaced.revision, 1u);
  EXPECT_TRUE(replaced.changes.empty());
  EXPECT_TRUE(coordinator->changes(1, "com.example.app", 0).identityChanged);
  EXPECT_EQ(accessibility.attachedObserverCount(), 1u);  // the old observer is gone
  EXPECT_EQ(accessibility.postNotification("app1.field", "AXValueChanged"), 1u);
}

TEST_F(ObserverCoordinatorTest, TheNinthProcessEvictsTheLeastRecentlyUsedObservation) {
  for (std::int32_t processID = 1; processID <= 8; ++processID) {
    observe(processID);
    clock.advance(1.0);
  }
  coordinator->changes(1, "com.example.app", 0);  // process 1 was just asked about
  clock.advance(1.0);
  post("app2.field", "AXMoved");  // a notification counts as use too
  clock.advance(1.0);
  EXPECT_EQ(observe(9).revision, 1u);

  EXPECT_EQ(accessibility.attachedObserverCount(), 8u);
  EXPECT_EQ(accessibility.postNotification("app3.field", "AXMoved"), 0u);
  accessibility.drainObserverLoops();
  for (const std::int32_t kept : {1, 2, 4, 5, 6, 7, 8, 9}) {
    SCOPED_TRACE(kept);
    EXPECT_GE(coordinator->changes(kept, "com.example.app", 0).revision, 1u);
  }
  EXPECT_EQ(coordinator->changes(3, "com.example.app", 0).revision, 0u);  // asked last: schedules anew
}

TEST_F(ObserverCoordinatorTest, EveryNotificationIsSubscribedAndClassified) {
  struct Case {
    const char* notification;
    AccessibilityObservedChangeKind kind;
  };
  const Case cases[] = {
      {"AXFocusedWindowChanged", AccessibilityObservedChangeKind::structural},
      {"AXFocusedUIElementChanged", AccessibilityObservedChangeKind::structural},
      {"AXWindowCreated", AccessibilityObservedChangeKind::structural},
      {"AXUIElementDestroyed", AccessibilityObservedChangeKind::structural},
      {"AXValueChanged", AccessibilityObservedChangeKind::interaction},
      {"AXTitleChanged", AccessibilityObservedChangeKind::interaction},
      {"AXLayoutChanged", AccessibilityObservedChangeKind::structural},
      {"AXSelectedChildrenChanged", AccessibilityObservedChangeKind::structural},
      {"AXSelectedTextChanged", AccessibilityObservedChangeKind::interaction},
      {"AXMoved", AccessibilityObservedChangeKind::patchable},
      {"AXResized", AccessibilityObservedChangeKind::patchable},
  };
  ASSERT_EQ(std::size(cases), observedNotifications.size());
  observe(1);
  for (std::size_t index = 0; index < std::size(cases); ++index) {
    const Case& entry = cases[index];
    SCOPED_TRACE(entry.notification);
    EXPECT_EQ(observedNotifications[index], entry.notification);
    EXPECT_EQ(changeKind(entry.notification), entry.kind);
    post("app1.field", entry.notification);
    const auto batch = coordinator->changes(1, "com.example.app", index + 1);
    ASSERT_EQ(batch.changes.size(), 1u);
    EXPECT_EQ(batch.changes[0].kind, entry.kind);
  }
  EXPECT_EQ(changeKind("AXRowCountChanged"), AccessibilityObservedChangeKind::structural);
  EXPECT_EQ(changeKind("axvaluechanged"), AccessibilityObservedChangeKind::structural);  // exact names only
  // Names it never subscribed to are not delivered at all.
  EXPECT_EQ(accessibility.postNotification("app1.field", "AXRowCountChanged"), 0u);
}

TEST_F(ObserverCoordinatorTest, FailedRegistrationsLeaveTheProcessUnobservedUntilARetrySucceeds) {
  struct Case {
    const char* name;
    const char* operation;  // empty: withdraw trust instead
    FaultKind kind;
  };
  const Case cases[] = {
      {"untrusted", "", FaultKind::fail},
      {"observer refused", "accessibility.createObserver", FaultKind::fail},
      {"observer missing", "accessibility.createObserver", FaultKind::empty},
      {"every subscription refused", "accessibility.addNotification", FaultKind::fail},
  };
  std::int32_t processID = 0;
  for (const Case& entry : cases) {
    SCOPED_TRACE(entry.name);
    ++processID;
    if (*entry.operation == '\0') {
      permissions.trusted = false;
    } else {
      faults.arm(entry.operation, entry.kind);
    }
    EXPECT_EQ(observe(processID).revision, 0u);
    EXPECT_EQ(accessibility.attachedObserverCount(), static_cast<std::size_t>(processID - 1));

    permissions.trusted = true;
    if (*entry.operation != '\0') {
      faults.clear(entry.operation);
    }
    EXPECT_EQ(observe(processID).revision, 1u);  // the request after the failure retries
  }
  // A process without an accessibility tree refuses every subscription.
  accessibility.addElement("orphan", 77);
  EXPECT_EQ(observe(77).revision, 0u);
}

TEST_F(ObserverCoordinatorTest, ARefusedSubscriptionSkipsOnlyThatNotification) {
  faults.arm("accessibility.addNotification", FaultKind::fail, 1);  // the first: AXFocusedWindowChanged
  EXPECT_EQ(observe(1).revision, 1u);
  EXPECT_EQ(accessibility.postNotification("app1.field", "AXFocusedWindowChanged"), 0u);
  EXPECT_EQ(accessibility.postNotification("app1.field", "AXFocusedUIElementChanged"), 1u);
}

TEST_F(ObserverCoordinatorTest, OnlyTheObserverThreadTouchesObservers) {
  observe(1, "com.example.app");
  for (std::int32_t processID = 2; processID <= 9; ++processID) {
    clock.advance(1.0);
    observe(processID);  // the ninth evicts
  }
  observe(3, "com.example.renamed");  // replaces
  post("app3.field", "AXWindowCreated");
  post("app4.field", "AXLayoutChanged");
  coordinator.reset();  // releases every observer

  EXPECT_EQ(accessibility.attachedObserverCount(), 0u);
  const auto threads = accessibility.observerThreads();
  ASSERT_EQ(threads.size(), 1u);
  EXPECT_NE(*threads.begin(), std::this_thread::get_id());
}

TEST_F(ObserverCoordinatorTest, MainThreadCollectsWhileTheLoopDelivers) {
  observe(1);
  constexpr int notifications = 2000;
  std::thread poster([this] {
    for (int index = 0; index < notifications; ++index) {
      accessibility.postNotification("app1.field", index % 2 ? "AXValueChanged" : "AXMoved");
    }
  });
  std::uint64_t seen = 1;
  std::uint64_t lastRevision = 1;
  bool posterDone = false;
  while (true) {
    const auto batch = coordinator->changes(1, "com.example.app", seen);
    ASSERT_GE(batch.revision, lastRevision);
    for (const auto& change : batch.changes) {
      ASSERT_GT(change.revision, seen);
      ASSERT_LE(change.revision, batch.revision);
      seen = change.revision;
    }
    lastRevision = batch.revision;
    seen = batch.revision;
    coordinator->acknowledge(1, "com.example.app", batch.revision);
    if (posterDone) {
      break;
    }
    if (batch.revision == 1 + notifications) {
      poster.join();
      accessibility.drainObserverLoops();
      posterDone = true;
    }
  }
  EXPECT_EQ(lastRevision, 1u + notifications);
}

}  // namespace
}  // namespace Sablekit
