// Which application-specific context reader applies to an application.
#pragma once

#include "Sablekit/common/RawValue.h"

namespace Sablekit {

enum class ApplicationContextEnricher { none, browser, finder };

template <>
struct RawValues<ApplicationContextEnricher> {
  using E = ApplicationContextEnricher;
  static constexpr std::array<std::pair<E, std::string_view>, 3> cases{{
      {E::none, "none"},
      {E::browser, "browser"},
      {E::finder, "finder"},
  }};
};

}  // namespace Sablekit
