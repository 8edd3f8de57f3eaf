// The simulated desktop: a deterministic, in-process model of a desktop
// session. It is just enough of a desktop for the services to believe they
// run on a real one, built from a JSON scenario or with the builder methods of
// its simulated services, with a clock that moves only when told to and a
// fault injector that can make any fallible platform call fail or come back
// empty. Each simulated service is a class of its own; this one owns them all
// and hands them out through the Platform facade.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "Sablekit/platform/Platform.h"
#include "Sablekit/platform/posix/PosixProcessIdentity.h"
#include "Sablekit/platform/simulated/FaultInjector.h"
#include "Sablekit/platform/simulated/ScenarioError.h"
#include "Sablekit/platform/simulated/SimulatedAccessibility.h"
#include "Sablekit/platform/simulated/SimulatedAccessibilityPrompt.h"
#include "Sablekit/platform/simulated/SimulatedClock.h"
#include "Sablekit/platform/simulated/SimulatedImageEncoder.h"
#include "Sablekit/platform/simulated/SimulatedKeyboard.h"
#include "Sablekit/platform/simulated/SimulatedScreenCapture.h"
#include "Sablekit/platform/simulated/SimulatedScripting.h"
#include "Sablekit/platform/simulated/SimulatedTextRecognizer.h"
#include "Sablekit/platform/simulated/SimulatedWindowServer.h"
#include "Sablekit/platform/simulated/SimulatedWorkspace.h"

namespace Sablekit {

// Operation names understood by FaultInjector for the desktop's own checks;
// each simulated service documents its own operations.
namespace SimulatedOperation {
// fail or empty: the check answers false.
inline constexpr std::string_view screenRecordingPreflight = "permissions.screenRecordingPreflight";
// fail or empty: the check answers false.
inline constexpr std::string_view accessibilityTrusted = "permissions.accessibilityTrusted";
}  // namespace SimulatedOperation

class SimulatedDesktop final : public Platform, private ProcessIdentity, private PermissionChecks {
 public:
  // An empty desktop: no displays, windows or applications, both permissions
  // granted, the real process identifiers (until setProcess), clock at
  // 2026-01-01 00:00 UTC.
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

  // Builders for the desktop's own state.
  SimulatedDesktop& setProcess(std::int32_t processID, std::int32_t parentProcessID);
  SimulatedDesktop& setScreenRecordingGranted(bool granted);
  SimulatedDesktop& setAccessibilityTrusted(bool trusted);

  // The simulated services, for their builder methods.
  SimulatedClock& simulatedClock() { return clock_; }
  FaultInjector& faults() { return faults_; }
  SimulatedWindowServer& simulatedWindowServer() { return windowServer_; }
  SimulatedWorkspace& simulatedWorkspace() { return workspace_; }
  SimulatedScripting& simulatedScripting() { return scripting_; }
  SimulatedAccessibility& simulatedAccessibility() { return accessibility_; }
  SimulatedAccessibilityPrompt& simulatedAccessibilityPrompt() { return accessibilityPrompt_; }
  SimulatedKeyboard& simulatedKeyboard() { return keyboard_; }
  SimulatedScreenCapture& simulatedScreenCapture() { return screenCapture_; }
  SimulatedTextRecognizer& simulatedTextRecognizer() { return textRecognizer_; }
  SimulatedImageEncoder& simulatedImageEncoder() { return imageEncoder_; }

  // From now on the screenshots are read by the real text recogniser
  // (Tesseract) instead of the scripted one.
  SimulatedDesktop& useRealTextRecognizer();

  // Platform
  const PlatformCapabilities& capabilities() const override { return capabilities_; }
  Clock& clock() override { return clock_; }
  TimerScheduler& timers() override { return clock_; }
  ProcessIdentity& processIdentity() override { return *this; }
  PermissionChecks& permissions() override { return *this; }
  WindowServer& windowServer() override { return windowServer_; }
  Workspace& workspace() override { return workspace_; }
  ScriptRunner& scripting() override { return scripting_; }
  AccessibilityClient& accessibility() override { return accessibility_; }
  AccessibilityObservers& accessibilityObservers() override { return accessibility_; }
  AccessibilityPrompt& accessibilityPrompt() override { return accessibilityPrompt_; }
  Keyboard& keyboard() override { return keyboard_; }
  ScreenCapture& screenCapture() override { return screenCapture_; }
  TextRecognizer& textRecognizer() override;
  ImageEncoder& imageEncoder() override { return imageEncoder_; }

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
  SimulatedWindowServer windowServer_{faults_};
  SimulatedWorkspace workspace_{faults_};
  SimulatedScripting scripting_{clock_, faults_};
  SimulatedAccessibility accessibility_{clock_, faults_};
  SimulatedAccessibilityPrompt accessibilityPrompt_;
  SimulatedKeyboard keyboard_;
  SimulatedScreenCapture screenCapture_{faults_, windowServer_, workspace_};
  SimulatedTextRecognizer textRecognizer_{faults_};
  std::unique_ptr<TextRecognizer> realTextRecognizer_;
  SimulatedImageEncoder imageEncoder_{faults_};
  PosixProcessIdentity realProcess_;
  std::optional<std::int32_t> processID_;
  std::optional<std::int32_t> parentProcessID_;
  bool screenRecordingGranted_ = true;
  bool accessibilityTrusted_ = true;
};

}  // namespace Sablekit
