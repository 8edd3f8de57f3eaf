// Window inventory: reading the window list into records, choosing the
// display and the focused window, and the two window tests.
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "Sablekit/capture/WindowInventory.h"
#include "Sablekit/platform/simulated/SimulatedWindowServer.h"
#include "Sablekit/platform/simulated/SimulatedWorkspace.h"

namespace Sablekit {
namespace {

constexpr std::int32_t hostPID = 99;

class FixedIdentity final : public ProcessIdentity {
 public:
  std::int32_t processID() const override { return hostPID; }
  std::int32_t parentProcessID() const override { return 1; }
};

class WindowInventoryTest : public ::testing::Test {
 protected:
  FaultInjector faults;
  SimulatedWindowServer server{faults};
  SimulatedWorkspace workspace{faults};
  FixedIdentity identity;
  WindowInventory inventory{server, workspace, identity};
};

WindowRecord record(std::uint32_t windowID,
                    std::int32_t ownerPID,
                    Rect bounds,
                    std::int64_t zOrder,
                    std::int64_t layer = 0,
                    std::optional<std::string> bundleID = std::nullopt) {
  return {.windowID = windowID,
          .ownerPID = ownerPID,
          .bundleID = std::move(bundleID),
          .layer = layer,
          .bounds = bounds,
          .zOrder = zOrder};
}

std::vector<std::uint32_t> idsOf(const std::vector<WindowRecord>& records) {
  std::vector<std::uint32_t> ids;
  for (const auto& window : records) {
    ids.push_back(window.windowID);
  }
  return ids;
}

// --- windowRecords() ---

TEST_F(WindowInventoryTest, IncompleteEntriesAreSkippedAndTheNextKeepsItsListPosition) {
  struct Case {
    const char* name;
    void (*spoil)(WindowListEntry&);
  };
  const Case cases[] = {
      {"no number", [](WindowListEntry& entry) { entry.windowNumber.reset(); }},
      {"no owner", [](WindowListEntry& entry) { entry.ownerPID.reset(); }},
      {"no layer", [](WindowListEntry& entry) { entry.layer.reset(); }},
      {"no bounds", [](WindowListEntry& entry) { entry.bounds.reset(); }},
      {"number beyond 32 bits", [](WindowListEntry& entry) { entry.windowNumber = std::int64_t{1} << 32; }},
      {"negative number", [](WindowListEntry& entry) { entry.windowNumber = -1; }},
      {"owner beyond 32 bits", [](WindowListEntry& entry) { entry.ownerPID = (std::int64_t{1} << 32) + 7; }},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.name);
    auto spoilt = SimulatedWindowServer::window(1, 7, {0, 0, 100, 100});
    test.spoil(spoilt);
    server.setWindows({{spoilt}, {SimulatedWindowServer::window(2, 7, {0, 0, 50, 50})}});
    const auto records = inventory.windowRecords();
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].windowID, 2u);
    EXPECT_EQ(records[0].zOrder, 1);
  }
}

TEST_F(WindowInventoryTest, RecordCarriesTheEntryAndTheGapsInTheOrder) {
  workspace.addApplication({.processID = 7, .bundleID = "com.example.Editor", .localizedName = "Editor"});
  auto noTitle = SimulatedWindowServer::window(30, 7, {10, 20, 300, 200}, 3);
  server.addWindow(SimulatedWindowServer::window(10, 7, {0, 0, 640, 480}, 0, "Draft"))
      .addWindow(SimulatedWindowServer::window(20, hostPID, {0, 0, 10, 10}))
      .addWindow(noTitle)
      .addWindow(SimulatedWindowServer::window(40, 7, {0, 0, 1, 1}, -2147483603), true);

  const auto records = inventory.windowRecords();
  ASSERT_EQ(idsOf(records), (std::vector<std::uint32_t>{10, 30, 40}));
  EXPECT_EQ(records[0], (WindowRecord{.windowID = 10,
                                      .ownerPID = 7,
                                      .bundleID = "com.example.Editor",
                                      .applicationName = "Editor",
                                      .applicationVersion = "",
                                      .title = "Draft",
                                      .layer = 0,
                                      .bounds = {0, 0, 640, 480},
                                      .zOrder = 0}));
  EXPECT_EQ(records[1].title, "");
  EXPECT_EQ(records[1].layer, 3);
  EXPECT_EQ(records[1].zOrder, 2);
  EXPECT_EQ(records[2].zOrder, 3) << "desktop elements are part of the capture inventory";
}

