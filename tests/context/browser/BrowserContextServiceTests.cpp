// Tests for reading a browser's focused window: reader choice, the engine
// readers and their bounded walk, safe web addresses, statuses, health reports
// and forgetting automation state.
#include <map>

#include <gtest/gtest.h>

#include "FakeScriptRunner.h"
#include "Sablekit/context/browser/BrowserContextService.h"
#include "Sablekit/platform/simulated/SimulatedAccessibility.h"
#include "tests/support/FixedPermissions.h"

namespace Sablekit {
namespace {

using S = BrowserReadStatus;
using V = BrowserPrivacyVerdict;

using Testing::FixedPermissions;

constexpr std::int32_t browserProcess = 77;

class BrowserContextServiceTest : public ::testing::Test {
 protected:
  BrowserContextServiceTest() {
    accessibility.addApplication(browserProcess, "app").addElement("w", browserProcess);
    accessibility.setValue("app", "AXFocusedWindow", accessibility.reference("w"));
    accessibility.setValue("w", "AXRole", std::string("AXWindow"));
  }

  // Adds an element with a role (and an AXURL when given) under `parent`, after its other children.
  void add(const std::string& id,
           const std::string& parent,
           const std::string& role,
           std::optional<AccessibilityValue> url = std::nullopt) {
    accessibility.addElement(id, browserProcess).setValue(id, "AXRole", role);
    if (url) {
      accessibility.setValue(id, "AXURL", *url);
    }
    std::vector<std::string> children = childrenOf_[parent];
    children.push_back(id);
    childrenOf_[parent] = children;
    accessibility.setChildren(parent, children);
  }

  // A chain of groups `depth` levels below the window, ending in `role` with `url`.
  void addChain(int depth, const std::string& role, const std::string& url) {
    std::string parent = "w";
    for (int level = 1; level <= depth; ++level) {
      const std::string id = "chain" + std::to_string(level);
      if (level == depth) {
        add(id, parent, role, AccessibilityValue(url));
      } else {
        add(id, parent, "AXGroup");
      }
      parent = id;
    }
  }

  BrowserContextResult read(const std::string& bundleID, const std::string& title = "", bool allowAutomation = false) {
    return service.read(bundleID, "1.0", browserProcess, title, allowAutomation);
  }

  SimulatedClock clock;
  FaultInjector faults;
  SimulatedAccessibility accessibility{clock, faults};
  FixedPermissions permissions;
  FakeScriptRunner scripts;
  BrowserURLReadHealthMonitor monitor{clock};
  BrowserAutomationCapabilityCache capabilityCache{clock};
  BrowserAutomationProbeCoordinator coordinator;
  BrowserContextService service{accessibility, permissions, clock,           clock,
                                scripts,       monitor,     capabilityCache, coordinator};

