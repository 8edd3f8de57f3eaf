// Tests for the private-window verdict: markers, the heuristic walk, the
// per-window cache, the scripted mode query and its race against the timer.
#include <thread>

#include <gtest/gtest.h>

#include "FakeScriptRunner.h"
#include "Sablekit/context/browser/BrowserAutomationProbeRace.h"
#include "Sablekit/context/browser/BrowserPrivateWindowVerdict.h"
#include "Sablekit/platform/simulated/SimulatedAccessibility.h"

namespace Sablekit {
namespace {

using V = BrowserPrivacyVerdict;
using Verdict = BrowserPrivateWindowVerdict::Verdict;

constexpr const char* chrome = "com.google.chrome";

class BrowserPrivateWindowVerdictTest : public ::testing::Test {
 protected:
  BrowserPrivateWindowVerdictTest() {
    accessibility.addApplication(1, "app");
    addWindow("w1");
    addWindow("w2");
  }

  void addWindow(const std::string& id) {
    accessibility.addElement(id, 1).setValue(id, "AXRole", std::string("AXWindow"));
  }

  // A chain of groups under `parent`, `depth` levels deep; the last one gets `role`.
  void addChain(const std::string& parent, int depth, const std::string& role) {
    std::string above = parent;
    for (int level = 1; level <= depth; ++level) {
      const std::string id = parent + ".c" + std::to_string(level);
      accessibility.addElement(id, 1).setValue(id, "AXRole", std::string(level == depth ? role : "AXGroup"));
      accessibility.setChildren(above, {id});
      above = id;
    }
  }

  AccessibilityElement handle(const std::string& id) {
    return std::get<AccessibilityElementReference>(accessibility.reference(id).storage).element;
  }

  Verdict read(const std::string& window,
               const std::string& title = "",
               bool allowAutomation = true,
               const std::string& bundleID = chrome) {
    return verdict.privateVerdict(bundleID, "120.0", handle(window), title, allowAutomation);
  }

