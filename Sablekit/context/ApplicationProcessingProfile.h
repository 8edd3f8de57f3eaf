// What the capture host knows about one application, derived from its bundle
// identifier by ApplicationCapabilityRegistry.
#pragma once

#include <optional>
#include <set>
#include <string>

#include "Sablekit/context/ApplicationAdditionalField.h"
#include "Sablekit/context/ApplicationContextEnricher.h"
#include "Sablekit/context/ApplicationExclusionGroup.h"
#include "Sablekit/context/BrowserPrivacySupport.h"
#include "Sablekit/protocol/AccessibilityWakeResult.h"

namespace Sablekit {

struct ApplicationProcessingProfile {
  std::optional<std::string> normalizedBundleID;  // absent for no or a blank identifier
  ApplicationContextEnricher contextEnricher = ApplicationContextEnricher::none;
  BrowserPrivacySupport browserPrivacySupport = BrowserPrivacySupport::notBrowser;
  AccessibilityWakeKind accessibilityWake = AccessibilityWakeKind::none;
  std::set<ApplicationExclusionGroup> exclusionGroups;
  std::set<ApplicationAdditionalField> additionalFields;

  bool usesOnlyCommonCaptureFields() const { return additionalFields.empty(); }

  bool operator==(const ApplicationProcessingProfile&) const = default;
};

}  // namespace Sablekit
