// The facade that hands out the platform services. The library's services are
// given the few platform services they need when they are built and never
// learn which backend provides them.
#pragma once

#include "Sablekit/platform/AccessibilityClient.h"
#include "Sablekit/platform/AccessibilityObservers.h"
#include "Sablekit/platform/AccessibilityPrompt.h"
#include "Sablekit/platform/Clock.h"
#include "Sablekit/platform/ImageEncoder.h"
#include "Sablekit/platform/Keyboard.h"
#include "Sablekit/platform/PermissionChecks.h"
#include "Sablekit/platform/PlatformCapabilities.h"
#include "Sablekit/platform/ProcessIdentity.h"
#include "Sablekit/platform/ScreenCapture.h"
#include "Sablekit/platform/ScriptRunner.h"
#include "Sablekit/platform/TextRecognizer.h"
#include "Sablekit/platform/TimerScheduler.h"
#include "Sablekit/platform/WindowServer.h"
#include "Sablekit/platform/Workspace.h"

namespace Sablekit {

// Every service returned here is owned by the Platform and lives exactly as
// long as it; the references stay valid until the Platform is destroyed.
class Platform {
 public:
  virtual ~Platform() = default;

  virtual const PlatformCapabilities& capabilities() const = 0;
  virtual Clock& clock() = 0;
  virtual TimerScheduler& timers() = 0;
  virtual ProcessIdentity& processIdentity() = 0;
  virtual PermissionChecks& permissions() = 0;
  virtual WindowServer& windowServer() = 0;
  virtual Workspace& workspace() = 0;
  virtual ScriptRunner& scripting() = 0;
  virtual AccessibilityClient& accessibility() = 0;
  virtual AccessibilityObservers& accessibilityObservers() = 0;
  virtual AccessibilityPrompt& accessibilityPrompt() = 0;
  virtual Keyboard& keyboard() = 0;
  virtual ScreenCapture& screenCapture() = 0;
  virtual TextRecognizer& textRecognizer() = 0;
  virtual ImageEncoder& imageEncoder() = 0;
};

}  // namespace Sablekit