TEST_F(WindowInventoryTest, OwnWindowsNeverAppearWhateverTheirLayerOrSize) {
  server.addWindow(SimulatedWindowServer::window(1, hostPID, {0, 0, 2000, 2000}))
      .addWindow(SimulatedWindowServer::window(2, hostPID, {0, 0, 0, 0}, 25))
      .addWindow(SimulatedWindowServer::window(3, hostPID, {0, 0, 10, 10}, -20), true);
  workspace.addApplication({.processID = hostPID, .bundleID = "orvane.vistrel"});
  EXPECT_TRUE(inventory.windowRecords().empty());
}

TEST_F(WindowInventoryTest, ApplicationDetailsComeFromTheRunningApplication) {
  struct Case {
    const char* name;
    std::optional<RunningApplication> application;
    bool bundleUnreadable;
    std::optional<std::string> bundleID;
    std::string name_;
    std::string version;
  };
  const Case cases[] = {
      {"no running application", std::nullopt, false, std::nullopt, "", ""},
      {"short version wins",
       RunningApplication{.processID = 7,
                          .bundleID = " Com.Example.App\n",
                          .localizedName = "App",
                          .shortVersionString = "2.1",
                          .bundleVersion = "2100"},
       false, " Com.Example.App\n", "App", "2.1"},
      {"bundle version without short version",
       RunningApplication{.processID = 7, .bundleID = "com.example.app", .bundleVersion = "2100"}, false,
       "com.example.app", "", "2100"},
      {"no identifier, name or versions", RunningApplication{.processID = 7}, false, std::nullopt, "", ""},
      {"bundle cannot be read",
       RunningApplication{.processID = 7,
                          .bundleID = "com.example.app",
                          .localizedName = "App",
                          .shortVersionString = "2.1",
                          .bundleVersion = "2100"},
       true, "com.example.app", "App", ""},
  };
  server.addWindow(SimulatedWindowServer::window(1, 7, {0, 0, 100, 100}));
  for (const Case& test : cases) {
    SCOPED_TRACE(test.name);
    workspace.removeApplication(7);
    if (test.application) {
      workspace.addApplication(*test.application);
    }
    if (test.bundleUnreadable) {
      faults.arm(std::string(SimulatedOperation::bundleVersions), FaultKind::fail, 1);
    }
    const auto records = inventory.windowRecords();
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].bundleID, test.bundleID);
    EXPECT_EQ(records[0].applicationName, test.name_);
    EXPECT_EQ(records[0].applicationVersion, test.version);
  }
}

TEST_F(WindowInventoryTest, UnreadableWindowListGivesNoRecords) {
  server.addWindow(SimulatedWindowServer::window(1, 7, {0, 0, 100, 100}));
  faults.arm(std::string(SimulatedOperation::onScreenWindows), FaultKind::fail, 1);
  EXPECT_TRUE(inventory.windowRecords().empty());
  EXPECT_EQ(inventory.windowRecords().size(), 1u);
}

// --- selectDisplay ---

TEST_F(WindowInventoryTest, DisplayFollowsTheFrontmostApplicationsFirstWindow) {
  const ShareableDisplay left{.displayID = 1, .frame = {0, 0, 1000, 800}};
  const ShareableDisplay right{.displayID = 2, .frame = {1000, 0, 1000, 800}, .pixelsPerPoint = 2};
  const ShareableDisplay far{.displayID = 3, .frame = {5000, 0, 100, 100}};
  struct Case {
    const char* name;
    std::vector<ShareableDisplay> displays;
    std::vector<WindowRecord> windows;
    std::optional<std::int32_t> frontmostPID;
    std::optional<std::uint32_t> mainDisplayID;
    std::optional<std::uint32_t> expected;
  };
  const Case cases[] = {
      {"straddling window goes where its midpoint is",
       {left, right},
       {record(1, 8, {0, 0, 100, 100}, 0), record(2, 7, {900, 100, 400, 300}, 1)},
       7,
       1,
       2},
      {"only the first window of the application is tried",
       {left, right},
       {record(1, 7, {-3000, 0, 100, 100}, 0), record(2, 7, {1200, 0, 100, 100}, 1)},
       7,
       1,
       1},
      {"zero-width window is passed over",
       {left, right},
       {record(1, 7, {1200, 0, 0, 100}, 0), record(2, 7, {100, 0, 100, 100}, 1)},
       7,
       2,
       1},
      {"any layer counts", {left, right}, {record(1, 7, {1200, 0, 100, 100}, 0, 25)}, 7, 1, 2},
      {"midpoint on no display falls back to the main display",
       {left, right},
       {record(1, 7, {3000, 3000, 100, 100}, 0)},
       7,
       2,
       2},
      {"no frontmost application: main display",
       {left, right},
       {record(1, 7, {1200, 0, 100, 100}, 0)},
       std::nullopt,
       2,
       2},
      {"main display not listed: first display", {far, left}, {}, std::nullopt, 2, 3},
      {"no main display at all: first display", {right, left}, {}, 7, std::nullopt, 2},
      {"no displays", {}, {record(1, 7, {0, 0, 100, 100}, 0)}, 7, 1, std::nullopt},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.name);
    if (test.mainDisplayID) {
      server.setMainDisplayID(test.mainDisplayID);
    } else {
      server.setMainDisplayID(std::nullopt);
      faults.arm(std::string(SimulatedOperation::mainDisplayID), FaultKind::empty);
    }
    const auto chosen = inventory.selectDisplay(test.displays, test.windows, test.frontmostPID);
    faults.clear(SimulatedOperation::mainDisplayID);
    ASSERT_EQ(chosen.has_value(), test.expected.has_value());
    if (chosen) {
      EXPECT_EQ(chosen->displayID, *test.expected);
      const auto& listed = std::find_if(test.displays.begin(), test.displays.end(),
                                        [&](const auto& display) { return display.displayID == *test.expected; });
      EXPECT_EQ(*chosen, *listed) << "the display comes back whole, scale included";
    }
  }
}

