// What the parent application is told a chord means.
#pragma once

#include "Sablekit/common/RawValue.h"

namespace Sablekit {

enum class ShortcutAction { primary, search };

template <>
struct RawValues<ShortcutAction> {
  using E = ShortcutAction;
  static constexpr std::array<std::pair<E, std::string_view>, 2> cases{{
      {E::primary, "primary"},
      {E::search, "search"},
  }};
};

}  // namespace Sablekit
