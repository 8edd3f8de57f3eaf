// A platform that passes every call on to another one, for wrappers that
// change a few services and keep the rest, as a proxy file system does:
// derive from it and override only what differs.
#pragma once

#include "Sablekit/platform/Platform.h"

namespace Sablekit {

// Same threading and ownership as the inner platform, which must outlive it.
class ForwardingPlatform : public Platform {
 public:
  explicit ForwardingPlatform(Platform& inner) : inner_(inner) {}

  const PlatformCapabilities& capabilities() const override { return inner_.capabilities(); }
  Clock& clock() override { return inner_.clock(); }
  TimerScheduler& timers() override { return inner_.timers(); }
  ProcessIdentity& processIdentity() override { return inner_.processIdentity(); }
  PermissionChecks& permissions() override { return inner_.permissions(); }
  WindowServer& windowServer() override { return inner_.windowServer(); }
  Workspace& workspace() override { return inner_.workspace(); }
  ScriptRunner& scripting() override { return inner_.scripting(); }
  AccessibilityClient& accessibility() override { return inner_.accessibility(); }
  AccessibilityObservers& accessibilityObservers() override { return inner_.accessibilityObservers(); }
  AccessibilityPrompt& accessibilityPrompt() override { return inner_.accessibilityPrompt(); }
  Keyboard& keyboard() override { return inner_.keyboard(); }
  ScreenCapture& screenCapture() override { return inner_.screenCapture(); }
  TextRecognizer& textRecognizer() override { return inner_.textRecognizer(); }
  ImageEncoder& imageEncoder() override { return inner_.imageEncoder(); }

 protected:
  Platform& inner() { return inner_; }
  const Platform& inner() const { return inner_; }

 private:
  Platform& inner_;
};

}  // namespace Sablekit
