// Assembling the X11 desktop from its services.
#include "Sablekit/platform/x11/X11Desktop.h"

#include "Sablekit/platform/linux/IdleKeyboard.h"

namespace Sablekit {

namespace {

// The one place the X11 keyboard plugs in. Until it does, the keyboard
// refuses to start and the shortcut host reports its monitor as not installed.
std::unique_ptr<Keyboard> makeKeyboard(const X11Connection*) {
  return std::make_unique<IdleKeyboard>();
}

}  // namespace

X11Desktop::X11Desktop(const std::string& displayName)
    : connection_(X11Connection::open(displayName)),
      windowServer_(connection_.get()),
      workspace_(connection_.get()),
      screenCapture_(connection_.get()),
      keyboard_(makeKeyboard(connection_.get())) {
  capabilities_.backendName = "x11";
  capabilities_.deterministic = false;
  capabilities_.screenRecordingPermissionKnown = true;  // reachable display = allowed
  capabilities_.accessibilityPermissionKnown = false;
}

X11Desktop::~X11Desktop() = default;

bool X11Desktop::screenRecordingPreflight() {
  return connection_ != nullptr && connection_->healthy();
}

}  // namespace Sablekit
