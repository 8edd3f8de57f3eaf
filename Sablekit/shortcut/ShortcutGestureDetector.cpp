#include "Sablekit/shortcut/ShortcutGestureDetector.h"

namespace Sablekit {

std::optional<ShortcutGesture> ShortcutGestureDetector::consume(ShortcutGestureInput input) {
  switch (input) {
    case ShortcutGestureInput::leftCommandDown:
      leftCommandPressed_ = true;
      break;
    case ShortcutGestureInput::leftCommandUp:
      leftCommandPressed_ = false;
      emittedForCurrentChord_ = false;
      break;
    case ShortcutGestureInput::rightCommandDown:
      rightCommandPressed_ = true;
      break;
    case ShortcutGestureInput::rightCommandUp:
      rightCommandPressed_ = false;
      emittedForCurrentChord_ = false;
      break;
    case ShortcutGestureInput::shiftDown:
      shiftPressed_ = true;
      break;
    case ShortcutGestureInput::shiftUp:
      shiftPressed_ = false;
      break;
    case ShortcutGestureInput::invalidatingModifier:
      *this = ShortcutGestureDetector();
      break;
  }

  if (!leftCommandPressed_ || !rightCommandPressed_ || emittedForCurrentChord_) {
    return std::nullopt;
  }
  emittedForCurrentChord_ = true;
  return shiftPressed_ ? ShortcutGesture::commandCommandShift : ShortcutGesture::commandCommand;
}

}  // namespace Sablekit
