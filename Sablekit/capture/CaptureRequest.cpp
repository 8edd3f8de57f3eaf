// Resolving a capture request's parameters into the values the pipeline uses.
#include "Sablekit/capture/CaptureRequest.h"

#include <algorithm>

namespace Sablekit {

namespace {

// The listed titles that qualify: non-empty, within the byte bound, among the
// first entries.
std::set<std::string> parentTitlesOf(const CaptureProbeParameters& parameters) {
  std::set<std::string> titles;
  if (!parameters.excludedParentWindowTitles) {
    return titles;
  }
  const auto& listed = *parameters.excludedParentWindowTitles;
  const std::size_t considered = std::min(listed.size(), CaptureRequest::parentTitleEntryLimit);
  for (std::size_t index = 0; index < considered; ++index) {
    if (!listed[index].empty() && listed[index].size() <= CaptureRequest::parentTitleMaximumBytes) {
      titles.insert(listed[index]);
    }
  }
  return titles;
}

}  // namespace

CaptureRequest CaptureRequest::resolve(const std::optional<CaptureProbeParameters>& parameters) {
  const CaptureProbeParameters given = parameters.value_or(CaptureProbeParameters{});
  return CaptureRequest{
      .policy = CapturePrivacyPolicy::forRequest(given),
      .parentTitles = parentTitlesOf(given),
      .inactive = given.isInactive(),
      .excludePrivateBrowsing = given.excludesPrivateBrowsing(),
      .allowBrowserAutomation = given.allowsBrowserAutomation(),
      .allowFinderAutomation = given.allowsFinderAutomation(),
      .longestSide = given.maximumDimensionBound(),
  };
}

}  // namespace Sablekit
