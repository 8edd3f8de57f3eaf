// Everything the capture host knows about particular macOS applications, keyed
// by bundle identifier. Each list of identifiers exists here once; services
// that need a list read it from here instead of keeping their own copy.
//
// Stateless: the sets are built on first use and never change, so every member
// may be called from any thread.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "Sablekit/context/ApplicationProcessingProfile.h"
#include "Sablekit/context/StringSet.h"

namespace Sablekit {

class ApplicationCapabilityRegistry {
 public:
  ApplicationCapabilityRegistry() = delete;

  static constexpr std::int64_t version = 1;

  static constexpr std::string_view finderBundleID = "com.apple.finder";
  // Any identifier under this prefix is a Firefox-family browser.
  static constexpr std::string_view mozillaBundleIDPrefix = "org.mozilla.";
  static constexpr std::string_view loginWindowBundleID = "com.apple.loginwindow";
  static constexpr std::string_view controlCenterBundleID = "com.apple.controlcenter";
  static constexpr std::string_view spotlightBundleID = "com.apple.spotlight";
  static constexpr std::string_view siriBundleID = "com.apple.siri";

  // The profile of an application; absent, empty and blank identifiers get
  // the profile of no application in particular.
  static ApplicationProcessingProfile profile(std::optional<std::string_view> bundleID);

  // A listed browser, or any identifier under "org.mozilla.".
  static bool isRecognizedBrowser(std::optional<std::string_view> bundleID);

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
  static const StringSet& selfBundleIDs();
  static const StringSet& passwordManagerBundleIDs();
  static const StringSet& messagingAndNotificationBundleIDs();
};

}  // namespace Sablekit
