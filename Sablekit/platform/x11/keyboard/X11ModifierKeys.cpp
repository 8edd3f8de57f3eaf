#include "Sablekit/platform/x11/keyboard/X11ModifierKeys.h"

#include "Sablekit/platform/Keyboard.h"

namespace Sablekit {

std::optional<std::uint16_t> X11ModifierKeys::keyCodeForKeysym(std::uint32_t keysym) {
  switch (keysym) {
    case superL:
      return KeyCode::leftCommand;
    case superR:
      return KeyCode::rightCommand;
    case shiftL:
      return KeyCode::leftShift;
    case shiftR:
      return KeyCode::rightShift;
    case altL:
      return KeyCode::leftOption;
    case altR:
      return KeyCode::rightOption;
    case controlL:
      return KeyCode::leftControl;
    case controlR:
      return KeyCode::rightControl;
    default:
      return std::nullopt;
  }
}

void X11ModifierKeys::setMapping(std::uint8_t firstKeycode, const std::vector<std::uint32_t>& keysyms) {
  for (auto& mapped : mapped_) {
    mapped.reset();
  }
  for (std::size_t index = 0; index < keysyms.size() && firstKeycode + index < 256; ++index) {
    mapped_[firstKeycode + index] = keyCodeForKeysym(keysyms[index]);
  }
}

std::optional<std::uint16_t> X11ModifierKeys::keyCodeOf(std::uint8_t keycode) const {
  return mapped_[keycode];
}

std::vector<std::uint8_t> X11ModifierKeys::keycodesOf(std::uint16_t keyCode) const {
  std::vector<std::uint8_t> keycodes;
  for (std::size_t keycode = 0; keycode < 256; ++keycode) {
    if (mapped_[keycode] == keyCode) {
      keycodes.push_back(static_cast<std::uint8_t>(keycode));
    }
  }
  return keycodes;
}

void X11ModifierKeys::seed(const std::bitset<256>& pressed) {
  held_.reset();
  for (std::size_t keycode = 0; keycode < 256; ++keycode) {
    if (pressed[keycode] && mapped_[keycode]) {
      held_.set(keycode);
    }
  }
}

bool X11ModifierKeys::press(std::uint8_t keycode) {
  if (!mapped_[keycode] || held_[keycode]) {
    return false;
  }
  held_.set(keycode);
  return true;
}

bool X11ModifierKeys::release(std::uint8_t keycode) {
  if (!mapped_[keycode] || !held_[keycode]) {
    return false;
  }
  held_.reset(keycode);
  return true;
}

std::uint64_t X11ModifierKeys::flags() const {
  std::uint64_t flags = 0;
  for (std::size_t keycode = 0; keycode < 256; ++keycode) {
    // A key held since before a remapping counts as what it is now.
    if (held_[keycode] && mapped_[keycode]) {
      flags |= heldModifierFlag(*mapped_[keycode]);
    }
  }
  return flags;
}

}  // namespace Sablekit
