// The capture service: the one object the request loop talks to. It holds the
// other services of the capture host and answers each protocol method.
#pragma once

#include <optional>

#include "Sablekit/platform/PermissionChecks.h"
#include "Sablekit/platform/ProcessIdentity.h"
#include "Sablekit/protocol/AutomationProbeResult.h"
#include "Sablekit/protocol/CaptureProbeParameters.h"
#include "Sablekit/protocol/CaptureProbeResult.h"
#include "Sablekit/protocol/HostHealth.h"

namespace Sablekit {

class CaptureProbeService {
 public:
  // The references must outlive the service.
  CaptureProbeService(ProcessIdentity& processIdentity, PermissionChecks& permissions);

  // A fresh health report. Never fails; main thread.
  HostHealth health();

  // A privacy-filtered capture description. Throws CaptureHostError.
  CaptureProbeResult probe(const std::optional<CaptureProbeParameters>& parameters);

  // Checks the Automation permission of a browser or of Finder. Never fails:
  // trouble is reported in the result.
  AutomationProbeResult probeAutomation(const std::optional<CaptureProbeParameters>& parameters);

  // Forgets what was learnt about browser and Finder scripting.
  void resetAutomationState();

 private:
  ProcessIdentity& processIdentity_;
  PermissionChecks& permissions_;
};

}  // namespace Sablekit
