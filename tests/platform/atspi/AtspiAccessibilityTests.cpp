// The AT-SPI client against a real GTK 3 application on a private display
// and session bus: trust, elements and identity, batched reads, the walk and
// its secure field, a hung application, the wake, and observers.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <thread>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "Sablekit/accessibility/AccessibilityObserverCoordinator.h"
#include "Sablekit/accessibility/AccessibilitySnapshotCache.h"
#include "Sablekit/accessibility/AccessibilitySnapshotService.h"
#include "Sablekit/platform/atspi/AtspiAccessibility.h"
#include "Sablekit/platform/posix/SystemClock.h"
#include "Sablekit/platform/simulated/SimulatedClock.h"
#include "Sablekit/protocol/AccessibilitySnapshotResult.h"
#include "tests/support/AccessibilityBusSession.h"
#include "tests/support/FixedPermissions.h"
#include "tests/support/RunningChild.h"
#include "tests/support/X11Tools.h"

namespace Sablekit {
namespace {

using Testing::AccessibilityBusSession;
using Testing::RunningChild;
using Testing::X11Tools;

constexpr double safetySeconds = 20.0;
constexpr const char* windowTitle = "Accessibility test window";
constexpr const char* labelText = "Harbour lantern label";
constexpr const char* entryText = "entry words";
constexpr const char* passwordText = "hunter2orchid";

// A GTK 3 application on the session, started once for the suite.
class AtspiAccessibilityTest : public ::testing::Test {
 public:
  static void SetUpTestSuite() {
    if (AccessibilityBusSession::installed() && X11Tools::installed("xdotool")) {
      world_ = std::make_unique<World>();
    }
  }
  static void TearDownTestSuite() { world_.reset(); }

 protected:
  struct World {
    World() {
      auto environment = session.environment();
      environment["GDK_BACKEND"] = "x11";
      application =
          std::make_unique<RunningChild>("/usr/bin/python3",
                                         std::vector<std::string>{SABLEKIT_GTK_ACCESSIBILITY_APPLICATION, windowTitle,
                                                                  labelText, entryText, passwordText},
                                         environment, "/dev/null");
      const auto announced = application->readLine(safetySeconds);
      if (!announced || announced->empty()) {
        throw std::runtime_error("the GTK application did not show its window");
      }
      window = std::stoul(*announced);
    }

    AccessibilityBusSession session;
    X11Tools tools{session.display()};
    std::unique_ptr<RunningChild> application;
    unsigned long window = 0;
  };

  void SetUp() override {
    if (!world_) {
      GTEST_SKIP() << "Xvfb, openbox, dbus-daemon, the AT-SPI bus launcher or xdotool is not installed";
    }
    client_ = std::make_unique<AtspiAccessibility>(
        clock_, AtspiAccessibility::Options{.sessionBusAddress = world_->session.sessionBusAddress()});
  }

  std::int32_t processID() const { return world_->application->processID(); }

  // The first element in a depth-first walk whose role is `role`.
  std::optional<AccessibilityElement> find(const AccessibilityElement& from, const std::string& role, int depth = 0) {
    const auto value = client_->readAttribute(from, "AXRole");
    if (value && std::get_if<std::string>(&value->storage) != nullptr &&
        std::get<std::string>(value->storage) == role) {
      return from;
    }
    if (depth > 12) {
      return std::nullopt;
    }
    const auto children = client_->readAttribute(from, "AXChildren");
    if (!children) {
      return std::nullopt;
    }
    for (const auto& child : std::get<AccessibilityArray>(children->storage).elements) {
      if (auto found = find(std::get<AccessibilityElementReference>(child.storage).element, role, depth + 1)) {
        return found;
      }
    }
    return std::nullopt;
  }

