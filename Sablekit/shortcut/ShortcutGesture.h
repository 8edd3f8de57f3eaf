// The chords the shortcut host recognises.
#pragma once

#include "Sablekit/common/RawValue.h"

namespace Sablekit {

enum class ShortcutGesture {
  commandCommand,       // both Command keys
  commandCommandShift,  // both Command keys with Shift already held
};

template <>
struct RawValues<ShortcutGesture> {
  using E = ShortcutGesture;
  static constexpr std::array<std::pair<E, std::string_view>, 2> cases{{
      {E::commandCommand, "commandCommand"},
      {E::commandCommandShift, "commandCommandShift"},
  }};
};

}  // namespace Sablekit
