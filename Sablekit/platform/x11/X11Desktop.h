// A live X11 session as the platform: windows, monitors, applications and
// screen capture from the X server; clocks, timers and process identity from
// POSIX; scripting and accessibility answer that they are not available.
#pragma once

#include <memory>
#include <string>

#include "Sablekit/platform/Platform.h"
#include "Sablekit/platform/heif/HeifImageEncoder.h"
#include "Sablekit/platform/posix/PosixProcessIdentity.h"
#include "Sablekit/platform/posix/SystemClock.h"
#include "Sablekit/platform/posix/ThreadTimerScheduler.h"
#include "Sablekit/platform/tesseract/TesseractTextRecognizer.h"
#include "Sablekit/platform/linux/UnavailableAccessibility.h"
#include "Sablekit/platform/linux/UnavailableAccessibilityObservers.h"
#include "Sablekit/platform/linux/UnavailableScripting.h"
#include "Sablekit/platform/x11/X11Connection.h"
#include "Sablekit/platform/x11/X11ScreenCapture.h"
#include "Sablekit/platform/x11/X11WindowServer.h"
#include "Sablekit/platform/x11/X11Workspace.h"

namespace Sablekit {

class X11Desktop final : public Platform, private PermissionChecks {
 public:
  // Connects to `displayName` ($DISPLAY when empty). Without a reachable
  // display the desktop still works: it is empty, the screen-recording
  // preflight answers false, and every capture is refused.
  explicit X11Desktop(const std::string& displayName = {});
  ~X11Desktop() override;
  X11Desktop(const X11Desktop&) = delete;
  X11Desktop& operator=(const X11Desktop&) = delete;

  // Whether a display was reachable when the desktop was made.
  bool connected() const { return connection_ != nullptr; }
  // Whether screenshots can leave windows out (Composite and Render).
  bool canExcludeWindows() const { return screenCapture_.canExclude(); }

  // Platform
  const PlatformCapabilities& capabilities() const override { return capabilities_; }
  Clock& clock() override { return clock_; }
  TimerScheduler& timers() override { return timers_; }
  ProcessIdentity& processIdentity() override { return processIdentity_; }
  PermissionChecks& permissions() override { return *this; }
  WindowServer& windowServer() override { return windowServer_; }
  Workspace& workspace() override { return workspace_; }
  ScriptRunner& scripting() override { return scripting_; }
  AccessibilityClient& accessibility() override { return accessibility_; }
  AccessibilityObservers& accessibilityObservers() override { return accessibilityObservers_; }
  AccessibilityPrompt& accessibilityPrompt() override { return accessibility_; }
  Keyboard& keyboard() override { return *keyboard_; }
  ScreenCapture& screenCapture() override { return screenCapture_; }
  TextRecognizer& textRecognizer() override { return textRecognizer_; }
  ImageEncoder& imageEncoder() override { return imageEncoder_; }

 private:
  // PermissionChecks: X11 has no capture grant; the screen may be captured
  // exactly when the display is reachable. No accessibility client backend
  // yet, so never trusted.
  bool screenRecordingPreflight() override;
  bool accessibilityTrusted() override { return false; }

  PlatformCapabilities capabilities_;
  SystemClock clock_;
  ThreadTimerScheduler timers_;
  PosixProcessIdentity processIdentity_;
  std::unique_ptr<X11Connection> connection_;
  X11WindowServer windowServer_;
  X11Workspace workspace_;
  X11ScreenCapture screenCapture_;
  UnavailableScripting scripting_;
  UnavailableAccessibility accessibility_;
  UnavailableAccessibilityObservers accessibilityObservers_;
  std::unique_ptr<Keyboard> keyboard_;
  TesseractTextRecognizer textRecognizer_;
  HeifImageEncoder imageEncoder_;
};

}  // namespace Sablekit