// --- look() ---

TEST_F(WindowInventoryTest, ALookChoosesTheDisplayAndTheFocusedWindowAmongTheWindowsOnIt) {
  const ShareableDisplay left{.displayID = 1, .frame = {0, 0, 1000, 800}};
  const ShareableDisplay right{.displayID = 2, .frame = {1000, 0, 1000, 800}};
  server.addDisplay({.displayID = 1, .frame = left.frame})
      .addDisplay({.displayID = 2, .frame = right.frame})
      .setMainDisplayID(1);
  // The frontmost application's window is on the right display; the larger
  // window in front on the left display must not become the focused one.
  server.setWindows({{SimulatedWindowServer::window(1, 8, {0, 0, 900, 700})},
                     {SimulatedWindowServer::window(2, 7, {1100, 100, 300, 200})},
                     {SimulatedWindowServer::window(3, 9, {1500, 100, 300, 200})}});
  workspace.setFrontmostProcessID(7);

  const ScreenLook look = inventory.look({left, right});
  EXPECT_EQ(idsOf(look.windows), (std::vector<std::uint32_t>{1, 2, 3}));
  ASSERT_TRUE(look.display.has_value());
  EXPECT_EQ(look.display->displayID, 2u);
  EXPECT_EQ(idsOf(look.displayWindows), (std::vector<std::uint32_t>{2, 3}));
  ASSERT_TRUE(look.focused.has_value());
  EXPECT_EQ(look.focused->windowID, 2u);

  const ScreenLook blind = inventory.look({});
  EXPECT_EQ(blind.display, std::nullopt);
  EXPECT_TRUE(blind.displayWindows.empty());
  EXPECT_EQ(blind.focused, std::nullopt);
}

// --- selectFocusedWindow ---

TEST_F(WindowInventoryTest, FocusedWindowRules) {
  const ShareableDisplay display{.displayID = 1, .frame = {0, 0, 1440, 900}};
  server.addDisplay({.displayID = 1, .frame = {0, 0, 1440, 900}})
      .addDisplay({.displayID = 2, .frame = {1440, 0, 1000, 1000}});
  struct Case {
    const char* name;
    std::vector<WindowRecord> windows;
    std::optional<std::int32_t> frontmostPID;
    Point pointer;  // as reported: y upwards from the main display's bottom
    std::optional<std::uint32_t> expected;
  };
  const Case cases[] = {
      {"panel in front of the main window: the main window",
       {record(1, 7, {100, 100, 400, 300}, 0), record(2, 7, {0, 0, 1200, 800}, 1)},
       7,
       {},
       2},
      {"equal areas: the one nearer the front",
       {record(2, 7, {0, 0, 600, 400}, 4), record(1, 7, {50, 50, 400, 600}, 3)},
       7,
       {},
       1},
      {"another application's window in front: that window",
       {record(1, 8, {0, 0, 300, 300}, 0), record(2, 7, {0, 0, 1200, 800}, 1)},
       7,
       {},
       1},
      {"order is by zOrder, not by list position",
       {record(2, 7, {0, 0, 1200, 800}, 5), record(1, 8, {0, 0, 300, 300}, 2)},
       7,
       {},
       1},
      {"frontmost application's windows are on other layers only: frontmost candidate",
       {record(1, 7, {0, 0, 1200, 800}, 0, 3), record(2, 8, {0, 0, 300, 300}, 1)},
       7,
       {},
       2},
      {"no frontmost application: the frontmost candidate under the pointer",
       {record(1, 8, {0, 0, 300, 300}, 0), record(2, 9, {500, 400, 300, 300}, 1)},
       std::nullopt,
       {600, 900 - 500},
       2},
      {"pointer over no candidate: the frontmost candidate",
       {record(1, 8, {0, 0, 300, 300}, 0), record(2, 9, {500, 400, 300, 300}, 1)},
       std::nullopt,
       {1000, 900 - 100},
       1},
      {"pointer on another display: the frontmost candidate",
       {record(1, 8, {0, 0, 300, 300}, 0), record(2, 9, {1500, 100, 300, 300}, 1)},
       std::nullopt,
       {1600, 900 - 200},
       1},
      {"empty and off-layer windows are no candidates",
       {record(1, 8, {0, 0, 0, 300}, 0), record(2, 8, {0, 0, 300, 300}, 1, 8), record(3, 9, {0, 0, 10, 10}, 2)},
       std::nullopt,
       {},
       3},
      {"desktop only: the Finder's desktop window",
       {record(1, 20, {0, 0, 1440, 900}, 0, -2147483624, "com.apple.dock"),
        record(2, 21, {0, 0, 1440, 900}, 1, -2147483603, " COM.apple.Finder\n")},
       std::nullopt,
       {},
       2},
      {"desktop only without Finder: nothing",
       {record(1, 20, {0, 0, 1440, 900}, 0, -2147483624, "com.apple.dock"),
        record(2, 21, {0, 0, 1440, 900}, 1, 5, "com.apple.finder")},
       7,
       {},
       std::nullopt},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.name);
    workspace.setPointer(test.pointer);
    const auto focused = inventory.selectFocusedWindow(test.windows, test.frontmostPID, display);
    ASSERT_EQ(focused.has_value(), test.expected.has_value());
    if (focused) {
      EXPECT_EQ(focused->windowID, *test.expected);
    }
  }
}

