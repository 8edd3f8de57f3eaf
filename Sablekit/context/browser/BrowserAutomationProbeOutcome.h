// What one scripted query of a browser window's mode came to.
#pragma once

#include "Sablekit/protocol/ContextStatuses.h"

namespace Sablekit {

struct BrowserAutomationProbeOutcome {
  enum class Kind {
    verdict,           // the browser named the mode; never carries unknown
    transientFailure,  // worth trying again after a short pause
    permanentFailure,  // the user refused Automation, or the browser refused the request
  };

  Kind kind = Kind::transientFailure;
  BrowserPrivacyVerdict verdict = BrowserPrivacyVerdict::unknown;  // meaningful for Kind::verdict only

  static BrowserAutomationProbeOutcome of(BrowserPrivacyVerdict value) { return {Kind::verdict, value}; }
  static BrowserAutomationProbeOutcome transient() { return {Kind::transientFailure, BrowserPrivacyVerdict::unknown}; }
  static BrowserAutomationProbeOutcome permanent() { return {Kind::permanentFailure, BrowserPrivacyVerdict::unknown}; }

  bool operator==(const BrowserAutomationProbeOutcome&) const = default;
};

}  // namespace Sablekit
