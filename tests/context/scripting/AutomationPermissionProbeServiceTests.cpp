// The Automation permission probe: which application it checks, which script
// it sends, how outcomes are worded, and that the caller waits for a script
// that runs on another thread.
#include <future>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "Sablekit/context/ApplicationCapabilityRegistry.h"
#include "Sablekit/context/AutomationPermissionProbeService.h"
#include "Sablekit/platform/simulated/SimulatedClock.h"
#include "Sablekit/platform/simulated/SimulatedScripting.h"

namespace Sablekit {
namespace {

// Only the running applications matter to the probe.
class FakeWorkspace final : public Workspace {
 public:
  std::vector<RunningApplication> running;

  std::vector<RunningApplication> runningApplications() override { return running; }
  std::optional<RunningApplication> application(std::int32_t) override { return std::nullopt; }
  std::optional<std::int32_t> frontmostProcessID() override { return std::nullopt; }
  std::optional<Point> pointerLocation() override { return std::nullopt; }
  std::unique_ptr<Subscription> observeDesktopChanges(std::function<void()>) override { return nullptr; }
};

// Notes the thread each script runs on before handing it to the engine.
class ThreadNotingRunner final : public ScriptRunner {
 public:
  explicit ThreadNotingRunner(ScriptRunner& inner) : inner_(inner) {}
  ScriptRunOutcome run(std::string_view source) override {
    {
      const std::lock_guard lock(mutex_);
      threads_.push_back(std::this_thread::get_id());
    }
    return inner_.run(source);
  }
  std::vector<std::thread::id> threads() const {
    const std::lock_guard lock(mutex_);
    return threads_;
  }

 private:
  ScriptRunner& inner_;
  mutable std::mutex mutex_;  // guards threads_
  std::vector<std::thread::id> threads_;
};

RunningApplication app(std::string bundleID, std::optional<std::string> name = std::nullopt) {
  return {.processID = 100, .bundleID = std::move(bundleID), .localizedName = std::move(name)};
}

const std::string genericBrowserMessage = "Open Chrome, Edge, Brave, Vivaldi, Opera, or Chromium, then try again.";

class AutomationPermissionProbeServiceTest : public ::testing::Test {
 protected:
  std::vector<std::string> scriptedBundles() const {
    std::vector<std::string> bundles;
    for (const auto& script : scripting.ranScripts()) {
      bundles.push_back(script.bundleID.value_or("<unrecognised script>"));
    }
    return bundles;
  }

