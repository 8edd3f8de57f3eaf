#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

#include "Sablekit/context/ApplicationCapabilityRegistry.h"

namespace Sablekit {
namespace {

using Registry = ApplicationCapabilityRegistry;
using Field = ApplicationAdditionalField;
using Group = ApplicationExclusionGroup;
using Support = BrowserPrivacySupport;
using Wake = AccessibilityWakeKind;

struct SetCase {
  const char* name;
  const StringSet& actual;
  std::vector<std::string_view> expected;
};

TEST(ApplicationCapabilityRegistry, NamedSetsHoldExactlyTheListedIdentifiers) {
  const SetCase cases[] = {
      {"primaryBrowserBundleIDs",
       Registry::primaryBrowserBundleIDs(),
       {"com.apple.safari", "com.google.chrome", "com.microsoft.edgemac", "company.thebrowser.browser",
        "company.thebrowser.dia", "com.brave.browser", "com.vivaldi.vivaldi", "com.operasoftware.opera",
        "org.mozilla.firefox", "org.mozilla.firefoxdeveloperedition", "org.mozilla.nightly"}},
      {"secondaryChromiumBundleIDs",
       Registry::secondaryChromiumBundleIDs(),
       {"com.google.chrome.canary", "com.google.chrome.beta", "com.google.chrome.dev", "org.chromium.chromium",
        "com.vivaldi.vivaldi", "com.operasoftware.opera"}},
      {"bestEffortBrowserBundleIDs",
       Registry::bestEffortBrowserBundleIDs(),
       {"com.duckduckgo.macos.browser", "io.github.zen_browser.zen", "org.torproject.torbrowser",
        "io.gitlab.librewolf-community", "org.librewolf-community", "net.waterfox.waterfox", "org.mozilla.floorp",
        "net.palemoon.palemoon", "org.seamonkey.seamonkey", "com.kagi.orion", "com.maxthon.mac",
        "app.zen-browser.zen"}},
      {"deterministicChromiumBundleIDs",
       Registry::deterministicChromiumBundleIDs(),
       {"com.google.chrome", "com.google.chrome.canary", "com.google.chrome.beta", "com.google.chrome.dev",
        "com.microsoft.edgemac", "com.brave.browser", "com.vivaldi.vivaldi", "com.operasoftware.opera",
        "org.chromium.chromium"}},
      {"electronWakeBundleIDs",
       Registry::electronWakeBundleIDs(),
       {"com.tinyspeck.slackmacgap",
        "org.whispersystems.signal-desktop",
        "com.hnc.discord",
        "com.discordapp.discord",
        "com.microsoft.vscode",
        "com.microsoft.vscodeinsiders",
        "com.microsoft.teams2",
        "com.spotify.client",
        "notion.id",
        "com.figma.desktop",
        "com.openai.chat",
        "com.openai.codex",
        "com.anthropic.claudefordesktop",
        "whatsapp",
        "ru.keepcoder.telegram",
        "desktop.whatsapp",
        "com.github.githubclient",
        "com.linear",
        "com.linear.lineardesktop",
        "com.postman.postmancanary",
        "com.postmanlabs.mac",
        "io.cursor.cursor",
        "com.exafunction.windsurf",
        "io.kap.app",
        "com.thomasricouard.icecubesapp",
        "company.thebrowser.dia"}},
      {"geckoWakeBundleIDs",
       Registry::geckoWakeBundleIDs(),
       {"org.mozilla.firefox", "org.mozilla.firefoxdeveloperedition", "org.mozilla.nightly", "org.mozilla.firefox.beta",
        "org.torproject.torbrowser", "org.librewolf-community", "io.gitlab.librewolf-community",
        "net.waterfox.waterfox", "app.zen-browser.zen"}},
      {"appleWebKitWakeBundleIDs", Registry::appleWebKitWakeBundleIDs(), {"com.apple.maps",
                                                                          "com.apple.news",
                                                                          "com.apple.mobilesms",
                                                                          "com.apple.facetime",
                                                                          "com.apple.home",
                                                                          "com.apple.voicememos",
                                                                          "com.apple.ibooksx",
                                                                          "com.apple.ibooksx.ibookscontentsync",
                                                                          "com.apple.findmy",
                                                                          "com.apple.podcasts",
                                                                          "com.apple.stocks",
                                                                          "com.apple.weather",
                                                                          "com.apple.shortcuts",
                                                                          "com.apple.reminders",
                                                                          "com.apple.iwork.pages",
                                                                          "com.apple.iwork.numbers",
                                                                          "com.apple.iwork.keynote",
                                                                          "com.apple.music",
                                                                          "com.apple.tv",
                                                                          "com.apple.mail",
                                                                          "com.apple.notes",
                                                                          "com.apple.ical",
                                                                          "com.apple.appstore"}},
      {"selfBundleIDs", Registry::selfBundleIDs(), {"orvane.vistrel"}},
      {"passwordManagerBundleIDs",
       Registry::passwordManagerBundleIDs(),
       {"com.1password.1password", "com.agilebits.onepassword7", "com.bitwarden.desktop", "org.keepassxc.keepassxc",
        "com.apple.passwords", "com.apple.keychainaccess", "in.sinew.enpass-desktop"}},
      {"messagingAndNotificationBundleIDs",
       Registry::messagingAndNotificationBundleIDs(),
       {"com.tinyspeck.slackmacgap", "com.hnc.discord", "net.whatsapp.whatsapp", "org.whispersystems.signal-desktop",
        "ru.keepcoder.telegram", "org.telegram.desktop", "com.apple.mobilesms", "com.microsoft.teams2",
        "com.tencent.xinwechat", "com.facebook.archon", "com.skype.skype", "com.apple.notificationcenterui",
        "com.apple.usernotificationcenter"}},
  };
  const std::size_t expectedCounts[] = {11, 6, 12, 9, 26, 9, 23, 1, 7, 13};
  static_assert(std::size(expectedCounts) == std::size(cases));

  for (std::size_t i = 0; i < std::size(cases); ++i) {
    const SetCase& c = cases[i];
    SCOPED_TRACE(c.name);
    ASSERT_EQ(c.expected.size(), expectedCounts[i]) << "the expected list itself";
    EXPECT_EQ(c.actual.size(), expectedCounts[i]);
    for (const std::string_view identifier : c.expected) {
      EXPECT_TRUE(c.actual.contains(identifier)) << identifier;
    }
  }
}

TEST(ApplicationCapabilityRegistry, BrowserSetIsTheUnionOfTheThreeBrowserLists) {
  StringSet expected;
  for (const StringSet* part : {&Registry::primaryBrowserBundleIDs(), &Registry::secondaryChromiumBundleIDs(),
                                &Registry::bestEffortBrowserBundleIDs()}) {
    expected.insert(part->begin(), part->end());
  }
  EXPECT_EQ(Registry::browserBundleIDs().size(), 27u);
  EXPECT_EQ(Registry::browserBundleIDs(), expected);
}

TEST(ApplicationCapabilityRegistry, WakeSetsAreDisjoint) {
  const StringSet* wakeSets[] = {&Registry::electronWakeBundleIDs(), &Registry::geckoWakeBundleIDs(),
                                 &Registry::appleWebKitWakeBundleIDs()};
  for (std::size_t a = 0; a < std::size(wakeSets); ++a) {
    for (std::size_t b = a + 1; b < std::size(wakeSets); ++b) {
      for (const std::string& identifier : *wakeSets[a]) {
        EXPECT_FALSE(wakeSets[b]->contains(identifier)) << identifier;
      }
    }
  }
}

ApplicationProcessingProfile browserProfile(std::string id, Support support, Wake wake) {
  return {std::move(id),
          ApplicationContextEnricher::browser,
          support,
          wake,
          {},
          {Field::pageURL, Field::normalizedDomain, Field::browserPrivacyVerdict, Field::browserReadabilityVerdict}};
}

ApplicationProcessingProfile plainProfile(std::optional<std::string> id, Wake wake, std::set<Group> groups) {
  return {std::move(id), ApplicationContextEnricher::none, Support::notBrowser, wake, std::move(groups), {}};
}

struct ProfileCase {
  std::optional<std::string_view> input;
  ApplicationProcessingProfile expected;
};

TEST(ApplicationCapabilityRegistry, BrowserProfiles) {
  const ProfileCase cases[] = {
      {"com.apple.safari", browserProfile("com.apple.safari", Support::verifiedAdapter, Wake::none)},
      {"com.google.chrome", browserProfile("com.google.chrome", Support::verifiedAdapter, Wake::none)},
      {"com.microsoft.edgemac", browserProfile("com.microsoft.edgemac", Support::verifiedAdapter, Wake::none)},
      {"company.thebrowser.browser",
       browserProfile("company.thebrowser.browser", Support::verifiedAdapter, Wake::none)},
      {"company.thebrowser.dia", browserProfile("company.thebrowser.dia", Support::verifiedAdapter, Wake::electron)},
      {"com.brave.browser", browserProfile("com.brave.browser", Support::verifiedAdapter, Wake::none)},
      {"com.vivaldi.vivaldi", browserProfile("com.vivaldi.vivaldi", Support::verifiedAdapter, Wake::none)},
      {"com.operasoftware.opera", browserProfile("com.operasoftware.opera", Support::verifiedAdapter, Wake::none)},
      {"org.mozilla.firefox", browserProfile("org.mozilla.firefox", Support::verifiedAdapter, Wake::gecko)},
      {"org.mozilla.firefoxdeveloperedition",
       browserProfile("org.mozilla.firefoxdeveloperedition", Support::verifiedAdapter, Wake::gecko)},
      {"org.mozilla.nightly", browserProfile("org.mozilla.nightly", Support::verifiedAdapter, Wake::gecko)},
      {"com.google.chrome.canary", browserProfile("com.google.chrome.canary", Support::verifiedAdapter, Wake::none)},
      {"com.google.chrome.beta", browserProfile("com.google.chrome.beta", Support::verifiedAdapter, Wake::none)},
      {"com.google.chrome.dev", browserProfile("com.google.chrome.dev", Support::verifiedAdapter, Wake::none)},
      {"org.chromium.chromium", browserProfile("org.chromium.chromium", Support::verifiedAdapter, Wake::none)},
      // Browsers by the "org.mozilla." prefix alone.
      {"org.mozilla.firefox.beta", browserProfile("org.mozilla.firefox.beta", Support::verifiedAdapter, Wake::gecko)},
      {"org.mozilla.thunderbird", browserProfile("org.mozilla.thunderbird", Support::verifiedAdapter, Wake::none)},
      {"com.duckduckgo.macos.browser",
       browserProfile("com.duckduckgo.macos.browser", Support::bestEffortFailClosed, Wake::none)},
      {"io.github.zen_browser.zen",
       browserProfile("io.github.zen_browser.zen", Support::bestEffortFailClosed, Wake::none)},
      {"org.torproject.torbrowser",
       browserProfile("org.torproject.torbrowser", Support::bestEffortFailClosed, Wake::gecko)},
      {"io.gitlab.librewolf-community",
       browserProfile("io.gitlab.librewolf-community", Support::bestEffortFailClosed, Wake::gecko)},
      {"org.librewolf-community",
       browserProfile("org.librewolf-community", Support::bestEffortFailClosed, Wake::gecko)},
      {"net.waterfox.waterfox", browserProfile("net.waterfox.waterfox", Support::bestEffortFailClosed, Wake::gecko)},
      // Prefix-recognised and best effort: best effort wins.
      {"org.mozilla.floorp", browserProfile("org.mozilla.floorp", Support::bestEffortFailClosed, Wake::none)},
      {"net.palemoon.palemoon", browserProfile("net.palemoon.palemoon", Support::bestEffortFailClosed, Wake::none)},
      {"org.seamonkey.seamonkey", browserProfile("org.seamonkey.seamonkey", Support::bestEffortFailClosed, Wake::none)},
      {"com.kagi.orion", browserProfile("com.kagi.orion", Support::bestEffortFailClosed, Wake::none)},
      {"com.maxthon.mac", browserProfile("com.maxthon.mac", Support::bestEffortFailClosed, Wake::none)},
      {"app.zen-browser.zen", browserProfile("app.zen-browser.zen", Support::bestEffortFailClosed, Wake::gecko)},
      // Normalised before matching.
      {" Com.Apple.Safari\n", browserProfile("com.apple.safari", Support::verifiedAdapter, Wake::none)},
      {"\u00A0ORG.MOZILLA.FLOORP\u2028",
       browserProfile("org.mozilla.floorp", Support::bestEffortFailClosed, Wake::none)},
  };
  for (const ProfileCase& c : cases) {
    SCOPED_TRACE(std::string(c.input.value_or("<absent>")));
    const auto profile = Registry::profile(c.input);
    EXPECT_EQ(profile, c.expected);
    EXPECT_FALSE(profile.usesOnlyCommonCaptureFields());
    EXPECT_TRUE(Registry::isRecognizedBrowser(c.input));
  }
}

TEST(ApplicationCapabilityRegistry, ProfilesOfOtherApplications) {
  const ApplicationProcessingProfile finder{
      "com.apple.finder",      ApplicationContextEnricher::finder, Support::notBrowser, Wake::none, {},
      {Field::finderFolderURL}};
  const ProfileCase cases[] = {
      {std::nullopt, plainProfile(std::nullopt, Wake::none, {})},
      {"", plainProfile(std::nullopt, Wake::none, {})},
      {" \n\t\u2029 ", plainProfile(std::nullopt, Wake::none, {})},
      {"com.apple.finder", finder},
      {" COM.APPLE.FINDER ", finder},
      {"com.apple.textedit", plainProfile("com.apple.textedit", Wake::none, {})},
      // No set matches by prefix.
      {"com.google.chrome.helper", plainProfile("com.google.chrome.helper", Wake::none, {})},
      {"com.apple.siri.helper", plainProfile("com.apple.siri.helper", Wake::none, {})},
      {"org.mozillafirefox", plainProfile("org.mozillafirefox", Wake::none, {})},
      {"com.microsoft.vscode", plainProfile("com.microsoft.vscode", Wake::electron, {})},
      {"com.apple.mail", plainProfile("com.apple.mail", Wake::appleWebKit, {})},
      {"orvane.vistrel", plainProfile("orvane.vistrel", Wake::none, {Group::selfApp})},
      {"COM.1PASSWORD.1PASSWORD", plainProfile("com.1password.1password", Wake::none, {Group::passwordManagers})},
      {"com.apple.loginwindow", plainProfile("com.apple.loginwindow", Wake::none, {Group::loginScreen})},
      {"com.apple.controlcenter", plainProfile("com.apple.controlcenter", Wake::none, {Group::controlCenter})},
      {"com.apple.spotlight", plainProfile("com.apple.spotlight", Wake::none, {Group::spotlight})},
      {"com.apple.siri", plainProfile("com.apple.siri", Wake::none, {Group::siri})},
      {"net.whatsapp.whatsapp", plainProfile("net.whatsapp.whatsapp", Wake::none, {Group::messagingNotifications})},
      // Messaging applications that also need a wake.
      {"com.tinyspeck.slackmacgap",
       plainProfile("com.tinyspeck.slackmacgap", Wake::electron, {Group::messagingNotifications})},
      {"org.whispersystems.signal-desktop",
       plainProfile("org.whispersystems.signal-desktop", Wake::electron, {Group::messagingNotifications})},
      {"com.hnc.discord", plainProfile("com.hnc.discord", Wake::electron, {Group::messagingNotifications})},
      {"com.microsoft.teams2", plainProfile("com.microsoft.teams2", Wake::electron, {Group::messagingNotifications})},
      {"ru.keepcoder.telegram", plainProfile("ru.keepcoder.telegram", Wake::electron, {Group::messagingNotifications})},
      {"com.apple.mobilesms", plainProfile("com.apple.mobilesms", Wake::appleWebKit, {Group::messagingNotifications})},
  };
  for (const ProfileCase& c : cases) {
    SCOPED_TRACE(std::string(c.input.value_or("<absent>")));
    const auto profile = Registry::profile(c.input);
    EXPECT_EQ(profile, c.expected);
    EXPECT_EQ(profile.usesOnlyCommonCaptureFields(), c.expected.contextEnricher == ApplicationContextEnricher::none);
    EXPECT_FALSE(Registry::isRecognizedBrowser(c.input));
  }
}

TEST(ApplicationCapabilityRegistry, EveryListedIdentifierHasTheWakeKindOfItsList) {
  const struct {
    const StringSet& set;
    Wake wake;
  } lists[] = {
      {Registry::electronWakeBundleIDs(), Wake::electron},
      {Registry::geckoWakeBundleIDs(), Wake::gecko},
      {Registry::appleWebKitWakeBundleIDs(), Wake::appleWebKit},
  };
  for (const auto& list : lists) {
    for (const std::string& identifier : list.set) {
      SCOPED_TRACE(identifier);
      EXPECT_EQ(Registry::profile(identifier).accessibilityWake, list.wake);
    }
  }
}

TEST(ApplicationCapabilityRegistry, EveryBrowserIsRecognizedAndNothingElseListedIs) {
  for (const std::string& identifier : Registry::browserBundleIDs()) {
    SCOPED_TRACE(identifier);
    EXPECT_TRUE(Registry::isRecognizedBrowser(identifier));
    EXPECT_EQ(Registry::profile(identifier).contextEnricher, ApplicationContextEnricher::browser);
  }
  for (const StringSet* set : {&Registry::appleWebKitWakeBundleIDs(), &Registry::passwordManagerBundleIDs(),
                               &Registry::messagingAndNotificationBundleIDs(), &Registry::selfBundleIDs()}) {
    for (const std::string& identifier : *set) {
      SCOPED_TRACE(identifier);
      EXPECT_FALSE(Registry::isRecognizedBrowser(identifier));
    }
  }
}

}  // namespace
}  // namespace Sablekit
