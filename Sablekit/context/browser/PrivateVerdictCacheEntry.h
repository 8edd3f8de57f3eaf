// One cached private-window verdict for one browser window.
#pragma once

#include "Sablekit/platform/AccessibilityElement.h"
#include "Sablekit/protocol/ContextStatuses.h"

namespace Sablekit {

struct PrivateVerdictCacheEntry {
  AccessibilityElement window;  // matched by the platform's identity test
  BrowserPrivacyVerdict verdict = BrowserPrivacyVerdict::unknown;
  bool authoritative = false;  // the browser's own scripting said so
  double insertedAt = 0.0;     // the clock's monotonic time
};

}  // namespace Sablekit