  SimulatedClock clock;
  FaultInjector faults;
  SimulatedScripting scripting{clock, faults};
  ThreadNotingRunner runner{scripting};
  FakeWorkspace workspace;
  AutomationPermissionProbeService service{workspace, runner};
};

TEST(AutomationPermissionProbeOrder, IsExactlyTheRegistrysDeterministicBrowsers) {
  const std::set<std::string> order(AutomationPermissionProbeService::defaultBrowserOrder.begin(),
                                    AutomationPermissionProbeService::defaultBrowserOrder.end());
  const auto& registry = ApplicationCapabilityRegistry::deterministicChromiumBundleIDs();
  EXPECT_EQ(order, std::set<std::string>(registry.begin(), registry.end()));
  EXPECT_EQ(order.size(), AutomationPermissionProbeService::defaultBrowserOrder.size());
}

TEST_F(AutomationPermissionProbeServiceTest, ChoosesTheBrowserToCheck) {
  struct Case {
    const char* name;
    std::vector<RunningApplication> running;
    std::optional<std::string> requested;
    AutomationProbeStatus status;
    std::optional<std::string> bundleID;
    std::optional<std::string> applicationName;
    std::string message;
  };
  const std::vector<Case> cases{
      {"chrome before edge",
       {app("com.microsoft.edgemac", "Microsoft Edge"), app("com.google.Chrome", "Google Chrome")},
       std::nullopt,
       AutomationProbeStatus::operational,
       "com.google.Chrome",
       "Google Chrome",
       "Automation access to Google Chrome is operational."},
      {"only chromium, name falls back to bundle",
       {app("com.apple.Safari", "Safari"), app("org.chromium.Chromium")},
       std::nullopt,
       AutomationProbeStatus::operational,
       "org.chromium.Chromium",
       "org.chromium.Chromium",
       "Automation access to org.chromium.Chromium is operational."},
      {"only safari",
       {app("com.apple.Safari", "Safari")},
       std::nullopt,
       AutomationProbeStatus::notRunning,
       std::nullopt,
       std::nullopt,
       genericBrowserMessage},
      {"canary is last in line",
       {app("com.google.Chrome.canary", "Canary"), app("com.operasoftware.Opera", "Opera")},
       std::nullopt,
       AutomationProbeStatus::operational,
       "com.operasoftware.Opera",
       "Opera",
       "Automation access to Opera is operational."},
      {"mixed-case request, running app's own identifier",
       {app("com.google.Chrome", "Google Chrome"), app("com.brave.Browser", "Brave Browser")},
       "COM.Brave.BROWSER",
       AutomationProbeStatus::operational,
       "com.brave.Browser",
       "Brave Browser",
       "Automation access to Brave Browser is operational."},
      {"safari requested",
       {app("com.apple.Safari", "Safari")},
       "com.apple.safari",
       AutomationProbeStatus::unsupported,
       "com.apple.safari",
       std::nullopt,
       "That browser does not expose the deterministic Chromium Automation interface."},
      {"request with a space kept",
       {app("com.google.Chrome", "Google Chrome")},
       " com.google.chrome",
       AutomationProbeStatus::unsupported,
       " com.google.chrome",
       std::nullopt,
       "That browser does not expose the deterministic Chromium Automation interface."},
      {"requested browser not running",
       {app("com.google.Chrome", "Google Chrome")},
       "com.vivaldi.vivaldi",
       AutomationProbeStatus::notRunning,
       std::nullopt,
       std::nullopt,
       genericBrowserMessage},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    workspace.running = c.running;
    for (const RunningApplication& running : c.running) {
      scripting.setApplication({.bundleID = *running.bundleID});
    }
    const std::size_t before = scripting.ranScripts().size();
    const AutomationProbeResult result = service.probe(AutomationProbeTarget::browser, c.requested);
    EXPECT_EQ(result, (AutomationProbeResult{AutomationProbeTarget::browser, c.status, c.bundleID, c.applicationName,
                                             c.message}));
    const auto ran = scripting.ranScripts();
    if (c.status == AutomationProbeStatus::operational) {
      ASSERT_EQ(ran.size(), before + 1);
      EXPECT_EQ(ran.back().kind, SimulatedScripting::ScriptKind::chromiumProbe);
      EXPECT_EQ(ran.back().bundleID, c.bundleID);
    } else {
      EXPECT_EQ(ran.size(), before);
    }
  }
}

TEST_F(AutomationPermissionProbeServiceTest, WordsEachOutcomeForTheUser) {
  struct Case {
    const char* name;
    SimulatedScripting::Application behaviour;
    AutomationProbeStatus status;
    std::string browserMessage;
    std::string finderMessage;
  };
  const std::vector<Case> cases{
      {"browser without windows answers",
       {.windowCount = 0},
       AutomationProbeStatus::operational,
       "Automation access to Google Chrome is operational.",
       "Automation access to Finder is operational."},
      {"not authorised",
       {.errorNumber = -1743},
       AutomationProbeStatus::denied,
       "Automation access to Google Chrome was denied. Enable Orvane in System Settings > Privacy & Security > "
       "Automation.",
       "Automation access to Finder was denied. Enable Orvane in System Settings > Privacy & Security > Automation."},
      {"privilege violation",
       {.errorNumber = -10004},
       AutomationProbeStatus::denied,
       "Automation access to Google Chrome was denied. Enable Orvane in System Settings > Privacy & Security > "
       "Automation.",
       "Automation access to Finder was denied. Enable Orvane in System Settings > Privacy & Security > Automation."},
      {"quit during the check",
       {.errorNumber = -600},
       AutomationProbeStatus::notRunning,
       "Google Chrome stopped before the Automation check completed. Reopen it and try again.",
       "Finder stopped before the Automation check completed. Reopen it and try again."},
      {"connection lost",
       {.errorNumber = -609},
       AutomationProbeStatus::notRunning,
       "Google Chrome stopped before the Automation check completed. Reopen it and try again.",
       "Finder stopped before the Automation check completed. Reopen it and try again."},
      {"other error",
       {.errorNumber = -1728},
       AutomationProbeStatus::failed,
       "macOS could not complete the Automation check for Google Chrome.",
       "macOS could not complete the Automation check for Finder."},
  };
  workspace.running = {app("com.google.Chrome", "Google Chrome"), app("com.apple.finder", "Finder")};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SimulatedScripting::Application behaviour = c.behaviour;
    behaviour.bundleID = "com.google.chrome";
    scripting.setApplication(behaviour);
    behaviour.bundleID = "com.apple.finder";
    scripting.setApplication(behaviour);

    const AutomationProbeResult browser = service.probe(AutomationProbeTarget::browser, std::nullopt);
    EXPECT_EQ(browser.status, c.status);
    EXPECT_EQ(browser.message, c.browserMessage);
    const AutomationProbeResult finder = service.probe(AutomationProbeTarget::finder, "com.google.chrome");
    EXPECT_EQ(finder, (AutomationProbeResult{AutomationProbeTarget::finder, c.status, "com.apple.finder", "Finder",
                                             c.finderMessage}));
  }
}

TEST_F(AutomationPermissionProbeServiceTest, FinderProbe) {
  scripting.setApplication({.bundleID = "com.apple.finder"});

  workspace.running = {app("com.google.Chrome", "Google Chrome")};
  EXPECT_EQ(service.probe(AutomationProbeTarget::finder, std::nullopt),
            (AutomationProbeResult{AutomationProbeTarget::finder, AutomationProbeStatus::notRunning, "com.apple.finder",
                                   "Finder", "Finder is not running. Open Finder, then try again."}));
  EXPECT_TRUE(scripting.ranScripts().empty());

  // The localised name is used; without one, "Finder".
  workspace.running = {app("com.apple.finder", "Le Finder")};
  EXPECT_EQ(service.probe(AutomationProbeTarget::finder, std::nullopt).message,
            "Automation access to Le Finder is operational.");
  workspace.running = {app("com.apple.finder")};
  EXPECT_EQ(service.probe(AutomationProbeTarget::finder, std::nullopt).applicationName, "Finder");
  ASSERT_EQ(scripting.ranScripts().size(), 2U);
  EXPECT_EQ(scripting.ranScripts()[0].kind, SimulatedScripting::ScriptKind::finderWindowCount);
}

TEST_F(AutomationPermissionProbeServiceTest, ScriptThatCannotBeMadeFails) {
  workspace.running = {app("com.apple.finder", "Finder")};
  scripting.setApplication({.bundleID = "com.apple.finder"}).refuseCompile();
  EXPECT_EQ(service.probe(AutomationProbeTarget::finder, std::nullopt).status, AutomationProbeStatus::failed);
}

TEST_F(AutomationPermissionProbeServiceTest, CallerWaitsForTheScriptOnAnotherThread) {
  workspace.running = {app("com.apple.finder", "Finder")};
  scripting.setApplication({.bundleID = "com.apple.finder"});
  scripting.holdScripts();
  std::thread::id callerThread;
  auto pending = std::async(std::launch::async, [&] {
    callerThread = std::this_thread::get_id();
    return service.probe(AutomationProbeTarget::finder, std::nullopt);
  });
  ASSERT_TRUE(scripting.waitForWaitingScripts(1));
  EXPECT_NE(pending.wait_for(std::chrono::milliseconds(0)), std::future_status::ready);
  scripting.releaseScripts();
  EXPECT_EQ(pending.get().status, AutomationProbeStatus::operational);
  ASSERT_EQ(runner.threads().size(), 1U);
  EXPECT_NE(runner.threads()[0], callerThread);
}

TEST_F(AutomationPermissionProbeServiceTest, CheckBeyondTheScriptsTimeoutFails) {
  workspace.running = {app("com.microsoft.edgemac", "Microsoft Edge")};
  scripting.setApplication({.bundleID = "com.microsoft.edgemac", .delaySeconds = 600.0});
  auto pending = std::async(std::launch::async, [&] { return service.probe(AutomationProbeTarget::browser, {}); });
  ASSERT_TRUE(scripting.waitForWaitingScripts(1));
  clock.advance(120.0);
  const AutomationProbeResult result = pending.get();
  EXPECT_EQ(result.status, AutomationProbeStatus::failed);
  EXPECT_EQ(result.message, "macOS could not complete the Automation check for Microsoft Edge.");
}

}  // namespace
}  // namespace Sablekit
