// The system-wide keyboard, as far as the shortcut host needs it: every change
// of a modifier key, in order, and in exclusive mode the power to drop such a
// change before any other application sees it.
#pragma once

#include <array>
#include <cstdint>

namespace Sablekit {

// The platform's virtual key codes of the modifier keys.
namespace KeyCode {
inline constexpr std::uint16_t rightCommand = 54;
inline constexpr std::uint16_t leftCommand = 55;
inline constexpr std::uint16_t leftShift = 56;
inline constexpr std::uint16_t capsLock = 57;
inline constexpr std::uint16_t leftOption = 58;
inline constexpr std::uint16_t leftControl = 59;
inline constexpr std::uint16_t rightShift = 60;
inline constexpr std::uint16_t rightOption = 61;
inline constexpr std::uint16_t rightControl = 62;
inline constexpr std::uint16_t function = 63;
}  // namespace KeyCode

// The platform's device-independent modifier flag bits. A change carries the
// flags as they are after it; other bits may be set and mean nothing here.
namespace ModifierFlag {
inline constexpr std::uint64_t capsLock = 0x10000;
inline constexpr std::uint64_t shift = 0x20000;
inline constexpr std::uint64_t control = 0x40000;
inline constexpr std::uint64_t option = 0x80000;
inline constexpr std::uint64_t command = 0x100000;
inline constexpr std::uint64_t function = 0x800000;
}  // namespace ModifierFlag

// The one table both keyboards compute a change's flags from: each modifier
// key and the flag it holds while it is down. Caps Lock and Function hold
// none: the platform's Caps Lock flag is a lock the key toggles, not a key
// held, and no Linux keyboard reports its Function key (the keyboard handles
// it itself); the shortcut host reads neither.
struct HeldModifier {
  std::uint16_t keyCode;
  std::uint64_t flag;
};
inline constexpr std::array<HeldModifier, 8> heldModifiers{{
    {KeyCode::leftShift, ModifierFlag::shift},
    {KeyCode::rightShift, ModifierFlag::shift},
    {KeyCode::leftControl, ModifierFlag::control},
    {KeyCode::rightControl, ModifierFlag::control},
    {KeyCode::leftOption, ModifierFlag::option},
    {KeyCode::rightOption, ModifierFlag::option},
    {KeyCode::leftCommand, ModifierFlag::command},
    {KeyCode::rightCommand, ModifierFlag::command},
}};

// The flag `keyCode` holds while down; 0 for a key the table does not list.
constexpr std::uint64_t heldModifierFlag(std::uint16_t keyCode) {
  for (const HeldModifier& modifier : heldModifiers) {
    if (modifier.keyCode == keyCode) {
      return modifier.flag;
    }
  }
  return 0;
}

// Told about keyboard changes. Every call comes on the main thread, one at a
// time and in the order the changes happened, never from inside a Keyboard
// operation that the listener itself called.
class KeyboardListener {
 public:
  virtual ~KeyboardListener() = default;

  // One modifier key went down or up: its key code and the modifier flags
  // after the change. While intercepting, answering true drops this one
  // change so that no other application sees it; while only listening the
  // answer is ignored and nothing is ever dropped.
  virtual bool modifierChanged(std::uint16_t keyCode, std::uint64_t modifierFlags) = 0;

  // The platform switched the interception off (it took too long to answer,
  // or secure input took over). Changes made while it was off were not seen.
  // It stays off until resumeIntercepting() is called.
  virtual void interceptionSwitchedOff() = 0;
};

// One per process, used on the main thread only. The listener is not owned:
// it must call stopDelivering() before it goes away (or live as long as the
// keyboard).
class Keyboard {
 public:
  virtual ~Keyboard() = default;

  // Starts passing every modifier change to `listener`, without the power to
  // drop any. Answers false when the platform refuses (for want of the
  // Accessibility permission, typically); nothing is installed then and the
  // listener is never called. At most one of startListening() and
  // startIntercepting() succeeds per keyboard; later calls answer false.
  virtual bool startListening(KeyboardListener& listener) = 0;

  // Puts `listener` at the head of the session's keyboard events, ahead of
  // every application, with the power to drop modifier changes. Answers false
  // when the platform refuses; nothing is installed then and the listener is
  // never called.
  virtual bool startIntercepting(KeyboardListener& listener) = 0;

  // Switches the interception on again after interceptionSwitchedOff(). Does
  // nothing when not intercepting or when it is already on.
  virtual void resumeIntercepting() = 0;

  // After this returns, `listener` is never called again, not even for
  // changes that were already on their way; intercepted changes then pass
  // untouched. What was installed stays installed.
  virtual void stopDelivering(KeyboardListener& listener) = 0;
};

}  // namespace Sablekit
