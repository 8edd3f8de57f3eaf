#include "Sablekit/context/ApplicationCapabilityRegistry.h"

#include <array>
#include <string>
#include <unordered_map>

#include "Sablekit/common/BundleIDNormalization.h"

namespace Sablekit {
namespace {

using Group = ApplicationExclusionGroup;
using GroupEntry = ApplicationCapabilityRegistry::ExclusionGroupEntry;

StringSet makeSet(std::span<const std::string_view> identifiers) {
  StringSet set;
  for (const std::string_view identifier : identifiers) {
    set.emplace(identifier);
  }
  return set;
}

constexpr std::array<std::string_view, 11> primaryBrowsers{
    "com.apple.safari",       "com.google.chrome",
    "com.microsoft.edgemac",  "company.thebrowser.browser",
    "company.thebrowser.dia", "com.brave.browser",
    "com.vivaldi.vivaldi",    "com.operasoftware.opera",
    "org.mozilla.firefox",    "org.mozilla.firefoxdeveloperedition",
    "org.mozilla.nightly",
};

constexpr std::array<std::string_view, 6> secondaryChromium{
    "com.google.chrome.canary", "com.google.chrome.beta", "com.google.chrome.dev",
    "org.chromium.chromium",    "com.vivaldi.vivaldi",    "com.operasoftware.opera",
};

constexpr std::array<std::string_view, 12> bestEffortBrowsers{
    "com.duckduckgo.macos.browser",
    "io.github.zen_browser.zen",
    "org.torproject.torbrowser",
    "io.gitlab.librewolf-community",
    "org.librewolf-community",
    "net.waterfox.waterfox",
    "org.mozilla.floorp",
    "net.palemoon.palemoon",
    "org.seamonkey.seamonkey",
    "com.kagi.orion",
    "com.maxthon.mac",
    "app.zen-browser.zen",
};

constexpr std::array<std::string_view, 9> deterministicChromium{
    "com.google.chrome",     "com.google.chrome.canary", "com.google.chrome.beta",
    "com.google.chrome.dev", "com.microsoft.edgemac",    "com.brave.browser",
    "com.vivaldi.vivaldi",   "com.operasoftware.opera",  "org.chromium.chromium",
};

constexpr std::array<std::string_view, 26> electronWake{
    "com.tinyspeck.slackmacgap",
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
    "company.thebrowser.dia",
};

constexpr std::array<std::string_view, 9> geckoWake{
    "org.mozilla.firefox",           "org.mozilla.firefoxdeveloperedition",
    "org.mozilla.nightly",           "org.mozilla.firefox.beta",
    "org.torproject.torbrowser",     "org.librewolf-community",
    "io.gitlab.librewolf-community", "net.waterfox.waterfox",
    "app.zen-browser.zen",
};

constexpr std::array<std::string_view, 23> appleWebKitWake{
    "com.apple.maps",          "com.apple.news",       "com.apple.mobilesms",   "com.apple.facetime",
    "com.apple.home",          "com.apple.voicememos", "com.apple.ibooksx",     "com.apple.ibooksx.ibookscontentsync",
    "com.apple.findmy",        "com.apple.podcasts",   "com.apple.stocks",      "com.apple.weather",
    "com.apple.shortcuts",     "com.apple.reminders",  "com.apple.iwork.pages", "com.apple.iwork.numbers",
    "com.apple.iwork.keynote", "com.apple.music",      "com.apple.tv",          "com.apple.mail",
    "com.apple.notes",         "com.apple.ical",       "com.apple.appstore",
};

constexpr std::array<std::string_view, 1> selfApplication{"orvane.vistrel"};

constexpr std::array<std::string_view, 7> passwordManagers{
    "com.1password.1password", "com.agilebits.onepassword7", "com.bitwarden.desktop",   "org.keepassxc.keepassxc",
    "com.apple.passwords",     "com.apple.keychainaccess",   "in.sinew.enpass-desktop",
};

constexpr std::array<std::string_view, 13> messagingAndNotifications{
    "com.tinyspeck.slackmacgap",
    "com.hnc.discord",
    "net.whatsapp.whatsapp",
    "org.whispersystems.signal-desktop",
    "ru.keepcoder.telegram",
    "org.telegram.desktop",
    "com.apple.mobilesms",
    "com.microsoft.teams2",
    "com.tencent.xinwechat",
    "com.facebook.archon",
    "com.skype.skype",
    "com.apple.notificationcenterui",
    "com.apple.usernotificationcenter",
};

constexpr std::array<std::string_view, 1> loginScreen{"com.apple.loginwindow"};
constexpr std::array<std::string_view, 1> controlCenter{"com.apple.controlcenter"};
constexpr std::array<std::string_view, 1> spotlight{"com.apple.spotlight"};
constexpr std::array<std::string_view, 1> siri{"com.apple.siri"};

constexpr std::array<GroupEntry, 7> exclusionGroupTable{{
    {Group::selfApp, "self", true, selfApplication},
    {Group::passwordManagers, "passwordManager", false, passwordManagers},
    {Group::loginScreen, "loginScreen", false, loginScreen},
    {Group::messagingNotifications, "messagingNotification", false, messagingAndNotifications},
    {Group::controlCenter, "controlCenter", false, controlCenter},
    {Group::spotlight, "spotlight", false, spotlight},
    {Group::siri, "siri", false, siri},
}};

// The registry's own reading of an identifier: blank means no identifier.
std::optional<std::string> normalized(std::optional<std::string_view> bundleID) {
  if (!bundleID) {
    return std::nullopt;
  }
  std::string result = normalizeBundleID(*bundleID);
  if (result.empty()) {
    return std::nullopt;
  }
  return result;
}

bool isRecognizedNormalizedBrowser(std::string_view normalizedBundleID) {
  return ApplicationCapabilityRegistry::browserBundleIDs().contains(normalizedBundleID) ||
         normalizedBundleID.starts_with(ApplicationCapabilityRegistry::mozillaBundleIDPrefix);
}

}  // namespace

const StringSet& ApplicationCapabilityRegistry::primaryBrowserBundleIDs() {
  static const StringSet set = makeSet(primaryBrowsers);
  return set;
}

const StringSet& ApplicationCapabilityRegistry::secondaryChromiumBundleIDs() {
  static const StringSet set = makeSet(secondaryChromium);
  return set;
}

const StringSet& ApplicationCapabilityRegistry::bestEffortBrowserBundleIDs() {
  static const StringSet set = makeSet(bestEffortBrowsers);
  return set;
}

const StringSet& ApplicationCapabilityRegistry::deterministicChromiumBundleIDs() {
  static const StringSet set = makeSet(deterministicChromium);
  return set;
}

const StringSet& ApplicationCapabilityRegistry::browserBundleIDs() {
  static const StringSet set = [] {
    StringSet all;
    for (const StringSet* part :
         {&primaryBrowserBundleIDs(), &secondaryChromiumBundleIDs(), &bestEffortBrowserBundleIDs()}) {
      all.insert(part->begin(), part->end());
    }
    return all;
  }();
  return set;
}

const StringSet& ApplicationCapabilityRegistry::electronWakeBundleIDs() {
  static const StringSet set = makeSet(electronWake);
  return set;
}

const StringSet& ApplicationCapabilityRegistry::geckoWakeBundleIDs() {
  static const StringSet set = makeSet(geckoWake);
  return set;
}

const StringSet& ApplicationCapabilityRegistry::appleWebKitWakeBundleIDs() {
  static const StringSet set = makeSet(appleWebKitWake);
  return set;
}

const StringSet& ApplicationCapabilityRegistry::selfBundleIDs() {
  static const StringSet set = makeSet(selfApplication);
  return set;
}

const StringSet& ApplicationCapabilityRegistry::passwordManagerBundleIDs() {
  static const StringSet set = makeSet(passwordManagers);
  return set;
}

const StringSet& ApplicationCapabilityRegistry::messagingAndNotificationBundleIDs() {
  static const StringSet set = makeSet(messagingAndNotifications);
  return set;
}

std::span<const GroupEntry> ApplicationCapabilityRegistry::exclusionGroups() {
  return exclusionGroupTable;
}

const GroupEntry* ApplicationCapabilityRegistry::exclusionGroup(std::string_view normalizedBundleID) {
  // One lookup instead of one per group.
  static const auto groupOf = [] {
    std::unordered_map<std::string, const GroupEntry*, TransparentStringHash, std::equal_to<>> map;
    for (const GroupEntry& entry : exclusionGroupTable) {
      for (const std::string_view identifier : entry.bundleIDs) {
        map.emplace(identifier, &entry);
      }
    }
    return map;
  }();
  const auto found = groupOf.find(normalizedBundleID);
  return found == groupOf.end() ? nullptr : found->second;
}

bool ApplicationCapabilityRegistry::isRecognizedBrowser(std::optional<std::string_view> bundleID) {
  const auto n = normalized(bundleID);
  return n && isRecognizedNormalizedBrowser(*n);
}

ApplicationProcessingProfile ApplicationCapabilityRegistry::profile(std::optional<std::string_view> bundleID) {
  ApplicationProcessingProfile result;
  result.normalizedBundleID = normalized(bundleID);
  if (!result.normalizedBundleID) {
    return result;
  }
  const std::string& n = *result.normalizedBundleID;

  if (n == finderBundleID) {
    result.contextEnricher = ApplicationContextEnricher::finder;
    result.additionalFields = {ApplicationAdditionalField::finderFolderURL};
  } else if (isRecognizedNormalizedBrowser(n)) {
    result.contextEnricher = ApplicationContextEnricher::browser;
    result.browserPrivacySupport = bestEffortBrowserBundleIDs().contains(n)
                                       ? BrowserPrivacySupport::bestEffortFailClosed
                                       : BrowserPrivacySupport::verifiedAdapter;
    result.additionalFields = {ApplicationAdditionalField::pageURL, ApplicationAdditionalField::normalizedDomain,
                               ApplicationAdditionalField::browserPrivacyVerdict,
                               ApplicationAdditionalField::browserReadabilityVerdict};
  }

  // Independent of the enricher: Dia is a browser that needs the Electron wake.
  if (electronWakeBundleIDs().contains(n)) {
    result.accessibilityWake = AccessibilityWakeKind::electron;
  } else if (geckoWakeBundleIDs().contains(n)) {
    result.accessibilityWake = AccessibilityWakeKind::gecko;
  } else if (appleWebKitWakeBundleIDs().contains(n)) {
    result.accessibilityWake = AccessibilityWakeKind::appleWebKit;
  }

  if (const GroupEntry* entry = exclusionGroup(n)) {
    result.exclusionGroups.insert(entry->group);
  }
  return result;
}

}  // namespace Sablekit
