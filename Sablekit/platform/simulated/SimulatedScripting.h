// A scripting engine for the simulated desktop. It knows only this system's
// fixed scripts, recognised by their exact text (the window mode of a
// Chromium browser, the Finder front folder, the window counts of the
// permission probes), and answers them from the applications a test or a
// scenario describes. Anything else fails, so a misspelt script shows up as a
// failure instead of a made-up answer.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json_fwd.hpp>

#include "Sablekit/platform/ScriptRunner.h"
#include "Sablekit/platform/TimerScheduler.h"
#include "Sablekit/platform/simulated/FaultInjector.h"

namespace Sablekit {

class SimulatedScripting final : public ScriptRunner {
 public:
  // One application that scripts can address, by bundle identifier (matched
  // without regard to ASCII case, as the platform does).
  struct Application {
    std::string bundleID;
    int windowCount = 1;
    // What a Chromium browser reports as the front window's mode ("normal", "incognito", ...).
    std::string frontWindowMode = "normal";
    // What Finder gives as the POSIX path of its front window's folder, as
    // returned (not trimmed). Absent: the front window shows no folder, and
    // the script fails as the platform does (-1728).
    std::optional<std::string> frontFolder;
    // Every script addressed to the application fails with this number.
    std::optional<std::int32_t> errorNumber;
    std::string errorMessage;
    // Every script succeeds with a result that has no string value.
    bool noStringResult = false;
    // Each script takes this long, measured on the injected scheduler; a
    // script whose own timeout is shorter fails with ScriptErrorNumber::timedOut
    // when its timeout runs out.
    double delaySeconds = 0.0;
  };

  enum class ScriptKind {
    chromiumWindowMode,  // the one-second mode query of a window's privacy
    chromiumProbe,       // the browser permission probe
    finderFrontFolder,   // the Finder front folder read
    finderWindowCount,   // the Finder permission probe
    unrecognised,
  };

  // One script as it ended.
  struct RanScript {
    std::string source;
    ScriptKind kind = ScriptKind::unrecognised;
    std::optional<std::string> bundleID;  // the application addressed, as written in the script
    ScriptRunOutcome outcome;
  };

  // `timers` measures script delays; `faults` is consulted on every run:
  //   "scripting.compile": fail or empty → the script object cannot be made (notCreated);
  //   "scripting.run":     fail → the script fails without an error number;
  //                        empty → it succeeds with a result without string value.
  // Both must outlive the engine.
  SimulatedScripting(TimerScheduler& timers, FaultInjector& faults);
  SimulatedScripting(const SimulatedScripting&) = delete;
  SimulatedScripting& operator=(const SimulatedScripting&) = delete;

  // Adds the application, or replaces the one with the same bundle identifier.
  SimulatedScripting& setApplication(Application application);
  // Scripts addressed to it then fail with ScriptErrorNumber::applicationNotRunning.
  SimulatedScripting& removeApplication(std::string_view bundleID);
  // Every script object fails to be made.
  SimulatedScripting& refuseCompile(bool refuse = true);

  // While held, every run blocks before answering until releaseScripts().
  void holdScripts();
  void releaseScripts();
  // Blocks until at least `count` runs are blocked (held or waiting out a
  // delay), so a test knows a script has started before it advances the
  // clock. Gives false if that has not happened within a few seconds of real
  // time, which only a broken test sees.
  bool waitForWaitingScripts(std::size_t count);

  // Every script that has ended, oldest first.
  std::vector<RanScript> ranScripts() const;

  // Reads the "scripting" scenario section (shape in docs/scenario-scripting.md);
  // throws ScenarioError naming the offending path.
  void loadScenario(const nlohmann::json& section);

  // ScriptRunner. Safe from any thread.
  ScriptRunOutcome run(std::string_view source) override;

  // The script kind and addressed application of `source`, by exact text.
  static std::pair<ScriptKind, std::optional<std::string>> recognise(std::string_view source);

 private:
  ScriptRunOutcome answer(ScriptKind kind, const Application* application) const;
  void waitWhileHeld();
  void waitFor(double seconds);

  TimerScheduler& timers_;
  FaultInjector& faults_;

  mutable std::mutex mutex_;  // guards everything below
  std::condition_variable changed_;
  std::vector<Application> applications_;
  bool refuseCompile_ = false;
  bool held_ = false;
  std::uint64_t releases_ = 0;  // counts releaseScripts(), so a held run notices its release
  std::size_t waiting_ = 0;
  std::vector<RanScript> ran_;
};

}  // namespace Sablekit
