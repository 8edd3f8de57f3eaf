// The parameters of a capture or automation request. Every member is optional;
// the accessors below apply the documented defaults and bounds.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "Sablekit/protocol/JsonCodec.h"

namespace Sablekit {

struct CaptureProbeParameters {
  std::optional<std::int64_t> maximumDimension;
  std::optional<bool> inactive;
  std::optional<std::vector<std::string>> excludedBundleIDs;
  std::optional<std::vector<std::string>> excludedDomains;
  std::optional<std::vector<std::string>> excludedParentWindowTitles;
  std::optional<bool> recordUnknownBundleIDs;
  std::optional<bool> excludeProtectedApplications;
  std::optional<bool> excludePrivateBrowsing;
  std::optional<bool> allowBrowserAutomation;
  std::optional<bool> allowFinderAutomation;
  std::optional<std::vector<std::string>> enabledExclusionGroups;
  std::optional<std::string> automationTarget;
  std::optional<std::string> browserBundleID;

  static constexpr std::int64_t defaultMaximumDimension = 3840;
  static constexpr std::int64_t smallestMaximumDimension = 320;
  static constexpr std::int64_t largestMaximumDimension = 7680;

  // The longest-side bound in pixels: 3840 when absent, else clamped to 320...7680.
  std::int64_t maximumDimensionBound() const;

  // The members with their defaults applied.
  bool isInactive() const { return inactive.value_or(false); }
  bool recordsUnknownBundleIDs() const { return recordUnknownBundleIDs.value_or(false); }
  bool excludesProtectedApplications() const { return excludeProtectedApplications.value_or(true); }
  bool excludesPrivateBrowsing() const { return excludePrivateBrowsing.value_or(true); }
  bool allowsBrowserAutomation() const { return allowBrowserAutomation.value_or(false); }
  bool allowsFinderAutomation() const { return allowFinderAutomation.value_or(false); }

  // Throws JsonCodec::DecodingError for a member of the wrong type.
  static CaptureProbeParameters decode(const JsonCodec::Value& value, const std::string& path = "params");
  bool operator==(const CaptureProbeParameters&) const = default;
};

// Absent members are left out.
void to_json(JsonCodec::Value& json, const CaptureProbeParameters& parameters);

}  // namespace Sablekit
