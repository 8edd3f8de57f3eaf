#include "Sablekit/shortcut/ShortcutMonitor.h"

namespace Sablekit {

ShortcutMonitor::ShortcutMonitor(Keyboard& keyboard,
                                 ByteSink& output,
                                 std::optional<ShortcutAction> commandCommandAction,
                                 std::optional<ShortcutAction> commandCommandShiftAction,
                                 bool exclusive)
    : keyboard_(keyboard),
      output_(output),
      commandCommandAction_(commandCommandAction),
      commandCommandShiftAction_(commandCommandShiftAction),
      exclusive_(exclusive) {}

ShortcutMonitor::~ShortcutMonitor() {
  if (installed_) {
    keyboard_.stopDelivering(*this);
  }
}

void ShortcutMonitor::start() {
  if (started_) {
    return;
  }
  started_ = true;
  installed_ = exclusive_ ? keyboard_.startIntercepting(*this) : keyboard_.startListening(*this);
}

bool ShortcutMonitor::consume(std::uint16_t keyCode, std::uint64_t modifierFlags) {
  const bool followsSwallowedChange = suppressedKeyCodes_.erase(keyCode) > 0;
  const bool swallowAnyway = followsSwallowedChange && exclusive_;

  const std::optional<ShortcutGestureInput> input = inputFor(keyCode, modifierFlags);
  if (!input) {
    return swallowAnyway;
  }
  const std::optional<ShortcutGesture> gesture = detector_.consume(*input);
  if (!gesture) {
    return swallowAnyway;
  }
  const std::optional<ShortcutAction> action =
      *gesture == ShortcutGesture::commandCommand ? commandCommandAction_ : commandCommandShiftAction_;
  if (!action) {
    return swallowAnyway;
  }
  emit(ShortcutEvent::triggered(*action));
  if (!exclusive_) {
    return false;
  }
  suppressedKeyCodes_.insert(keyCode);
  return true;
}

std::optional<ShortcutGestureInput> ShortcutMonitor::inputFor(std::uint16_t keyCode, std::uint64_t modifierFlags) {
  switch (keyCode) {
    case KeyCode::leftOption:
    case KeyCode::rightOption:
    case KeyCode::leftControl:
    case KeyCode::rightControl:
      // A chord held together with these is some other application's shortcut.
      return ShortcutGestureInput::invalidatingModifier;

    case KeyCode::leftShift:
    case KeyCode::rightShift: {
      // The flags tell whether any Shift is still held, so releasing one of
      // two held Shift keys keeps Shift down for the detector.
      const bool shiftHeld = (modifierFlags & ModifierFlag::shift) != 0;
      const bool wasPressed = pressedShiftKeyCodes_.erase(keyCode) > 0;
      if (!wasPressed && shiftHeld) {
        pressedShiftKeyCodes_.insert(keyCode);
      }
      return shiftHeld ? ShortcutGestureInput::shiftDown : ShortcutGestureInput::shiftUp;
    }

    case KeyCode::leftCommand:
    case KeyCode::rightCommand: {
      const bool left = keyCode == KeyCode::leftCommand;
      if ((modifierFlags & ModifierFlag::command) == 0) {
        // No Command key is down any more, so one recorded as held lost its
        // release (seen while interception was off, or before we started):
        // without this it would later pair with a single Command press.
        const std::uint16_t other = left ? KeyCode::rightCommand : KeyCode::leftCommand;
        if (pressedCommandKeyCodes_.erase(other) > 0) {
          suppressedKeyCodes_.erase(other);
          detector_.consume(left ? ShortcutGestureInput::rightCommandUp : ShortcutGestureInput::leftCommandUp);
        }
      }
      if (pressedCommandKeyCodes_.erase(keyCode) > 0) {
        return left ? ShortcutGestureInput::leftCommandUp : ShortcutGestureInput::rightCommandUp;
      }
      // Both Command keys share one flag: a key not recorded as held was
      // pressed when Command is set after the change; otherwise this is the
      // release of a press we never saw.
      if ((modifierFlags & ModifierFlag::command) == 0) {
        return std::nullopt;
      }
      // A press made together with Control or Option belongs to another
      // shortcut: the detector does not hear of it, but the key is recorded
      // all the same so that its release is read as a release.
      pressedCommandKeyCodes_.insert(keyCode);
      if ((modifierFlags & (ModifierFlag::control | ModifierFlag::option)) != 0) {
        return std::nullopt;
      }
      return left ? ShortcutGestureInput::leftCommandDown : ShortcutGestureInput::rightCommandDown;
    }

    default:
      return std::nullopt;
  }
}

void ShortcutMonitor::emit(const ShortcutEvent& event) {
  writeLine(output_, event);
}

bool ShortcutMonitor::modifierChanged(std::uint16_t keyCode, std::uint64_t modifierFlags) {
  return consume(keyCode, modifierFlags);
}

void ShortcutMonitor::interceptionSwitchedOff() {
  // Changes went by unseen while the interception was off, so a half-held
  // chord must not be completed from stale state.
  detector_.consume(ShortcutGestureInput::invalidatingModifier);
  keyboard_.resumeIntercepting();
}

}  // namespace Sablekit
