// One relevant keyboard change, as the chord detector sees it.
#pragma once

namespace Sablekit {

enum class ShortcutGestureInput {
  leftCommandDown,
  leftCommandUp,
  rightCommandDown,
  rightCommandUp,
  shiftDown,
  shiftUp,
  // Another modifier key changed, or the keyboard state can no longer be
  // trusted: everything held so far stops counting.
  invalidatingModifier,
};

}  // namespace Sablekit