  SimulatedClock clock;
  FaultInjector faults;
  SimulatedAccessibility accessibility{clock, faults};
  FakeScriptRunner scripts;
  BrowserAutomationCapabilityCache capabilityCache{clock};
  BrowserAutomationProbeCoordinator coordinator;
  BrowserPrivateWindowVerdict verdict{clock, clock, accessibility, scripts, capabilityCache, coordinator};
};

TEST(BrowserPrivateMarkerTest, FindsEachMarkerInAnyLetterCase) {
  for (const char* text :
       {"Incognito", "InPrivate - Edge", "PRIVATE BROWSING", "New Private Window", "a private tab"}) {
    SCOPED_TRACE(text);
    EXPECT_TRUE(BrowserPrivateWindowVerdict::containsPrivateMarker(text));
  }
  for (const char* text : {"", "Private", "privacy window", "incognit"}) {
    SCOPED_TRACE(text);
    EXPECT_FALSE(BrowserPrivateWindowVerdict::containsPrivateMarker(text));
  }
}

TEST(BrowserModeScriptTest, IsTheExactSixLineScript) {
  EXPECT_EQ(BrowserPrivateWindowVerdict::modeScript("com.brave.browser"),
            "with timeout of 1 seconds\n"
            "  tell application id \"com.brave.browser\"\n"
            "    if (count of windows) is 0 then return \"unknown\"\n"
            "    return (mode of front window) as text\n"
            "  end tell\n"
            "end timeout");
}

TEST(BrowserModeScriptTest, OutcomesFollowTheAnswerOrTheErrorNumber) {
  struct Case {
    const char* name;
    ScriptRunOutcome run;
    BrowserAutomationProbeOutcome expected;
  };
  const Case cases[] = {
      {"incognito", ScriptRunOutcome::success("Incognito"), BrowserAutomationProbeOutcome::of(V::privateWindow)},
      {"private", ScriptRunOutcome::success("private"), BrowserAutomationProbeOutcome::of(V::privateWindow)},
      {"normal", ScriptRunOutcome::success("NORMAL"), BrowserAutomationProbeOutcome::of(V::normal)},
      {"unknown", ScriptRunOutcome::success("unknown"), BrowserAutomationProbeOutcome::transient()},
      {"no string", ScriptRunOutcome::success(std::nullopt), BrowserAutomationProbeOutcome::transient()},
      {"not created", ScriptRunOutcome::creationFailure(), BrowserAutomationProbeOutcome::transient()},
      {"not authorised", ScriptRunOutcome::failure(-1743), BrowserAutomationProbeOutcome::permanent()},
      {"privilege", ScriptRunOutcome::failure(-10004), BrowserAutomationProbeOutcome::permanent()},
      {"timed out", ScriptRunOutcome::failure(-1712), BrowserAutomationProbeOutcome::transient()},
      {"no number", ScriptRunOutcome::failure(std::nullopt), BrowserAutomationProbeOutcome::transient()},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FakeScriptRunner runner;
    runner.answer(c.run);
    EXPECT_EQ(BrowserPrivateWindowVerdict::executeDeterministicChromiumMode(runner, "script"), c.expected);
  }
}

TEST_F(BrowserPrivateWindowVerdictTest, HeuristicVerdictsComeFromTitleTreeTextAndWebAreas) {
  const std::string browser = "com.apple.safari";  // never scripted
  EXPECT_EQ(read("w1", "PRIVATE BROWSING", true, browser), (Verdict{V::privateWindow, false}));

  addChain("w2", 4, "AXWebArea");
  EXPECT_EQ(read("w2", "News", true, browser), (Verdict{V::normal, false}));

  addWindow("w3");
  addChain("w3", 5, "AXWebArea");  // one level too deep
  EXPECT_EQ(read("w3", "News", true, browser), (Verdict{V::unknown, false}));

  addWindow("w4");
  addChain("w4", 4, "AXGroup");
  accessibility.setValue("w4.c4", "AXHelp", std::string("Opens a new InPrivate window"));
  EXPECT_EQ(read("w4", "", true, browser), (Verdict{V::privateWindow, false}));
  EXPECT_TRUE(scripts.sources().empty());
}

TEST_F(BrowserPrivateWindowVerdictTest, TheHeuristicWalkExaminesAtMostEightyElements) {
  // 79 empty children come before a web area: the window plus 79 is 80 elements.
  std::vector<std::string> children;
  for (int index = 0; index < 80; ++index) {
    const std::string id = "w1.k" + std::to_string(index);
    accessibility.addElement(id, 1);
    children.push_back(id);
  }
  accessibility.setValue("w1.k79", "AXRole", std::string("AXWebArea"));
  accessibility.setChildren("w1", children);
  EXPECT_EQ(read("w1", "", false), (Verdict{V::unknown, false}));
  accessibility.setValue("w1.k78", "AXRole", std::string("AXWebArea"));
  clock.advance(31);
  EXPECT_EQ(read("w1", "", false), (Verdict{V::normal, false}));
}

TEST_F(BrowserPrivateWindowVerdictTest, FailingElementsContributeNothing) {
  addChain("w1", 2, "AXWebArea");
  accessibility.setValue("w1.c2", "AXRole", AccessibilityError{});
  accessibility.setValue("w1.c1", "AXTitle", std::string("incognito")).setResponseDelay("w1.c1", 10);
  accessibility.setMessagingTimeout(accessibility.applicationElement(1), 0.5);
  EXPECT_EQ(read("w1", "", false), (Verdict{V::unknown, false}));
}

TEST_F(BrowserPrivateWindowVerdictTest, HeuristicEntriesLiveThirtySeconds) {
  EXPECT_EQ(read("w1", "Incognito", false), (Verdict{V::privateWindow, false}));
  clock.advance(29);
  EXPECT_EQ(read("w1", "", false), (Verdict{V::privateWindow, false}));  // cached
  clock.advance(2);                                                      // 31 s after storing
  EXPECT_EQ(read("w1", "", false), (Verdict{V::unknown, false}));
}

TEST_F(BrowserPrivateWindowVerdictTest, AScriptedAnswerIsAuthoritativeAndAskedOncePerWindow) {
  scripts.answer(ScriptRunOutcome::success("incognito"));
  EXPECT_EQ(read("w1"), (Verdict{V::privateWindow, true}));
  clock.advance(3600);
  EXPECT_EQ(read("w1"), (Verdict{V::privateWindow, true}));
  ASSERT_EQ(scripts.sources().size(), 1u);
  EXPECT_EQ(scripts.sources()[0], BrowserPrivateWindowVerdict::modeScript(chrome));
  EXPECT_FALSE(coordinator.isBusy());
}

TEST_F(BrowserPrivateWindowVerdictTest, TheBrowsersAnswerWinsOverATitleMarker) {
  scripts.answer(ScriptRunOutcome::success("normal"));
  EXPECT_EQ(read("w1", "Incognito"), (Verdict{V::normal, true}));
  verdict.cache().removeHeuristic(handle("w1"));  // what a read does for a marked title
  EXPECT_EQ(read("w1", "Incognito"), (Verdict{V::normal, true}));
}

TEST_F(BrowserPrivateWindowVerdictTest, ScriptingIsSkippedWhenNotAllowedNotDeterministicOrBlocked) {
  EXPECT_EQ(read("w1", "", false), (Verdict{V::unknown, false}));
  EXPECT_EQ(read("w2", "", true, "com.apple.safari"), (Verdict{V::unknown, false}));
  capabilityCache.recordPermanentFailure(chrome);
  addWindow("w3");
  EXPECT_EQ(read("w3"), (Verdict{V::unknown, false}));
  EXPECT_TRUE(scripts.sources().empty());
}

TEST_F(BrowserPrivateWindowVerdictTest, AFailedQueryIsRecordedAndFallsBackToTheHeuristic) {
  scripts.answer(ScriptRunOutcome::failure(-1743));
  EXPECT_EQ(read("w1", "Incognito"), (Verdict{V::privateWindow, false}));
  EXPECT_FALSE(capabilityCache.shouldAttempt(chrome, "120.0"));
}

TEST_F(BrowserPrivateWindowVerdictTest, WhenTheTimerWinsTheLateAnswerStillReleasesAndRecords) {
  scripts.hold();
  scripts.answer(ScriptRunOutcome::failure(-1743));
  Verdict first;
  std::thread mainThread([&] { first = read("w1"); });
  scripts.waitUntilStarted(1);
  clock.advance(1.0);  // the timer fires
  mainThread.join();
  EXPECT_EQ(first, (Verdict{V::unknown, false}));

  // Still running: the next read of another window skips scripting.
  EXPECT_TRUE(coordinator.isBusy());
  EXPECT_EQ(read("w2"), (Verdict{V::unknown, false}));
  EXPECT_EQ(scripts.sources().size(), 1u);

  scripts.release();
  verdict.waitForPendingQuery();
  EXPECT_FALSE(coordinator.isBusy());
  EXPECT_FALSE(capabilityCache.shouldAttempt(chrome, "120.0"));  // the late refusal was recorded
}

TEST_F(BrowserPrivateWindowVerdictTest, AQueryInvalidatedMeanwhileRecordsNothing) {
  scripts.hold();
  scripts.answer(ScriptRunOutcome::failure(-1743));
  Verdict first;
  std::thread mainThread([&] { first = read("w1"); });
  scripts.waitUntilStarted(1);
  coordinator.invalidate(std::nullopt);
  scripts.release();
  mainThread.join();
  EXPECT_EQ(first, (Verdict{V::unknown, false}));
  EXPECT_TRUE(capabilityCache.shouldAttempt(chrome, "120.0"));
}

TEST_F(BrowserPrivateWindowVerdictTest, ResettingAuthoritativeEntriesAsksTheBrowserAgain) {
  EXPECT_EQ(read("w1"), (Verdict{V::normal, true}));
  verdict.cache().removeAuthoritative();
  scripts.answer(ScriptRunOutcome::success("incognito"));
  EXPECT_EQ(read("w1"), (Verdict{V::privateWindow, true}));
  EXPECT_EQ(scripts.sources().size(), 2u);
}

TEST(BrowserPrivateVerdictCacheTest, AFullCacheEvictsTheOldestHeuristicNonPrivateEntryElseTheOldest) {
  SimulatedClock clock;
  FaultInjector faults;
  SimulatedAccessibility accessibility{clock, faults};
  auto window = [&](int index) {
    return std::get<AccessibilityElementReference>(accessibility.reference("w" + std::to_string(index)).storage)
        .element;
  };
  BrowserPrivateVerdictCache cache{clock};
  // Entries 0..31: authoritative or private, except 5 and 9 which are heuristic normals.
  for (int index = 0; index < 32; ++index) {
    const bool ordinary = index == 5 || index == 9;
    cache.store(window(index), ordinary ? V::normal : V::privateWindow, index % 2 == 0);
  }
  cache.store(window(32), V::normal, true);
  EXPECT_FALSE(cache.lookup(window(5)).has_value());
  EXPECT_TRUE(cache.lookup(window(9)).has_value());
  EXPECT_TRUE(cache.lookup(window(0)).has_value());
  cache.store(window(33), V::normal, true);
  EXPECT_FALSE(cache.lookup(window(9)).has_value());
  cache.store(window(34), V::normal, true);  // nothing ordinary left: the oldest goes
  EXPECT_FALSE(cache.lookup(window(0)).has_value());
  EXPECT_EQ(cache.entries().size(), 32u);
  // Storing for a window already present replaces it without evicting another.
  cache.store(window(34), V::privateWindow, false);
  EXPECT_EQ(cache.entries().size(), 32u);
  EXPECT_TRUE(cache.lookup(window(1)).has_value());
}

TEST(BrowserAutomationProbeRaceTest, TheWaiterResumesOnceWithTheFirstFinish) {
  const auto race = BrowserAutomationProbeRace::make();
  const auto result = race->wait([](const std::shared_ptr<BrowserAutomationProbeRace>& self) {
    self->finish(V::privateWindow);
    self->finish(V::normal);
    self->finish(std::nullopt);
  });
  EXPECT_EQ(result, V::privateWindow);
}

TEST(BrowserAutomationProbeRaceTest, ConcurrentFinishersDeliverExactlyOneValue) {
  for (int round = 0; round < 50; ++round) {
    const auto race = BrowserAutomationProbeRace::make();
    std::vector<std::thread> finishers;
    const auto result = race->wait([&](const std::shared_ptr<BrowserAutomationProbeRace>& self) {
      for (int index = 0; index < 4; ++index) {
        finishers.emplace_back([self, index] { self->finish(index % 2 == 0 ? V::normal : V::privateWindow); });
      }
    });
    for (auto& finisher : finishers) {
      finisher.join();
    }
    EXPECT_TRUE(result == V::normal || result == V::privateWindow);
  }
}

}  // namespace
}  // namespace Sablekit
