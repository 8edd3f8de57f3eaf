// The chord state machine: both Command keys, optionally with Shift. It knows
// nothing about keyboards; its owner feeds it one input per relevant change.
// A chord is reported once while it is held; releasing either Command key
// arms the detector for the next one.
#pragma once

#include <optional>

#include "Sablekit/shortcut/ShortcutGesture.h"
#include "Sablekit/shortcut/ShortcutGestureInput.h"

namespace Sablekit {

class ShortcutGestureDetector {
 public:
  // Nothing held, nothing reported.
  ShortcutGestureDetector() = default;

  // Applies `input` and answers the chord it completes, if any. The chord is
  // decided when the second Command key goes down: Shift counts only if it is
  // held by then. To forget everything, feed invalidatingModifier.
  std::optional<ShortcutGesture> consume(ShortcutGestureInput input);

  bool leftCommandPressed() const { return leftCommandPressed_; }
  bool rightCommandPressed() const { return rightCommandPressed_; }
  bool shiftPressed() const { return shiftPressed_; }
  bool emittedForCurrentChord() const { return emittedForCurrentChord_; }

  bool operator==(const ShortcutGestureDetector&) const = default;

 private:
  bool leftCommandPressed_ = false;
  bool rightCommandPressed_ = false;
  bool shiftPressed_ = false;
  bool emittedForCurrentChord_ = false;
};

}  // namespace Sablekit
