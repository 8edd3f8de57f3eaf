// Decides whether a browser window is private: by asking a Chromium browser
// for the window's mode when scripting is allowed (authoritative, raced
// against a one-second timer), otherwise from private-browsing wording in the
// title and the window's accessibility tree (heuristic). Verdicts are cached
// per window.
#pragma once

#include <cstddef>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>

#include "Sablekit/context/automation/BrowserAutomationCapabilityCache.h"
#include "Sablekit/context/automation/BrowserAutomationProbeCoordinator.h"
#include "Sablekit/context/browser/BrowserAutomationProbeOutcome.h"
#include "Sablekit/context/browser/BrowserElementAttributes.h"
#include "Sablekit/context/browser/BrowserPrivateVerdictCache.h"
#include "Sablekit/platform/ScriptRunner.h"
#include "Sablekit/platform/TimerScheduler.h"

namespace Sablekit {

class BrowserPrivateWindowVerdict {
 public:
  static constexpr double scriptedQueryTimeout = 1.0;
  static constexpr std::size_t heuristicElementLimit = 80;
  static constexpr std::size_t heuristicDepthLimit = 4;

  struct Verdict {
    BrowserPrivacyVerdict verdict = BrowserPrivacyVerdict::unknown;
    bool authoritative = false;

    bool operator==(const Verdict&) const = default;
  };

  // Every collaborator must outlive this object.
  BrowserPrivateWindowVerdict(const Clock& clock,
                              TimerScheduler& timers,
                              AccessibilityClient& accessibility,
                              ScriptRunner& scripts,
                              BrowserAutomationCapabilityCache& capabilityCache,
                              BrowserAutomationProbeCoordinator& probeCoordinator);
  // Waits for a scripted query still running in the background.
  ~BrowserPrivateWindowVerdict();

  BrowserPrivateWindowVerdict(const BrowserPrivateWindowVerdict&) = delete;
  BrowserPrivateWindowVerdict& operator=(const BrowserPrivateWindowVerdict&) = delete;

  // The verdict for a focused browser window; `bundleID` is normalised. May
  // block the calling (main) thread for up to scriptedQueryTimeout. Main thread only.
  Verdict privateVerdict(const std::string& bundleID,
                         std::string_view browserVersion,
                         const AccessibilityElement& window,
                         std::string_view windowTitle,
                         bool allowAutomation);

  // The browser's own answer, when scripting is allowed, the browser reports
  // window modes and the capability cache says it is worth asking. Main thread only.
  std::optional<BrowserPrivacyVerdict> deterministicPrivateVerdictIfAvailable(const std::string& bundleID,
                                                                              std::string_view browserVersion,
                                                                              bool allowAutomation);

  // Asks the browser on a worker, unless another query holds the coordinator;
  // absent when it cannot, fails, or does not answer within the timeout. A
  // late answer still releases the coordinator and is recorded in the
  // capability cache. Main thread only.
  std::optional<BrowserPrivacyVerdict> deterministicChromiumMode(const std::string& bundleID,
                                                                 std::string_view browserVersion);

  // Runs the mode script synchronously and reads its outcome. Any thread.
  static BrowserAutomationProbeOutcome executeDeterministicChromiumMode(ScriptRunner& scripts, std::string_view source);

  // The six-line mode script for a browser.
  static std::string modeScript(std::string_view bundleID);

  // Whether the text holds private-browsing wording, in any letter case.
  static bool containsPrivateMarker(std::string_view text);

  BrowserPrivateVerdictCache& cache() { return cache_; }

  // Blocks until a scripted query left running by a lost race has ended.
  void waitForPendingQuery();

 private:
  BrowserPrivacyVerdict heuristicVerdict(const AccessibilityElement& window, std::string_view windowTitle) const;

  TimerScheduler& timers_;
  BrowserElementAttributes attributes_;
  ScriptRunner& scripts_;
  BrowserAutomationCapabilityCache& capabilityCache_;
  BrowserAutomationProbeCoordinator& probeCoordinator_;
  BrowserPrivateVerdictCache cache_;

  // The background query; the coordinator lets only one run at a time.
  // Started and joined on the main thread only, so it needs no lock.
  std::thread query_;
};

}  // namespace Sablekit
