#include "Sablekit/capture/CaptureProbeService.h"

#include "Sablekit/protocol/CaptureHostError.h"

namespace Sablekit {

CaptureProbeService::CaptureProbeService(ProcessIdentity& processIdentity, PermissionChecks& permissions)
    : processIdentity_(processIdentity), permissions_(permissions) {}

HostHealth CaptureProbeService::health() {
  return HostHealth{
      .protocolVersion = vistrelProtocolVersion,
      .hostVersion = std::string(vistrelHostVersion),
      .processID = processIdentity_.processID(),
      .screenRecordingPreflight = permissions_.screenRecordingPreflight(),
      .accessibilityTrusted = permissions_.accessibilityTrusted(),
      .captureProbeSupported = true,
      // No browser probe can hold the coordinator and Finder has not been
      // scripted until the context services are in place.
      .browserAutomationProbeBusy = false,
      .finderAutomationUnavailable = false,
  };
}

CaptureProbeResult CaptureProbeService::probe(const std::optional<CaptureProbeParameters>& /*parameters*/) {
  throw CaptureHostError::captureFailed("Screen capture is not available in this build");
}

AutomationProbeResult CaptureProbeService::probeAutomation(const std::optional<CaptureProbeParameters>& parameters) {
  const std::optional<std::string> targetName = parameters ? parameters->automationTarget : std::nullopt;
  const std::optional<AutomationProbeTarget> target =
      targetName ? fromRawValue<AutomationProbeTarget>(*targetName) : std::nullopt;
  if (!target) {
    return AutomationProbeResult::invalidTarget();
  }
  return AutomationProbeResult{
      .target = *target,
      .status = AutomationProbeStatus::unsupported,
      .bundleID = std::nullopt,
      .applicationName = std::nullopt,
      .message = "Automation probing is not available in this build.",
  };
}

void CaptureProbeService::resetAutomationState() {}

}  // namespace Sablekit
