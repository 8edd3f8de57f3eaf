// Runs the Automation permission probes and words their outcome for the user.
#include "Sablekit/context/AutomationPermissionProbeService.h"

#include <algorithm>
#include <future>
#include <system_error>
#include <thread>
#include <vector>

#include "Sablekit/common/BundleIDNormalization.h"
#include "Sablekit/context/ApplicationCapabilityRegistry.h"

namespace Sablekit {

namespace {

constexpr std::string_view finderBundleID = ApplicationCapabilityRegistry::finderBundleID;

// Full Unicode lowercasing without trimming: the shared normalisation trims,
// so the text is fenced with a letter on each side that it cannot trim away,
// and the fences are taken off again afterwards.
std::string lowercased(std::string_view text) {
  std::string fenced = "x";
  fenced += text;
  fenced += 'x';
  const std::string lowered = normalizeBundleID(fenced);
  return lowered.substr(1, lowered.size() - 2);
}

}  // namespace

const std::string& AutomationPermissionProbeService::finderScript() {
  static const std::string script =
      "with timeout of 120 seconds\n"
      "  tell application id \"com.apple.finder\"\n"
      "    return (count of windows) as integer\n"
      "  end tell\n"
      "end timeout";
  return script;
}

std::string AutomationPermissionProbeService::browserScript(std::string_view bundleID) {
  std::string script =
      "with timeout of 120 seconds\n"
      "  tell application id \"";
  script += bundleID;
  script +=
      "\"\n"
      "    if (count of windows) is 0 then return \"no-windows\"\n"
      "    return (mode of front window) as text\n"
      "  end tell\n"
      "end timeout";
  return script;
}

AutomationProbeResult AutomationPermissionProbeService::probe(
    AutomationProbeTarget target,
    const std::optional<std::string>& requestedBrowserBundleID) {
  switch (target) {
    case AutomationProbeTarget::finder:
      return probeFinder();
    case AutomationProbeTarget::browser:
      break;
  }
  return probeBrowser(requestedBrowserBundleID);
}

AutomationProbeResult AutomationPermissionProbeService::probeFinder() {
  const std::vector<RunningApplication> running = workspace_.runningApplications();
  const auto finder = std::find_if(running.begin(), running.end(), [](const RunningApplication& application) {
    return application.bundleID == finderBundleID;
  });
  if (finder == running.end()) {
    return AutomationProbeResult{
        .target = AutomationProbeTarget::finder,
        .status = AutomationProbeStatus::notRunning,
        .bundleID = std::string(finderBundleID),
        .applicationName = "Finder",
        .message = "Finder is not running. Open Finder, then try again.",
    };
  }
  return execute(finderScript(), AutomationProbeTarget::finder, std::string(finderBundleID),
                 finder->localizedName.value_or("Finder"));
}

AutomationProbeResult AutomationPermissionProbeService::probeBrowser(
    const std::optional<std::string>& requestedBundleID) {
  std::vector<std::string> candidates;
  if (requestedBundleID) {
    std::string requested = lowercased(*requestedBundleID);
    if (!ApplicationCapabilityRegistry::deterministicChromiumBundleIDs().contains(requested)) {
      return AutomationProbeResult{
          .target = AutomationProbeTarget::browser,
          .status = AutomationProbeStatus::unsupported,
          .bundleID = *requestedBundleID,
          .applicationName = std::nullopt,
          .message = "That browser does not expose the deterministic Chromium Automation interface.",
      };
    }
    candidates.push_back(std::move(requested));
  } else {
    candidates.assign(defaultBrowserOrder.begin(), defaultBrowserOrder.end());
  }

  const std::vector<RunningApplication> running = workspace_.runningApplications();
  for (const std::string& candidate : candidates) {
    const auto match = std::find_if(running.begin(), running.end(), [&](const RunningApplication& application) {
      return application.bundleID && lowercased(*application.bundleID) == candidate;
    });
    if (match != running.end()) {
      const std::string bundleID = match->bundleID.value_or(candidate);
      return execute(browserScript(bundleID), AutomationProbeTarget::browser, bundleID,
                     match->localizedName.value_or(bundleID));
    }
  }
  return AutomationProbeResult{
      .target = AutomationProbeTarget::browser,
      .status = AutomationProbeStatus::notRunning,
      .bundleID = std::nullopt,
      .applicationName = std::nullopt,
      .message = "Open Chrome, Edge, Brave, Vivaldi, Opera, or Chromium, then try again.",
  };
}

AutomationProbeResult AutomationPermissionProbeService::execute(const std::string& source,
                                                                AutomationProbeTarget target,
                                                                const std::string& bundleID,
                                                                const std::string& applicationName) {
  // The script may take up to its two-minute timeout; it runs on a worker of
  // its own so that the platform's event handling on this thread is not what
  // the script waits for. The worker owns its copy of the source and the
  // promise, and touches nothing of ours after delivering.
  std::promise<ScriptOutcome> delivered;
  std::future<ScriptOutcome> outcome = delivered.get_future();
  ScriptOutcome ended = ScriptOutcome::failed;
  try {
    std::thread([&scripts = scripts_, source, delivered = std::move(delivered)]() mutable {
      ScriptOutcome value = ScriptOutcome::failed;
      try {
        value = executeScript(scripts, source);
      } catch (...) {
        // A platform that throws instead of reporting has not completed the check.
      }
      delivered.set_value(value);
    }).detach();
    ended = outcome.get();
  } catch (const std::system_error&) {
    // No thread to run the check on: the check could not be completed.
    ended = ScriptOutcome::failed;
  }

  const std::string& name = applicationName;
  AutomationProbeResult result{
      .target = target,
      .status = AutomationProbeStatus::failed,
      .bundleID = bundleID,
      .applicationName = applicationName,
      .message = {},
  };
  switch (ended) {
    case ScriptOutcome::success:
      result.status = AutomationProbeStatus::operational;
      result.message = "Automation access to " + name + " is operational.";
      break;
    case ScriptOutcome::denied:
      result.status = AutomationProbeStatus::denied;
      result.message = "Automation access to " + name +
                       " was denied. Enable Orvane in System Settings > Privacy & Security > Automation.";
      break;
    case ScriptOutcome::notRunning:
      result.status = AutomationProbeStatus::notRunning;
      result.message = name + " stopped before the Automation check completed. Reopen it and try again.";
      break;
    case ScriptOutcome::failed:
      result.status = AutomationProbeStatus::failed;
      result.message = "macOS could not complete the Automation check for " + name + ".";
      break;
  }
  return result;
}

AutomationPermissionProbeService::ScriptOutcome AutomationPermissionProbeService::executeScript(
    ScriptRunner& scripts,
    const std::string& source) {
  const ScriptRunOutcome outcome = scripts.run(source);
  switch (outcome.kind) {
    case ScriptRunOutcome::Kind::succeeded:
      return ScriptOutcome::success;
    case ScriptRunOutcome::Kind::notCreated:
      return ScriptOutcome::failed;
    case ScriptRunOutcome::Kind::failed:
      break;
  }
  if (outcome.errorNumber == ScriptErrorNumber::notAuthorized ||
      outcome.errorNumber == ScriptErrorNumber::privilegeViolation) {
    return ScriptOutcome::denied;
  }
  if (outcome.errorNumber == ScriptErrorNumber::applicationNotRunning ||
      outcome.errorNumber == ScriptErrorNumber::connectionInvalid) {
    return ScriptOutcome::notRunning;
  }
  return ScriptOutcome::failed;
}

}  // namespace Sablekit
