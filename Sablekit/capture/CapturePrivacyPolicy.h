// Which applications and web domains must never appear in a capture. One
// policy is built per capture request and never changes afterwards.
#pragma once

#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "Sablekit/context/ApplicationExclusionGroup.h"
#include "Sablekit/context/StringSet.h"
#include "Sablekit/protocol/CaptureProbeParameters.h"

namespace Sablekit {

class CapturePrivacyPolicy {
 public:
  // Identifiers and domains are normalised here; domains that are not domain
  // names (empty, with "/" or an inner space) are dropped.
  CapturePrivacyPolicy(const std::vector<std::string>& explicitExcludedBundleIDs,
                       const std::vector<std::string>& explicitExcludedDomains,
                       bool recordUnknownBundleIDs,
                       bool excludeProtectedApplications,
                       std::set<ApplicationExclusionGroup> enabledExclusionGroups);

  // The policy of a request: for each absent member the strictest choice, so
  // a request without parameters passes an empty set of them. A present but
  // empty group list enables no group; names that match no group are ignored.
  static CapturePrivacyPolicy forRequest(const CaptureProbeParameters& parameters);

  const StringSet& explicitExcludedBundleIDs() const { return explicitExcludedBundleIDs_; }
  const StringSet& explicitExcludedDomains() const { return explicitExcludedDomains_; }
  bool recordUnknownBundleIDs() const { return recordUnknownBundleIDs_; }
  bool excludeProtectedApplications() const { return excludeProtectedApplications_; }
  const std::set<ApplicationExclusionGroup>& enabledExclusionGroups() const { return enabledExclusionGroups_; }

  // Why windows of this application must not be captured, or absent when they
  // may be, the first that applies of: "unknownBundle" (no identifier, unless
  // unknown ones are recorded); the reason of a group excluded under every
  // policy ("self"); "explicit"; the reason of an enabled exclusion group the
  // application belongs to ("passwordManager", "loginScreen", ...), while
  // protected applications are excluded. The groups and their reasons are the
  // registry's. Identifiers are trimmed and lowercased first; blank stays "".
  std::optional<std::string_view> exclusionReason(std::optional<std::string_view> bundleID) const;

  // True for an explicitly excluded domain and every name below it.
  bool isDomainExcluded(std::optional<std::string_view> domain) const;

  // Trims white space and full stops, lowercases; absent when nothing is left
  // or the text contains "/" or a space.
  static std::optional<std::string> normalizeDomain(std::string_view domain);

  // The name a site is registered under: the last two labels, or three below
  // a known two-label public suffix. Addresses with ports, IP literals, IPv4
  // addresses and single labels stay whole.
  static std::optional<std::string> registrableDomain(std::string_view host);

  // The registrable domain of an http(s) page address; absent for anything
  // else, and for addresses that carry user information.
  static std::optional<std::string> domain(std::optional<std::string_view> webURL);

 private:
  StringSet explicitExcludedBundleIDs_;
  StringSet explicitExcludedDomains_;
  bool recordUnknownBundleIDs_;
  bool excludeProtectedApplications_;
  std::set<ApplicationExclusionGroup> enabledExclusionGroups_;
};

}  // namespace Sablekit