  static std::unique_ptr<World> world_;
  SystemClock clock_;
  std::unique_ptr<AtspiAccessibility> client_;
};

std::unique_ptr<AtspiAccessibilityTest::World> AtspiAccessibilityTest::world_;

std::string text(const AccessibilityValue& value) {
  const auto* string = std::get_if<std::string>(&value.storage);
  return string == nullptr ? "" : *string;
}

TEST_F(AtspiAccessibilityTest, TrustNeedsTheBusAndItsRegistry) {
  EXPECT_TRUE(client_->trusted());
  AtspiAccessibility noSession(clock_, {});
  EXPECT_FALSE(noSession.trusted());
  AtspiAccessibility deadSession(clock_, {.sessionBusAddress = "unix:path=/nonexistent/sablekit-bus"});
  EXPECT_FALSE(deadSession.trusted());
}

TEST_F(AtspiAccessibilityTest, WalkReportsTheWindowsTextsAndMasksThePassword) {
  Testing::FixedPermissions permissions;
  AccessibilitySnapshotService service(*client_, permissions, clock_);
  const AccessibilitySnapshotResult snapshot =
      service.snapshot("GTK test", "org.example.gtk", processID(), AccessibilityWindowScope::unrestricted());

  const auto node = [&](const std::string& role, const std::string& title) -> const AccessibilityNodeResult* {
    for (const auto& candidate : snapshot.nodes) {
      const auto foundRole = candidate.attributes.find("AXRole");
      const auto foundTitle = candidate.attributes.find("AXTitle");
      if (foundRole != candidate.attributes.end() && foundRole->second == role &&
          (title.empty() || (foundTitle != candidate.attributes.end() && foundTitle->second == title))) {
        return &candidate;
      }
    }
    return nullptr;
  };
  ASSERT_NE(node("AXApplication", ""), nullptr);
  EXPECT_EQ(snapshot.rootHash, node("AXApplication", "")->hash);
  const AccessibilityNodeResult* window = node("AXWindow", windowTitle);
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(window->attributes.at("AXSubrole"), "AXStandardWindow");
  EXPECT_EQ(window->parentHash, snapshot.rootHash);
  ASSERT_NE(node("AXStaticText", labelText), nullptr);
  EXPECT_EQ(node("AXStaticText", labelText)->attributes.at("AXValue"), labelText);
  ASSERT_TRUE(window->attributes.contains("AXPosition") && window->attributes.contains("AXSize"));

  const AccessibilityNodeResult* entry = nullptr;
  const AccessibilityNodeResult* secret = nullptr;
  for (const auto& candidate : snapshot.nodes) {
    if (candidate.attributes.contains("AXRole") && candidate.attributes.at("AXRole") == "AXTextField") {
      (candidate.attributes.contains("AXSubrole") ? secret : entry) = &candidate;
    }
  }
  ASSERT_NE(entry, nullptr);
  EXPECT_EQ(entry->attributes.at("AXValue"), entryText);
  ASSERT_NE(secret, nullptr);
  EXPECT_EQ(secret->attributes.at("AXSubrole"), "AXSecureTextField");
  EXPECT_FALSE(secret->attributes.contains("AXValue"));

  nlohmann::json encoded;
  to_json(encoded, snapshot);
  const std::string line = encoded.dump();
  EXPECT_EQ(line.find(passwordText), std::string::npos);
  EXPECT_NE(snapshot.searchableText.find(labelText), std::string::npos);
  EXPECT_NE(snapshot.searchableText.find(entryText), std::string::npos);
  EXPECT_FALSE(snapshot.partial);
}

TEST_F(AtspiAccessibilityTest, BatchedReadsAnswerEverySlot) {
  const AccessibilityElement application = client_->applicationElement(processID());
  const std::vector<std::string> names{"AXRole", "AXHidden", "AXTitle", "AXChildren"};
  const auto values = client_->readAttributes(application, names);
  ASSERT_TRUE(values);
  ASSERT_EQ(values->size(), names.size());
  EXPECT_EQ(text((*values)[0]), "AXApplication");
  EXPECT_TRUE(std::holds_alternative<AccessibilityError>((*values)[1].storage)) << "no AT-SPI counterpart";
  EXPECT_FALSE(text((*values)[2]).empty());
  const auto* children = std::get_if<AccessibilityArray>(&(*values)[3].storage);
  ASSERT_NE(children, nullptr);
  EXPECT_EQ(children->elements.size(), 1U);

  const auto focused = client_->readAttribute(application, "AXFocusedWindow");
  ASSERT_TRUE(focused);
  const AccessibilityElement window = std::get<AccessibilityElementReference>(focused->storage).element;
  EXPECT_EQ(window, std::get<AccessibilityElementReference>(children->elements[0].storage).element);
  EXPECT_EQ(text(*client_->readAttribute(window, "AXTitle")), windowTitle);

  // Identity: the window's parent is the application element found from the process.
  const auto parent = client_->readAttribute(window, "AXParent");
  ASSERT_TRUE(parent);
  const AccessibilityElement back = std::get<AccessibilityElementReference>(parent->storage).element;
  EXPECT_EQ(back, application);
  EXPECT_EQ(back.hash(), application.hash());
  EXPECT_NE(window, application);
}

TEST_F(AtspiAccessibilityTest, AProcessWithoutAnApplicationReadsNothing) {
  const AccessibilityElement nobody = client_->applicationElement(1);
  EXPECT_FALSE(client_->readAttributes(nobody, std::vector<std::string>{"AXRole"}));
  EXPECT_FALSE(client_->readAttribute(nobody, "AXChildren"));
  EXPECT_FALSE(client_->readAttribute(AccessibilityElement(), "AXRole"));
}

TEST_F(AtspiAccessibilityTest, AHungApplicationCostsOneTimeoutAndIsMarked) {
  const AccessibilityElement application = client_->applicationElement(processID());
  client_->setMessagingTimeout(application, 0.3);
  ASSERT_TRUE(client_->readAttribute(application, "AXRole"));
  ::kill(processID(), SIGSTOP);
  const auto elapsed = [&](auto read) {
    const auto start = std::chrono::steady_clock::now();
    read();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  };
  // Wait past the facts kept from the read above.
  std::this_thread::sleep_for(std::chrono::duration<double>(AtspiAccessibility::factLifetime + 0.1));
  const double first = elapsed([&] { EXPECT_FALSE(client_->readAttribute(application, "AXTitle")); });
  const double second = elapsed([&] { EXPECT_FALSE(client_->readAttribute(application, "AXChildren")); });
  ::kill(processID(), SIGCONT);
  EXPECT_GE(first, 0.25);
  EXPECT_LT(first, 0.3 + 2.0);
  EXPECT_LT(second, 0.1) << "a marked application is not waited for again";
}

TEST_F(AtspiAccessibilityTest, WakeTurnsAccessibilityOnForTheSession) {
  const AccessibilityElement application = client_->applicationElement(processID());
  const auto isEnabled = [&] {
    return world_->tools.run(
        "gdbus", {"call", "--address", world_->session.sessionBusAddress(), "--dest", "org.a11y.Bus", "--object-path",
                  "/org/a11y/bus", "--method", "org.freedesktop.DBus.Properties.Get", "org.a11y.Status", "IsEnabled"});
  };
  EXPECT_FALSE(client_->setAttribute(application, "AXValue", AccessibilityValue(std::string("x"))));
  EXPECT_FALSE(client_->setAttribute(application, "AXManualAccessibility", AccessibilityValue(false)));
  EXPECT_NE(isEnabled().find("false"), std::string::npos);
  EXPECT_TRUE(client_->setAttribute(application, "AXManualAccessibility", AccessibilityValue(true)));
  EXPECT_NE(isEnabled().find("true"), std::string::npos);
  EXPECT_TRUE(client_->setAttribute(application, "AXEnhancedUserInterface", AccessibilityValue(true)));
}

// Collects deliveries on the observer thread.
struct Deliveries {
  static void record(AccessibilityObserver&, const AccessibilityElement& element, const std::string& name, void* self) {
    auto* deliveries = static_cast<Deliveries*>(self);
    const std::lock_guard guard(deliveries->mutex);
    deliveries->received.emplace_back(element, name);
    deliveries->arrived.notify_all();
  }
  bool waitFor(const std::string& name, double seconds) {
    std::unique_lock lock(mutex);
    return arrived.wait_for(lock, std::chrono::duration<double>(seconds), [&] {
      return std::any_of(received.begin(), received.end(), [&](const auto& entry) { return entry.second == name; });
    });
  }
  std::mutex mutex;
  std::condition_variable arrived;
  std::vector<std::pair<AccessibilityElement, std::string>> received;
};

TEST_F(AtspiAccessibilityTest, ObserversDeliverTypingOnTheirLoop) {
  const AccessibilityElement application = client_->applicationElement(processID());
  const auto entry = find(application, "AXTextField");
  ASSERT_TRUE(entry);
  Deliveries deliveries;
  std::shared_ptr<AccessibilityEventLoop> loop;
  std::shared_ptr<AccessibilityObserver> observer;
  std::promise<void> ready;
  std::thread thread([&] {
    loop = client_->currentThreadLoop();
    loop->perform([&] {
      observer = client_->createObserver(processID(), &Deliveries::record);
      if (observer) {
        EXPECT_TRUE(client_->addNotification(*observer, application, "AXValueChanged", &deliveries));
        EXPECT_FALSE(client_->addNotification(*observer, application, "AXMoved", &deliveries))
            << "bounds come from the window system";
        loop->attach(observer);
      }
      ready.set_value();
    });
    loop->run();
    if (observer) {
      loop->detach(observer);
      observer.reset();
    }
  });
  ready.get_future().wait();
  ASSERT_TRUE(observer);
  world_->tools.run("xdotool", {"windowactivate", "--sync", std::to_string(world_->window)});
  world_->tools.run("xdotool", {"key", "ctrl+a"});
  world_->tools.run("xdotool", {"type", "--delay", "20", "zq"});
  const bool delivered = deliveries.waitFor("AXValueChanged", safetySeconds);
  loop->stop();
  thread.join();
  ASSERT_TRUE(delivered);
  const std::lock_guard guard(deliveries.mutex);
  EXPECT_EQ(deliveries.received.front().first, *entry);
  EXPECT_EQ(text(*client_->readAttribute(*entry, "AXValue")), "zq");
}

// The snapshot cache on the real application, fed by the coordinator: typing
// into the entry gives the next snapshot as a patch of the entry, not a walk.
// The cache's clock is simulated, so the test decides when the user paused.
TEST_F(AtspiAccessibilityTest, TypingGivesTheNextSnapshotAsAPatch) {
  constexpr const char* bundleID = "org.example.gtk";
  Testing::FixedPermissions permissions;
  SimulatedClock cacheClock;
  AccessibilitySnapshotService walks(*client_, permissions, cacheClock);
  AccessibilityObserverCoordinator coordinator(*client_, *client_, permissions, cacheClock);
  AccessibilitySnapshotCache cache(walks, coordinator, permissions, cacheClock);
  const auto snapshot = [&] {
    return cache.snapshot("GTK test", bundleID, processID(), AccessibilityWindowScope::unrestricted());
  };
  // Real time passes only while the observer thread and the application work.
  const auto waitUntil = [&](const std::function<bool()>& condition) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(safetySeconds);
    while (!condition() && std::chrono::steady_clock::now() < deadline) {
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return condition();
  };
  // Changes arrive, then nothing more for a while: the application is done.
  const auto settled = [&](std::uint64_t after) {
    std::size_t seen = 0;
    for (int quiet = 0; quiet < 10;) {
      std::this_thread::sleep_for(std::chrono::milliseconds(30));
      const std::size_t now = coordinator.changes(processID(), bundleID, after).changes.size();
      quiet = now == seen ? quiet + 1 : 0;
      seen = now;
    }
    return seen;
  };

  world_->tools.run("xdotool", {"windowactivate", "--sync", std::to_string(world_->window)});
  world_->tools.run("xdotool", {"key", "ctrl+a"});
  EXPECT_EQ(snapshot().extractionMode, AccessibilityExtractionMode::staticWalk);
  ASSERT_TRUE(waitUntil([&] { return coordinator.changes(processID(), bundleID, 0).revision >= 1; }))
      << "the coordinator never observed the application";
  // A walk once observed, past the forced-walk cooldown, absorbs whatever came before.
  settled(0);
  cacheClock.advance(3.0);
  ASSERT_EQ(snapshot().extractionMode, AccessibilityExtractionMode::staticWalk);
  const std::uint64_t walked = cache.entry(processID())->revision;

  // Two keys over the text selected above: the deletion, two insertions and the
  // caret's moves stay within the eight changes a snapshot may take in patches.
  world_->tools.run("xdotool", {"type", "--delay", "30", "ki"});
  ASSERT_GT(settled(walked), 0U) << "typing sent no events";
  const auto changes = coordinator.changes(processID(), bundleID, walked).changes;
  for (const auto& change : changes) {
    EXPECT_NE(change.kind, AccessibilityObservedChangeKind::structural) << change.notification;
  }
  cacheClock.advance(0.5);
  const AccessibilitySnapshotResult patched = snapshot();
  EXPECT_EQ(patched.extractionMode, AccessibilityExtractionMode::incremental);
  const auto entry = std::find_if(patched.nodes.begin(), patched.nodes.end(), [](const auto& node) {
    return node.attributes.contains("AXFocused") && node.attributes.at("AXFocused") == "1";
  });
  ASSERT_NE(entry, patched.nodes.end());
  EXPECT_EQ(entry->attributes.at("AXValue"), "ki");
  EXPECT_EQ(patched.searchableText.find(passwordText), std::string::npos);
}

}  // namespace
}  // namespace Sablekit
