// The simulated desktop: a deterministic, in-process model of a desktop
// session. It is just enough of a desktop for the services to believe they
// run on a real one, built from a JSON scenario or with the builder methods
// below, with a clock that moves only when told to and a fault injector that
// can make any fallible platform call fail or come back empty.
#pragma once

#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

#include "Sablekit/platform/Platform.h"
#include "Sablekit/platform/posix/PosixProcessIdentity.h"
#include "Sablekit/platform/simulated/FaultInjector.h"
#include "Sablekit/platform/simulated/SimulatedClock.h"

namespace Sablekit {

// A scenario that cannot be loaded: the message names the offending key.
class ScenarioError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Operation names understood by FaultInjector for this backend's services.
namespace SimulatedOperation {
// fail or empty: the check answers false.
inline constexpr std::string_view screenRecordingPreflight = "permissions.screenRecordingPreflight";
// fail or empty: the check answers false.
inline constexpr std::string_view accessibilityTrusted = "permissions.accessibilityTrusted";
}  // namespace SimulatedOperation

class SimulatedDesktop final : public Platform, private ProcessIdentity, private PermissionChecks {
 public:
  // An empty desktop: both permissions granted, the real process identifiers
  // (until setProcess), clock at 2026-01-01 00:00 UTC.
  SimulatedDesktop();
  ~SimulatedDesktop() override;
  SimulatedDesktop(const SimulatedDesktop&) = delete;
  SimulatedDesktop& operator=(const SimulatedDesktop&) = delete;

  // Loads a scenario (format in docs/scenario.md); throws ScenarioError.
  static std::unique_ptr<SimulatedDesktop> fromScenario(std::string_view scenarioJSON);
  static std::unique_ptr<SimulatedDesktop> fromScenarioFile(const std::string& path);
  // The built-in demo desktop, the hosts' embedded default.
  static std::unique_ptr<SimulatedDesktop> demo();
  static std::string_view demoScenario();

  // Builders.
  SimulatedDesktop& setProcess(std::int32_t processID, std::int32_t parentProcessID);
  SimulatedDesktop& setScreenRecordingGranted(bool granted);
  SimulatedDesktop& setAccessibilityTrusted(bool trusted);

  SimulatedClock& simulatedClock() { return clock_; }
  FaultInjector& faults() { return faults_; }

  // Platform
  const PlatformCapabilities& capabilities() const override { return capabilities_; }
  Clock& clock() override { return clock_; }
  TimerScheduler& timers() override { return clock_; }
  ProcessIdentity& processIdentity() override { return *this; }
  PermissionChecks& permissions() override { return *this; }

 private:
  // ProcessIdentity
  std::int32_t processID() const override;
  std::int32_t parentProcessID() const override;
  // PermissionChecks
  bool screenRecordingPreflight() override;
  bool accessibilityTrusted() override;

  PlatformCapabilities capabilities_;
  SimulatedClock clock_;
  FaultInjector faults_;
  PosixProcessIdentity realProcess_;
  std::optional<std::int32_t> processID_;
  std::optional<std::int32_t> parentProcessID_;
  bool screenRecordingGranted_ = true;
  bool accessibilityTrusted_ = true;
};

}  // namespace Sablekit
