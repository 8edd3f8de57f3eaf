#include "Sablekit/protocol/CaptureProbeParameters.h"

#include <algorithm>

namespace Sablekit {

std::int64_t CaptureProbeParameters::maximumDimensionBound() const {
  if (!maximumDimension) {
    return defaultMaximumDimension;
  }
  // Values below 321 count as 320, so the lower clamp is a plain max.
  return std::clamp(*maximumDimension, smallestMaximumDimension, largestMaximumDimension);
}

CaptureProbeParameters CaptureProbeParameters::decode(const JsonCodec::Value& value, const std::string& path) {
  const JsonCodec::ObjectReader reader(value, path);
  return CaptureProbeParameters{
      .maximumDimension = reader.optionalInt64("maximumDimension"),
      .inactive = reader.optionalBool("inactive"),
      .excludedBundleIDs = reader.optionalStringArray("excludedBundleIDs"),
      .excludedDomains = reader.optionalStringArray("excludedDomains"),
      .excludedParentWindowTitles = reader.optionalStringArray("excludedParentWindowTitles"),
      .recordUnknownBundleIDs = reader.optionalBool("recordUnknownBundleIDs"),
      .excludeProtectedApplications = reader.optionalBool("excludeProtectedApplications"),
      .excludePrivateBrowsing = reader.optionalBool("excludePrivateBrowsing"),
      .allowBrowserAutomation = reader.optionalBool("allowBrowserAutomation"),
      .allowFinderAutomation = reader.optionalBool("allowFinderAutomation"),
      .enabledExclusionGroups = reader.optionalStringArray("enabledExclusionGroups"),
      .automationTarget = reader.optionalString("automationTarget"),
      .browserBundleID = reader.optionalString("browserBundleID"),
  };
}

void to_json(JsonCodec::Value& json, const CaptureProbeParameters& parameters) {
  json = JsonCodec::Value::object();
  JsonCodec::putIfPresent(json, "maximumDimension", parameters.maximumDimension);
  JsonCodec::putIfPresent(json, "inactive", parameters.inactive);
  JsonCodec::putIfPresent(json, "excludedBundleIDs", parameters.excludedBundleIDs);
  JsonCodec::putIfPresent(json, "excludedDomains", parameters.excludedDomains);
  JsonCodec::putIfPresent(json, "excludedParentWindowTitles", parameters.excludedParentWindowTitles);
  JsonCodec::putIfPresent(json, "recordUnknownBundleIDs", parameters.recordUnknownBundleIDs);
  JsonCodec::putIfPresent(json, "excludeProtectedApplications", parameters.excludeProtectedApplications);
  JsonCodec::putIfPresent(json, "excludePrivateBrowsing", parameters.excludePrivateBrowsing);
  JsonCodec::putIfPresent(json, "allowBrowserAutomation", parameters.allowBrowserAutomation);
  JsonCodec::putIfPresent(json, "allowFinderAutomation", parameters.allowFinderAutomation);
  JsonCodec::putIfPresent(json, "enabledExclusionGroups", parameters.enabledExclusionGroups);
  JsonCodec::putIfPresent(json, "automationTarget", parameters.automationTarget);
  JsonCodec::putIfPresent(json, "browserBundleID", parameters.browserBundleID);
}

}  // namespace Sablekit
