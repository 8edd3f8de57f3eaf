// The on-demand check of the Automation permission: runs one read-only script
// against Finder or a Chromium-family browser and explains the outcome to the
// user.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>

#include "Sablekit/platform/ScriptRunner.h"
#include "Sablekit/platform/Workspace.h"
#include "Sablekit/protocol/AutomationProbeResult.h"

namespace Sablekit {

class AutomationPermissionProbeService {
 public:
  // The browsers tried, in this order, when the caller names none; exactly
  // the registry's deterministic Chromium browsers.
  static constexpr std::array<std::string_view, 9> defaultBrowserOrder{
      "com.google.chrome",      "com.microsoft.edgemac",   "com.brave.browser",
      "com.vivaldi.vivaldi",    "com.operasoftware.opera", "org.chromium.chromium",
      "com.google.chrome.beta", "com.google.chrome.dev",   "com.google.chrome.canary",
  };

  // The scripts of the two probes, each bounded by a 120-second Apple-event timeout.
  static const std::string& finderScript();
  static std::string browserScript(std::string_view bundleID);

  // Both must outlive the service. The service keeps no state of its own.
  AutomationPermissionProbeService(Workspace& workspace, ScriptRunner& scripts)
      : workspace_(workspace), scripts_(scripts) {}
  AutomationPermissionProbeService(const AutomationPermissionProbeService&) = delete;
  AutomationPermissionProbeService& operator=(const AutomationPermissionProbeService&) = delete;

  // Checks the permission for `target`; `requestedBrowserBundleID` chooses
  // the browser (ignored for Finder). Never fails: every problem is a status
  // and a message (never `busy`). Called on the main thread, which reads the
  // running applications and then blocks while the script runs on a worker
  // thread, up to the script's own timeout.
  AutomationProbeResult probe(AutomationProbeTarget target, const std::optional<std::string>& requestedBrowserBundleID);

 private:
  enum class ScriptOutcome { success, denied, notRunning, failed };

  AutomationProbeResult probeFinder();
  AutomationProbeResult probeBrowser(const std::optional<std::string>& requestedBundleID);
  AutomationProbeResult execute(const std::string& source,
                                AutomationProbeTarget target,
                                const std::string& bundleID,
                                const std::string& applicationName);
  static ScriptOutcome executeScript(ScriptRunner& scripts, const std::string& source);

  Workspace& workspace_;
  ScriptRunner& scripts_;
};

}  // namespace Sablekit
