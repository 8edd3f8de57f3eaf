// Everything the capture host knows about particular macOS applications, keyed
// by bundle identifier. Each list of identifiers exists here once; services
// that need a list read it from here instead of keeping their own copy.
//
// Stateless: the sets are built on first use and never change, so every member
// may be called from any thread.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

#include "Sablekit/context/ApplicationProcessingProfile.h"
#include "Sablekit/context/StringSet.h"

namespace Sablekit {

class ApplicationCapabilityRegistry {
 public:
  ApplicationCapabilityRegistry() = delete;

  static constexpr std::int64_t version = 1;

  static constexpr std::string_view finderBundleID = "com.apple.finder";
  // The Dock, whose backdrop window marks a full-screen space.
  static constexpr std::string_view dockBundleID = "com.apple.dock";
  // Any identifier under this prefix is a Firefox-family browser.
  static constexpr std::string_view mozillaBundleIDPrefix = "org.mozilla.";

  // A group of applications that captures protect.
  struct ExclusionGroupEntry {
    ApplicationExclusionGroup group;
    std::string_view reason;  // what the privacy policy reports for a member
    // Excluded under every policy, whatever groups the request enables: the
    // capture host itself.
    bool underEveryPolicy;
    std::span<const std::string_view> bundleIDs;  // whole normalised identifiers
  };

  // The profile of an application; absent, empty and blank identifiers get
  // the profile of no application in particular.
  static ApplicationProcessingProfile profile(std::optional<std::string_view> bundleID);

  // A listed browser, or any identifier under "org.mozilla.". The one test of
  // "is this a browser"; absent, empty and blank identifiers are none.
  static bool isRecognizedBrowser(std::optional<std::string_view> bundleID);

  // Every exclusion group, in the order in which the privacy policy names the
  // first reason that applies. No identifier is in two groups.
  static std::span<const ExclusionGroupEntry> exclusionGroups();

  // The group of a normalised identifier; null when it is in none.
  static const ExclusionGroupEntry* exclusionGroup(std::string_view normalizedBundleID);

  // The named sets; lowercase identifiers, matched by exact equality against
  // normalised identifiers.
  static const StringSet& primaryBrowserBundleIDs();
  static const StringSet& secondaryChromiumBundleIDs();
  static const StringSet& bestEffortBrowserBundleIDs();
  static const StringSet& deterministicChromiumBundleIDs();
  static const StringSet& browserBundleIDs();  // primary, secondary and best effort together
  static const StringSet& electronWakeBundleIDs();
  static const StringSet& geckoWakeBundleIDs();
  static const StringSet& appleWebKitWakeBundleIDs();
  // The members of three exclusion groups, as sets.
  static const StringSet& selfBundleIDs();
  static const StringSet& passwordManagerBundleIDs();
  static const StringSet& messagingAndNotificationBundleIDs();
};

}  // namespace Sablekit
