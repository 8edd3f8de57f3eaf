// The application capability registry: the properties of its lists, the one
// table of exclusion groups, and the profiles its rules give.
#include <algorithm>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

#include "Sablekit/common/BundleIDNormalization.h"
#include "Sablekit/context/ApplicationCapabilityRegistry.h"

namespace Sablekit {
namespace {

using Registry = ApplicationCapabilityRegistry;
using Field = ApplicationAdditionalField;
using Group = ApplicationExclusionGroup;
using Support = BrowserPrivacySupport;
using Wake = AccessibilityWakeKind;

struct NamedSet {
  const char* name;
  const StringSet& members;
  std::size_t size;
};

// Every named set with its documented size.
const std::vector<NamedSet>& namedSets() {
  static const std::vector<NamedSet> sets{
      {"primaryBrowserBundleIDs", Registry::primaryBrowserBundleIDs(), 11},
      {"secondaryChromiumBundleIDs", Registry::secondaryChromiumBundleIDs(), 6},
      {"bestEffortBrowserBundleIDs", Registry::bestEffortBrowserBundleIDs(), 12},
      {"deterministicChromiumBundleIDs", Registry::deterministicChromiumBundleIDs(), 9},
      {"browserBundleIDs", Registry::browserBundleIDs(), 27},
      {"electronWakeBundleIDs", Registry::electronWakeBundleIDs(), 26},
      {"geckoWakeBundleIDs", Registry::geckoWakeBundleIDs(), 9},
      {"appleWebKitWakeBundleIDs", Registry::appleWebKitWakeBundleIDs(), 23},
      {"selfBundleIDs", Registry::selfBundleIDs(), 1},
      {"passwordManagerBundleIDs", Registry::passwordManagerBundleIDs(), 7},
      {"messagingAndNotificationBundleIDs", Registry::messagingAndNotificationBundleIDs(), 13},
  };
  return sets;
}

const Registry::ExclusionGroupEntry& entryOf(Group group) {
  const auto groups = Registry::exclusionGroups();
  return *std::find_if(groups.begin(), groups.end(), [&](const auto& entry) { return entry.group == group; });
}

StringSet membersOf(const Registry::ExclusionGroupEntry& entry) {
  StringSet members;
  for (const std::string_view identifier : entry.bundleIDs) {
    members.emplace(identifier);
  }
  return members;
}

TEST(ApplicationCapabilityRegistry, EveryListHoldsNormalisedIdentifiersAndHasItsDocumentedSize) {
  for (const NamedSet& set : namedSets()) {
    SCOPED_TRACE(set.name);
    EXPECT_EQ(set.members.size(), set.size);
    for (const std::string& identifier : set.members) {
      EXPECT_FALSE(identifier.empty());
      EXPECT_EQ(normalizeBundleID(identifier), identifier);
    }
  }
  for (const auto& entry : Registry::exclusionGroups()) {
    SCOPED_TRACE(std::string(rawValue(entry.group)));
    EXPECT_FALSE(entry.bundleIDs.empty());
    for (const std::string_view identifier : entry.bundleIDs) {
      EXPECT_EQ(normalizeBundleID(identifier), identifier);
    }
  }
}

TEST(ApplicationCapabilityRegistry, ExclusionGroupsAreOneTableOfDisjointGroups) {
  const auto groups = Registry::exclusionGroups();
  // Each group has exactly one row, so the policy has one reason for it.
  for (const Group group : allCases<Group>()) {
    SCOPED_TRACE(std::string(rawValue(group)));
    EXPECT_EQ(std::count_if(groups.begin(), groups.end(), [&](const auto& entry) { return entry.group == group; }), 1);
  }
  // Disjoint, so an identifier's reason does not depend on the order of the rows.
  std::set<std::string_view> seen;
  for (const auto& entry : groups) {
    for (const std::string_view identifier : entry.bundleIDs) {
      SCOPED_TRACE(identifier);
      EXPECT_TRUE(seen.insert(identifier).second) << "in two groups";
      EXPECT_EQ(Registry::exclusionGroup(identifier), &entry);
    }
  }
  EXPECT_EQ(Registry::exclusionGroup("com.apple.siri.helper"), nullptr);
  EXPECT_EQ(Registry::exclusionGroup(" com.apple.siri"), nullptr) << "normalised identifiers only";
  // Only the host itself is excluded whatever the request says.
  for (const auto& entry : groups) {
    EXPECT_EQ(entry.underEveryPolicy, entry.group == Group::selfApp) << rawValue(entry.group);
  }
  // The named group sets are the table's members, not a second list.
  EXPECT_EQ(Registry::selfBundleIDs(), membersOf(entryOf(Group::selfApp)));
  EXPECT_EQ(Registry::passwordManagerBundleIDs(), membersOf(entryOf(Group::passwordManagers)));
  EXPECT_EQ(Registry::messagingAndNotificationBundleIDs(), membersOf(entryOf(Group::messagingNotifications)));
}

TEST(ApplicationCapabilityRegistry, EveryListedIdentifierHasOneProfileMadeOfItsLists) {
  const std::set<Field> browserFields{Field::pageURL, Field::normalizedDomain, Field::browserPrivacyVerdict,
                                      Field::browserReadabilityVerdict};
  for (const std::string& identifier : Registry::browserBundleIDs()) {
    SCOPED_TRACE(identifier);
    const auto profile = Registry::profile(identifier);
    EXPECT_EQ(profile.normalizedBundleID, identifier);
    EXPECT_EQ(profile.contextEnricher, ApplicationContextEnricher::browser);
    EXPECT_EQ(profile.additionalFields, browserFields);
    EXPECT_EQ(profile.browserPrivacySupport, Registry::bestEffortBrowserBundleIDs().contains(identifier)
                                                 ? Support::bestEffortFailClosed
                                                 : Support::verifiedAdapter);
    EXPECT_TRUE(profile.exclusionGroups.empty());
  }
  for (const auto& entry : Registry::exclusionGroups()) {
    for (const std::string_view identifier : entry.bundleIDs) {
      SCOPED_TRACE(identifier);
      const auto profile = Registry::profile(identifier);
      EXPECT_EQ(profile.exclusionGroups, std::set<Group>{entry.group});
      EXPECT_EQ(profile.contextEnricher, ApplicationContextEnricher::none);
      EXPECT_TRUE(profile.usesOnlyCommonCaptureFields());
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

TEST(ApplicationCapabilityRegistry, BrowserProfilesFollowTheRules) {
  const ProfileCase cases[] = {
      {"com.google.chrome", browserProfile("com.google.chrome", Support::verifiedAdapter, Wake::none)},
      // A browser that also needs the Electron wake.
      {"company.thebrowser.dia", browserProfile("company.thebrowser.dia", Support::verifiedAdapter, Wake::electron)},
      {"org.mozilla.firefox", browserProfile("org.mozilla.firefox", Support::verifiedAdapter, Wake::gecko)},
      // Browsers by the "org.mozilla." prefix alone.
      {"org.mozilla.firefox.beta", browserProfile("org.mozilla.firefox.beta", Support::verifiedAdapter, Wake::gecko)},
      {"org.mozilla.thunderbird", browserProfile("org.mozilla.thunderbird", Support::verifiedAdapter, Wake::none)},
      // Best effort, with and without a wake.
      {"org.torproject.torbrowser",
       browserProfile("org.torproject.torbrowser", Support::bestEffortFailClosed, Wake::gecko)},
      {"com.kagi.orion", browserProfile("com.kagi.orion", Support::bestEffortFailClosed, Wake::none)},
      // Prefix-recognised and best effort: best effort wins.
      {"org.mozilla.floorp", browserProfile("org.mozilla.floorp", Support::bestEffortFailClosed, Wake::none)},
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
