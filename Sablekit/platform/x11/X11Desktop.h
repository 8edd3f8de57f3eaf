// A live X11 session as the platform: windows, monitors, applications and
// screen capture from the X server, the keyboard from the same server;
// clocks, timers and process identity from POSIX; the accessibility backend
// it was given; scripting answers that it is not available.
#pragma once

#include <memory>
#include <string>

#include "Sablekit/platform/AccessibilityBackend.h"
#include "Sablekit/platform/Platform.h"
#include "Sablekit/platform/RunLoop.h"
#include "Sablekit/platform/heif/HeifImageEncoder.h"
#include "Sablekit/platform/posix/PosixProcessIdentity.h"
#include "Sablekit/platform/posix/SystemClock.h"
#include "Sablekit/platform/posix/ThreadTimerScheduler.h"
#include "Sablekit/platform/tesseract/TesseractTextRecognizer.h"
#include "Sablekit/platform/linux/UnavailableScripting.h"
#include "Sablekit/platform/x11/X11Connection.h"
#include "Sablekit/platform/x11/X11ScreenCapture.h"
#include "Sablekit/platform/x11/X11WindowServer.h"
#include "Sablekit/platform/x11/X11Workspace.h"

namespace Sablekit {

class X11Desktop final : public Platform, private PermissionChecks {
 public:
  // Whether an X server answers at `displayName` now (an empty name never does).
  static bool reachable(const std::string& displayName);

  // Connects to `displayName` (an empty name reaches no display). Without a
  // reachable display the desktop still works: it is empty, the screen-recording
  // preflight answers false, every capture is refused and the keyboard
  // cannot be listened to. The keyboard's listener calls are posted to
  // `mainLoop`, which must outlive the desktop. `accessibility` serves the
  // accessibility services; null means none (never trusted, nothing read).
  X11Desktop(RunLoop& mainLoop,
             const std::string& displayName,
             std::unique_ptr<AccessibilityBackend> accessibility = nullptr);
  ~X11Desktop() override;
  X11Desktop(const X11Desktop&) = delete;
  X11Desktop& operator=(const X11Desktop&) = delete;

  // Whether a display was reachable when the desktop was made.
  bool connected() const { return connection_ != nullptr; }

  // Platform
  const PlatformCapabilities& capabilities() const override { return capabilities_; }
  Clock& clock() override { return clock_; }
  TimerScheduler& timers() override { return timers_; }
  ProcessIdentity& processIdentity() override { return processIdentity_; }
  PermissionChecks& permissions() override { return *this; }
  WindowServer& windowServer() override { return windowServer_; }
  Workspace& workspace() override { return workspace_; }
  ScriptRunner& scripting() override { return scripting_; }
  AccessibilityClient& accessibility() override { return accessibility_->client(); }
  AccessibilityObservers& accessibilityObservers() override { return accessibility_->observers(); }
  AccessibilityPrompt& accessibilityPrompt() override { return accessibility_->prompt(); }
  Keyboard& keyboard() override { return *keyboard_; }
  ScreenCapture& screenCapture() override { return screenCapture_; }
  TextRecognizer& textRecognizer() override { return textRecognizer_; }
  ImageEncoder& imageEncoder() override { return imageEncoder_; }

 private:
  // PermissionChecks: X11 has no capture grant; the screen may be captured
  // exactly when the display is reachable. Accessibility trust is the
  // accessibility backend's.
  bool screenRecordingPreflight() override;
  bool accessibilityTrusted() override { return accessibility_->trusted(); }

  PlatformCapabilities capabilities_;
  SystemClock clock_;
  ThreadTimerScheduler timers_;
  PosixProcessIdentity processIdentity_;
  std::unique_ptr<X11Connection> connection_;
  X11WindowServer windowServer_;
  X11Workspace workspace_;
  X11ScreenCapture screenCapture_;
  UnavailableScripting scripting_;
  std::unique_ptr<AccessibilityBackend> accessibility_;
  std::unique_ptr<Keyboard> keyboard_;
  TesseractTextRecognizer textRecognizer_;
  HeifImageEncoder imageEncoder_;
};

}  // namespace Sablekit
