// Tells the capture service what a browser's focused window shows: the page
// address, normalised to a safe web address, and whether the window is
// private. Reads go through accessibility; every read of a recognised browser
// is reported to the read-health monitor.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "Sablekit/context/StringSet.h"
#include "Sablekit/context/automation/BrowserAutomationCapabilityCache.h"
#include "Sablekit/context/automation/BrowserAutomationProbeCoordinator.h"
#include "Sablekit/context/automation/BrowserURLReadHealthMonitor.h"
#include "Sablekit/context/browser/BrowserPageAddressReader.h"
#include "Sablekit/context/browser/BrowserPrivateWindowVerdict.h"
#include "Sablekit/platform/PermissionChecks.h"
#include "Sablekit/protocol/BrowserContextResult.h"

namespace Sablekit {

// Bound to the main thread: read, resetAutomationState and the cached state
// are used there only. The automation collaborators carry their own locks.
class BrowserContextService {
 public:
  // How long the application may take to answer each accessibility call.
  static constexpr double messagingTimeout = 0.5;

  // Every collaborator must outlive the service.
  BrowserContextService(AccessibilityClient& accessibility,
                        PermissionChecks& permissions,
                        const Clock& clock,
                        TimerScheduler& timers,
                        ScriptRunner& scripts,
                        BrowserURLReadHealthMonitor& readHealthMonitor,
                        BrowserAutomationCapabilityCache& automationCapabilityCache,
                        BrowserAutomationProbeCoordinator& automationProbeCoordinator);

  BrowserContextService(const BrowserContextService&) = delete;
  BrowserContextService& operator=(const BrowserContextService&) = delete;

  // Reads the focused window of the application. Never fails; blocks for up
  // to about one second while a browser is asked for the window's mode.
  BrowserContextResult read(std::string_view bundleID,
                            std::string_view browserVersion,
                            std::int32_t processID,
                            std::string_view windowTitle,
                            bool allowAutomation);

  // An http or https address without user information and with a host, its
  // scheme and host lowercased and everything else as written; absent otherwise.
  static std::optional<std::string> normalizedSafeWebURL(std::string_view text);

  // Forgets scripting state of one browser (or all when absent) and every
  // window verdict that came from scripting.
  void resetAutomationState(const std::optional<std::string>& bundleID);

  // A scripted query is still running.
  bool automationProbeBusy() const { return automationProbeCoordinator_.isBusy(); }

  // What the monitor said about the latest read of a recognised browser.
  const std::optional<BrowserReadHealthSignal>& lastReadHealthSignal() const { return lastReadHealthSignal_; }

  // The window verdicts and their cache, for inspection.
  BrowserPrivateWindowVerdict& privateWindowVerdict() { return verdicts_; }

 private:
  BrowserContextResult reportUnreadable(const std::string& bundleID,
                                        std::string_view browserVersion,
                                        BrowserContextResult result);

  AccessibilityClient& accessibility_;
  PermissionChecks& permissions_;
  BrowserURLReadHealthMonitor& readHealthMonitor_;
  BrowserAutomationCapabilityCache& automationCapabilityCache_;
  BrowserAutomationProbeCoordinator& automationProbeCoordinator_;
  BrowserElementAttributes attributes_;
  BrowserPageAddressReader addressReader_;
  BrowserPrivateWindowVerdict verdicts_;
  std::optional<BrowserReadHealthSignal> lastReadHealthSignal_;
};

}  // namespace Sablekit