 private:
  std::map<std::string, std::vector<std::string>> childrenOf_;
};

TEST(BrowserSafeWebURLTest, KeepsOnlyHttpAddressesWithAHostAndNoUserInformation) {
  struct Case {
    const char* input;
    std::optional<std::string> expected;
  };
  const Case cases[] = {
      {"  https://example.com/a\n", "https://example.com/a"},
      {"HTTPS://Example.COM:8443/Path?Q=A#Frag", "https://example.com:8443/Path?Q=A#Frag"},
      {"http://example.com", "http://example.com"},
      {"https://user:pw@example.com/", std::nullopt},
      {"https://user:@example.com/", std::nullopt},
      {"https://@example.com/", std::nullopt},
      {"ftp://example.com/", std::nullopt},
      {"about:blank", std::nullopt},
      {"file:///etc/passwd", std::nullopt},
      {"http:///path", std::nullopt},
      {"example.com", std::nullopt},
      {"", std::nullopt},
      {"   ", std::nullopt},
      {"https://exa mple.com/", std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.input);
    EXPECT_EQ(BrowserContextService::normalizedSafeWebURL(c.input), c.expected);
  }
}

TEST(BrowserContextResultTest, EncodesFourKeysLeavingOutAnAbsentAddressAndDecodesBack) {
  const BrowserContextResult withPage{.status = S::pageURL,
                                      .pageURL = "https://example.com/a",
                                      .privacy = V::privateWindow,
                                      .authoritativePrivacy = true};
  const std::string text = JsonCodec::serialize(JsonCodec::Value(withPage));
  EXPECT_EQ(
      text,
      R"({"authoritativePrivacy":true,"pageURL":"https://example.com/a","privacy":"private","status":"pageURL"})");
  EXPECT_EQ(BrowserContextResult::decode(JsonCodec::parse(text)), withPage);
  EXPECT_EQ(JsonCodec::serialize(JsonCodec::Value(BrowserContextResult{})),
            R"({"authoritativePrivacy":false,"privacy":"unknown","status":"notBrowser"})");
}

TEST(BrowserReaderChoiceTest, ChoosesTheReaderByNormalisedIdentifier) {
  using R = BrowserPageAddressReader::Reader;
  struct Case {
    const char* bundleID;
    R reader;
  };
  const Case cases[] = {
      {"com.google.chrome", R::chromium},         {"com.microsoft.edgemac", R::chromium},
      {"org.chromium.chromium", R::chromium},     {"com.apple.safari", R::safari},
      {"company.thebrowser.browser", R::webArea}, {"company.thebrowser.dia", R::webAreaWithChromiumFallback},
      {"org.mozilla.firefox.beta", R::gecko},     {"com.duckduckgo.macos.browser", R::anyEngine},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.bundleID);
    EXPECT_EQ(BrowserPageAddressReader::readerFor(c.bundleID), c.reader);
  }
}

TEST_F(BrowserContextServiceTest, ANonBrowserTouchesNothing) {
  EXPECT_EQ(
      read("com.apple.finder"),
      (BrowserContextResult{
          .status = S::notBrowser, .pageURL = std::nullopt, .privacy = V::unknown, .authoritativePrivacy = false}));
  EXPECT_EQ(accessibility.callCount(), 0u);
}

TEST_F(BrowserContextServiceTest, ChromiumTakesTheFirstGroupWithAnAddressUnderAMessyIdentifier) {
  add("g1", "w", "AXGroup");
  add("g2", "w", "AXGroup", AccessibilityValue(AccessibilityURL{"https://Example.com/Inbox"}));
  add("web", "w", "AXWebArea", AccessibilityValue(std::string("https://other.example/")));
  const auto result = read("  COM.Google.Chrome\n");
  EXPECT_EQ(result.status, S::pageURL);
  EXPECT_EQ(result.pageURL, "https://example.com/Inbox");
  EXPECT_EQ(result.privacy, V::normal);  // the web area makes the window an ordinary one
  EXPECT_EQ(accessibility.messagingTimeout("app"), 0.5);
}

TEST_F(BrowserContextServiceTest, SafariFollowsItsFixedPath) {
  add("split", "w", "AXSplitGroup");
  add("tabs", "split", "AXTabGroup");
  add("g1", "tabs", "AXGroup");
  add("g2", "g1", "AXGroup");
  add("scroll", "g2", "AXScrollArea");
  add("web", "scroll", "AXWebArea", AccessibilityValue(std::string("  https://apple.com/  ")));
  EXPECT_EQ(read("com.apple.safari").pageURL, "https://apple.com/");
}

TEST_F(BrowserContextServiceTest, SafariWithoutTheTabLevelHasNoAddress) {
  add("split", "w", "AXSplitGroup");
  add("g1", "split", "AXGroup");
  EXPECT_EQ(read("com.apple.safari").status, S::unreadable);  // verdict unknown
  clock.advance(31);
  const auto marked = read("com.apple.safari", "Private Browsing");
  EXPECT_EQ(marked.status, S::noPage);
  EXPECT_EQ(marked.privacy, V::privateWindow);
}

TEST_F(BrowserContextServiceTest, WebAreaReaderSearchesSplitGroupsAndFallsBackToChromiumOnlyWhenAsked) {
  add("g", "w", "AXGroup", AccessibilityValue(std::string("https://group.example/")));
  EXPECT_EQ(read("company.thebrowser.browser").pageURL, std::nullopt);
  EXPECT_EQ(read("company.thebrowser.dia").pageURL, "https://group.example/");
  add("split", "w", "AXSplitGroup");
  add("web", "split", "AXWebArea", AccessibilityValue(std::string("https://split.example/")));
  EXPECT_EQ(read("company.thebrowser.browser").pageURL, "https://split.example/");
}

TEST_F(BrowserContextServiceTest, TheWalkExpandsNoElementBelowDepthTen) {
  addChain(11, "AXWebArea", "https://deep.example/");
  EXPECT_EQ(read("org.mozilla.firefox").pageURL, std::nullopt);
  accessibility.setValue("chain10", "AXRole", std::string("AXWebArea"))
      .setValue("chain10", "AXURL", std::string("https://ten.example/"));
  EXPECT_EQ(read("org.mozilla.firefox").pageURL, "https://ten.example/");
}

TEST_F(BrowserContextServiceTest, TheWalkExaminesAtMost512Elements) {
  std::vector<std::string> ids;
  for (int index = 0; index < 512; ++index) {
    ids.push_back("k" + std::to_string(index));
    accessibility.addElement(ids.back(), browserProcess);
  }
  accessibility.setChildren("w", ids);
  // The window and k0..k510 make 512; k511 would be the 513th.
  accessibility.setValue("k511", "AXRole", std::string("AXWebArea"))
      .setValue("k511", "AXURL", std::string("https://late.example/"));
  EXPECT_EQ(read("org.mozilla.firefox").pageURL, std::nullopt);
  accessibility.setValue("k510", "AXRole", std::string("AXWebArea"))
      .setValue("k510", "AXURL", std::string("https://last.example/"));
  EXPECT_EQ(read("org.mozilla.firefox").pageURL, "https://last.example/");
}

TEST_F(BrowserContextServiceTest, GeckoFallsBackToTheAddressBar) {
  struct Case {
    const char* bar;
    S status;
    std::optional<std::string> pageURL;
  };
  const Case cases[] = {
      {" example.com/path?q=1 ", S::pageURL, "https://example.com/path?q=1"},
      {"HTTPS://Example.com/A", S::pageURL, "https://example.com/A"},
      {"cats and dogs.com", S::unreadable, std::nullopt},  // a search phrase; verdict unknown
      {"about:preferences", S::unreadable, std::nullopt},
      {"", S::unreadable, std::nullopt},
  };
  add("toolbar", "w", "AXToolbar");
  add("bar", "toolbar", "AXTextField");
  add("later", "w", "AXTextField");
  accessibility.setValue("later", "AXValue", std::string("https://never.example/"));
  for (const Case& c : cases) {
    SCOPED_TRACE(c.bar);
    accessibility.setValue("bar", "AXValue", std::string(c.bar));
    const auto result = read("org.mozilla.firefox.beta");
    EXPECT_EQ(result.status, c.status);
    EXPECT_EQ(result.pageURL, c.pageURL);
  }
}

TEST_F(BrowserContextServiceTest, ABestEffortBrowserIsUnsupportedEvenWithAPageAndCountsAsFailed) {
  add("g", "w", "AXGroup", AccessibilityValue(std::string("https://duck.example/")));
  const auto first = read("com.duckduckgo.macos.browser");
  EXPECT_EQ(first.status, S::unsupported);
  EXPECT_EQ(first.pageURL, "https://duck.example/");
  clock.advance(6);
  read("com.duckduckgo.macos.browser");
  ASSERT_TRUE(service.lastReadHealthSignal().has_value());
  EXPECT_EQ(service.lastReadHealthSignal()->bundleID, "com.duckduckgo.macos.browser");
}

TEST_F(BrowserContextServiceTest, HealthSignalsFollowReadsOfBrowsersOnly) {
  read("com.google.chrome");  // no focused group: unreadable
  clock.advance(6);
  read("com.google.chrome");
  ASSERT_TRUE(service.lastReadHealthSignal().has_value());
  read("com.apple.finder");
  EXPECT_TRUE(service.lastReadHealthSignal().has_value());  // a non-browser leaves it
  add("g", "w", "AXGroup", AccessibilityValue(std::string("https://example.com/")));
  read("com.google.chrome");
  EXPECT_FALSE(service.lastReadHealthSignal().has_value());
}

TEST_F(BrowserContextServiceTest, NoFocusedWindowIsUnreadable) {
  accessibility.setValue("app", "AXFocusedWindow", std::string("not an element"));
  EXPECT_EQ(
      read("com.google.chrome"),
      (BrowserContextResult{
          .status = S::unreadable, .pageURL = std::nullopt, .privacy = V::unknown, .authoritativePrivacy = false}));
}

TEST_F(BrowserContextServiceTest, AMarkedTitleIsPrivateWithoutTrustOrAFocusedWindow) {
  struct Case {
    const char* name;
    bool trusted;
    bool focusedWindow;
    const char* title;
    V privacy;
  };
  const Case cases[] = {
      {"untrusted, Firefox's private title", false, true, "Clinic booking — Mozilla Firefox Private Browsing",
       V::privateWindow},
      {"untrusted, marker in capitals", false, true, "Inbox - INCOGNITO", V::privateWindow},
      {"untrusted, plain title", false, true, "Clinic booking - Chromium", V::unknown},
      {"no focused window, marked title", true, false, "New InPrivate tab", V::privateWindow},
      {"no focused window, plain title", true, false, "Inbox", V::unknown},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    permissions.trusted = c.trusted;
    if (!c.focusedWindow) {
      accessibility.setValue("app", "AXFocusedWindow", std::string("not an element"));
    }
    EXPECT_EQ(
        read("org.mozilla.firefox", c.title),
        (BrowserContextResult{
            .status = S::unreadable, .pageURL = std::nullopt, .privacy = c.privacy, .authoritativePrivacy = false}));
  }
}

TEST_F(BrowserContextServiceTest, WithoutTrustOnlyTheBrowsersOwnAnswerCounts) {
  permissions.trusted = false;
  EXPECT_EQ(
      read("com.google.chrome", "", false),
      (BrowserContextResult{
          .status = S::unreadable, .pageURL = std::nullopt, .privacy = V::unknown, .authoritativePrivacy = false}));
  scripts.answer(ScriptRunOutcome::success("incognito"));
  EXPECT_EQ(read("com.google.chrome", "", true), (BrowserContextResult{.status = S::unreadable,
                                                                       .pageURL = std::nullopt,
                                                                       .privacy = V::privateWindow,
                                                                       .authoritativePrivacy = true}));
  // The browser's own answer outweighs the title's wording.
  clock.advance(6);
  scripts.answer(ScriptRunOutcome::success("normal"));
  EXPECT_EQ(read("com.google.chrome", "Incognito", true).privacy, V::normal);
  EXPECT_EQ(accessibility.callCount(), 0u);
}

TEST_F(BrowserContextServiceTest, AMarkedTitleReweighsACachedGuessButNotTheBrowsersAnswer) {
  add("web", "w", "AXWebArea");
  EXPECT_EQ(read("com.apple.safari").privacy, V::normal);
  EXPECT_EQ(read("com.apple.safari", "New Incognito Tab").privacy, V::privateWindow);

  scripts.answer(ScriptRunOutcome::success("normal"));
  accessibility.addElement("w2", browserProcess).setValue("app", "AXFocusedWindow", accessibility.reference("w2"));
  EXPECT_EQ(read("com.google.chrome", "", true).authoritativePrivacy, true);
  const auto marked = read("com.google.chrome", "Incognito", true);
  EXPECT_EQ(marked.privacy, V::normal);
  EXPECT_TRUE(marked.authoritativePrivacy);
  EXPECT_EQ(scripts.sources().size(), 1u);
}

TEST_F(BrowserContextServiceTest, ResettingAutomationStateAsksTheBrowserAgain) {
  scripts.answer(ScriptRunOutcome::failure(-1743));
  read("com.google.chrome", "", true);
  read("com.google.chrome", "", true);
  EXPECT_EQ(scripts.sources().size(), 1u);  // refused: not asked again

  service.resetAutomationState(std::nullopt);
  clock.advance(31);  // the heuristic guess stored meanwhile stays until it expires
  scripts.answer(ScriptRunOutcome::success("normal"));
  EXPECT_TRUE(read("com.google.chrome", "", true).authoritativePrivacy);
  EXPECT_TRUE(read("com.google.chrome", "", true).authoritativePrivacy);  // cached
  EXPECT_EQ(scripts.sources().size(), 2u);
  service.resetAutomationState("com.brave.browser");  // authoritative verdicts go whatever the browser
  EXPECT_TRUE(read("com.google.chrome", "", true).authoritativePrivacy);
  EXPECT_EQ(scripts.sources().size(), 3u);
  EXPECT_FALSE(service.automationProbeBusy());
}

}  // namespace
}  // namespace Sablekit
