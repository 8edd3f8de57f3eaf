// The key under which automation state is kept per browser and browser version.
// It is a pair rather than one joined string so that forgetting one browser
// can never touch another whose identifier merely shares a prefix.
#pragma once

#include <compare>
#include <string>
#include <string_view>
#include <utility>

namespace Sablekit {

struct BrowserKey {
  std::string bundleID;        // already normalised
  std::string browserVersion;  // "unknown" when the browser gave none

  // Versions are not normalised: two spellings are two versions.
  static BrowserKey make(std::string normalizedBundleID, std::string_view browserVersion) {
    return BrowserKey{std::move(normalizedBundleID),
                      browserVersion.empty() ? std::string("unknown") : std::string(browserVersion)};
  }

  bool operator==(const BrowserKey&) const = default;
  std::strong_ordering operator<=>(const BrowserKey&) const = default;
};

}  // namespace Sablekit
