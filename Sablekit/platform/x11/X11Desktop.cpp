// Assembling the X11 desktop from its services.
#include "Sablekit/platform/x11/X11Desktop.h"

#include "Sablekit/platform/linux/IdleKeyboard.h"
#include "Sablekit/platform/linux/UnavailableAccessibility.h"
#include "Sablekit/platform/x11/keyboard/X11Keyboard.h"

namespace Sablekit {

namespace {

std::unique_ptr<X11Connection> connect(const std::string& displayName) {
  return displayName.empty() ? nullptr : X11Connection::open(displayName);
}

// The keyboard opens connections of its own to the display, when it is started.
std::unique_ptr<Keyboard> makeKeyboard(RunLoop& mainLoop, const std::string& displayName) {
  if (displayName.empty()) {
    return std::make_unique<IdleKeyboard>();
  }
  return std::make_unique<X11Keyboard>(mainLoop, X11Keyboard::Options{.displayName = displayName});
}

}  // namespace

bool X11Desktop::reachable(const std::string& displayName) {
  const std::unique_ptr<X11Connection> connection = connect(displayName);
  return connection != nullptr && connection->healthy();
}

X11Desktop::X11Desktop(RunLoop& mainLoop,
                       const std::string& displayName,
                       std::unique_ptr<AccessibilityBackend> accessibility)
    : connection_(connect(displayName)),
      windowServer_(connection_.get()),
      workspace_(connection_.get()),
      screenCapture_(connection_.get()),
      accessibility_(accessibility ? std::move(accessibility) : std::make_unique<UnavailableAccessibility>()),
      keyboard_(makeKeyboard(mainLoop, displayName)) {
  capabilities_.backendName = "x11";
  capabilities_.windowExclusion =
      screenCapture_.canExclude() ? WindowExclusion::composited : WindowExclusion::unavailable;
  capabilities_.screenRecordingPermissionKnown = true;  // reachable display = allowed
  capabilities_.accessibilityPermissionKnown = accessibility_->trustKnown();
}

X11Desktop::~X11Desktop() = default;

bool X11Desktop::screenRecordingPreflight() {
  return connection_ != nullptr && connection_->healthy();
}

}  // namespace Sablekit