TEST_F(WindowInventoryTest, PointerIsFlippedWithTheMainDisplaysHeight) {
  // The main display is the tall one on the right; the captured one sits lower left.
  server.addDisplay({.displayID = 1, .frame = {-1000, 600, 1000, 600}})
      .addDisplay({.displayID = 2, .frame = {0, 0, 1000, 1400}})
      .setMainDisplayID(2);
  const ShareableDisplay display{.displayID = 1, .frame = {-1000, 600, 1000, 600}};
  const std::vector<WindowRecord> windows = {record(1, 8, {-1000, 600, 300, 300}, 0),
                                             record(2, 9, {-500, 1000, 300, 100}, 1)};
  workspace.setPointer({-400, 1400 - 1050});  // global (-400, 1050): inside window 2
  const auto focused = inventory.selectFocusedWindow(windows, std::nullopt, display);
  ASSERT_TRUE(focused);
  EXPECT_EQ(focused->windowID, 2u);
}

// --- window tests ---

TEST_F(WindowInventoryTest, OnDisplayAndBackdropTests) {
  const ShareableDisplay display{.displayID = 1, .frame = {0, 0, 1000, 800}};
  const auto backdrop = [](Rect bounds, std::optional<std::string> bundleID, std::string title) {
    WindowRecord window = record(1, 5, bounds, 0, 20, std::move(bundleID));
    window.title = std::move(title);
    return window;
  };
  struct Case {
    const char* name;
    WindowRecord window;
    bool onDisplay;
    bool backdrop;
  };
  const Case cases[] = {
      {"inside", backdrop({10, 10, 100, 100}, "com.apple.dock", "Fullscreen Backdrop"), true, true},
      {"identifier is normalised", backdrop({10, 10, 100, 100}, "\t Com.Apple.DOCK ", "Fullscreen Backdrop"), true,
       true},
      {"touching the edge only", backdrop({1000, 0, 100, 100}, "com.apple.dock", "Fullscreen Backdrop"), false, false},
      {"zero height", backdrop({10, 10, 100, 0}, "com.apple.dock", "Fullscreen Backdrop"), false, false},
      {"title must match exactly", backdrop({10, 10, 100, 100}, "com.apple.dock", "fullscreen backdrop"), true, false},
      {"not the Dock", backdrop({10, 10, 100, 100}, "com.example.dock", "Fullscreen Backdrop"), true, false},
      {"no identifier", backdrop({10, 10, 100, 100}, std::nullopt, "Fullscreen Backdrop"), true, false},
      {"negative width covering the display", backdrop({500, 10, -100, 100}, "com.apple.dock", "x"), false, false},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.name);
    EXPECT_EQ(WindowInventory::isOnDisplay(test.window, display), test.onDisplay);
    EXPECT_EQ(WindowInventory::isFullScreenBackdrop(test.window, display), test.backdrop);
  }
}

}  // namespace
}  // namespace Sablekit
