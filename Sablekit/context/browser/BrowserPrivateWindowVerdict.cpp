#include "Sablekit/context/browser/BrowserPrivateWindowVerdict.h"

#include <algorithm>
#include <array>
#include <system_error>
#include <utility>
#include <vector>

#include "Sablekit/common/TextRules.h"
#include "Sablekit/context/ApplicationCapabilityRegistry.h"
#include "Sablekit/context/browser/BrowserAutomationProbeRace.h"

namespace Sablekit {

namespace {}  // namespace

BrowserPrivateWindowVerdict::BrowserPrivateWindowVerdict(const Clock& clock,
                                                         TimerScheduler& timers,
                                                         AccessibilityClient& accessibility,
                                                         ScriptRunner& scripts,
                                                         BrowserAutomationCapabilityCache& capabilityCache,
                                                         BrowserAutomationProbeCoordinator& probeCoordinator)
    : timers_(timers),
      attributes_(accessibility),
      scripts_(scripts),
      capabilityCache_(capabilityCache),
      probeCoordinator_(probeCoordinator),
      cache_(clock) {}

BrowserPrivateWindowVerdict::~BrowserPrivateWindowVerdict() {
  waitForPendingQuery();
}

void BrowserPrivateWindowVerdict::waitForPendingQuery() {
  if (query_.joinable()) {
    query_.join();
  }
}

bool BrowserPrivateWindowVerdict::containsPrivateMarker(std::string_view text) {
  // The markers are ASCII, so ASCII lowercasing finds every spelling of them.
  static constexpr std::array<std::string_view, 5> markers{"incognito", "inprivate", "private browsing",
                                                           "private window", "private tab"};
  const std::string lowered = asciiLowercase(text);
  return std::any_of(markers.begin(), markers.end(),
                     [&](std::string_view marker) { return lowered.find(marker) != std::string::npos; });
}

std::string BrowserPrivateWindowVerdict::modeScript(std::string_view bundleID) {
  std::string script = "with timeout of 1 seconds\n";
  script += "  tell application id \"";
  script += bundleID;
  script += "\"\n";
  script += "    if (count of windows) is 0 then return \"unknown\"\n";
  script += "    return (mode of front window) as text\n";
  script += "  end tell\n";
  script += "end timeout";
  return script;
}

BrowserAutomationProbeOutcome BrowserPrivateWindowVerdict::executeDeterministicChromiumMode(ScriptRunner& scripts,
                                                                                            std::string_view source) {
  const ScriptRunOutcome outcome = scripts.run(source);
  switch (outcome.kind) {
    case ScriptRunOutcome::Kind::notCreated:
      return BrowserAutomationProbeOutcome::transient();
    case ScriptRunOutcome::Kind::succeeded: {
      const std::string mode = asciiLowercase(outcome.result.value_or(""));
      if (mode.find("incognito") != std::string::npos || mode.find("private") != std::string::npos) {
        return BrowserAutomationProbeOutcome::of(BrowserPrivacyVerdict::privateWindow);
      }
      if (mode.find("normal") != std::string::npos) {
        return BrowserAutomationProbeOutcome::of(BrowserPrivacyVerdict::normal);
      }
      return BrowserAutomationProbeOutcome::transient();
    }
    case ScriptRunOutcome::Kind::failed:
      break;
  }
  if (outcome.errorNumber == ScriptErrorNumber::notAuthorized ||
      outcome.errorNumber == ScriptErrorNumber::privilegeViolation) {
    return BrowserAutomationProbeOutcome::permanent();
  }
  return BrowserAutomationProbeOutcome::transient();
}

std::optional<BrowserPrivacyVerdict> BrowserPrivateWindowVerdict::deterministicPrivateVerdictIfAvailable(
    const std::string& bundleID,
    std::string_view browserVersion,
    bool allowAutomation) {
  if (!allowAutomation || !ApplicationCapabilityRegistry::deterministicChromiumBundleIDs().contains(bundleID) ||
      !capabilityCache_.shouldAttempt(bundleID, browserVersion)) {
    return std::nullopt;
  }
  return deterministicChromiumMode(bundleID, browserVersion);
}

std::optional<BrowserPrivacyVerdict> BrowserPrivateWindowVerdict::deterministicChromiumMode(
    const std::string& bundleID,
    std::string_view browserVersion) {
  auto token = probeCoordinator_.begin(bundleID);
  if (!token) {
    return std::nullopt;
  }
  // The coordinator handed out a token, so the previous query has completed
  // and its thread is at most finishing up.
  waitForPendingQuery();

  const auto race = BrowserAutomationProbeRace::make();
  TimerHandle timer;
  const auto verdict = race->wait([&](const std::shared_ptr<BrowserAutomationProbeRace>& shared) {
    // The job keeps only what outlives this call: the race, copies of the
    // strings, and the collaborators that outlive this object.
    auto job = [shared, script = modeScript(bundleID), token = *token, bundle = bundleID,
                version = std::string(browserVersion), &scripts = scripts_, &capabilityCache = capabilityCache_,
                &coordinator = probeCoordinator_] {
      BrowserAutomationProbeOutcome outcome = BrowserAutomationProbeOutcome::transient();
      try {
        outcome = executeDeterministicChromiumMode(scripts, script);
      } catch (...) {
        // A runner that throws must still release the coordinator below.
      }
      if (!coordinator.complete(token)) {
        shared->finish(std::nullopt);  // reset meanwhile: the answer is no longer wanted
        return;
      }
      switch (outcome.kind) {
        case BrowserAutomationProbeOutcome::Kind::transientFailure:
          capabilityCache.recordTransientFailure(bundle, version);
          shared->finish(std::nullopt);
          break;
        case BrowserAutomationProbeOutcome::Kind::permanentFailure:
          capabilityCache.recordPermanentFailure(bundle);
          shared->finish(std::nullopt);
          break;
        case BrowserAutomationProbeOutcome::Kind::verdict:
          capabilityCache.recordSuccess(bundle, version);
          shared->finish(outcome.verdict);
          break;
      }
    };
    // The timer is armed before the query starts, so a query that is seen
    // running always has its deadline set.
    timer = timers_.scheduleAfter(scriptedQueryTimeout, [shared] { shared->finish(std::nullopt); });
    try {
      query_ = std::thread(std::move(job));
    } catch (const std::system_error&) {
      // No thread for the query: give the token back so later reads may try.
      probeCoordinator_.complete(*token);
      shared->finish(std::nullopt);
      return;
    }
  });
  timer.cancel();  // harmless when it already fired
  return verdict;
}

BrowserPrivacyVerdict BrowserPrivateWindowVerdict::heuristicVerdict(const AccessibilityElement& window,
                                                                    std::string_view windowTitle) const {
  bool isPrivate = containsPrivateMarker(windowTitle);
  bool hasWebArea = false;
  std::vector<std::pair<AccessibilityElement, std::size_t>> stack{{window, 0}};
  std::size_t examined = 0;
  while (!stack.empty() && examined < heuristicElementLimit) {
    auto [element, depth] = std::move(stack.back());
    stack.pop_back();
    ++examined;
    if (attributes_.role(element) == "AXWebArea") {
      hasWebArea = true;
    }
    // All three are read even after a marker was found, as the walk does not stop early.
    for (const char* attribute : {"AXTitle", "AXDescription", "AXHelp"}) {
      const auto text = attributes_.string(element, attribute);
      if (text && containsPrivateMarker(*text)) {
        isPrivate = true;
      }
    }
    if (depth < heuristicDepthLimit) {
      const auto children = attributes_.children(element);
      for (auto child = children.rbegin(); child != children.rend(); ++child) {
        stack.emplace_back(*child, depth + 1);
      }
    }
  }
  if (isPrivate) {
    return BrowserPrivacyVerdict::privateWindow;
  }
  return hasWebArea ? BrowserPrivacyVerdict::normal : BrowserPrivacyVerdict::unknown;
}

BrowserPrivateWindowVerdict::Verdict BrowserPrivateWindowVerdict::privateVerdict(const std::string& bundleID,
                                                                                 std::string_view browserVersion,
                                                                                 const AccessibilityElement& window,
                                                                                 std::string_view windowTitle,
                                                                                 bool allowAutomation) {
  if (const auto cached = cache_.lookup(window)) {
    return {cached->verdict, cached->authoritative};
  }
  if (const auto asked = deterministicPrivateVerdictIfAvailable(bundleID, browserVersion, allowAutomation)) {
    cache_.store(window, *asked, true);
    return {*asked, true};
  }
  const BrowserPrivacyVerdict guessed = heuristicVerdict(window, windowTitle);
  cache_.store(window, guessed, false);
  return {guessed, false};
}

}  // namespace Sablekit
