// One capture request with every default applied. It is resolved once, where
// the request enters the capture service, so no later step asks again what an
// absent parameter means: absent parameters are exactly the defaults.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <set>
#include <string>

#include "Sablekit/capture/CapturePrivacyPolicy.h"
#include "Sablekit/protocol/CaptureProbeParameters.h"

namespace Sablekit {

struct CaptureRequest {
  // A parent window title enters the exclusion list only from the first
  // entries of the request and only within these UTF-8 byte lengths.
  static constexpr std::size_t parentTitleEntryLimit = 32;
  static constexpr std::size_t parentTitleMaximumBytes = 500;

  CapturePrivacyPolicy policy;
  std::set<std::string> parentTitles;  // exact titles of the parent's windows that must not be captured
  bool inactive = false;               // the user is away: report the neutral identity, wake nothing
  bool excludePrivateBrowsing = true;
  bool allowBrowserAutomation = false;
  bool allowFinderAutomation = false;
  std::int64_t longestSide = CaptureProbeParameters::defaultMaximumDimension;  // pixels, already clamped

  // Never fails: every member of the parameters has a default or a bound.
  static CaptureRequest resolve(const std::optional<CaptureProbeParameters>& parameters);
};

}  // namespace Sablekit
