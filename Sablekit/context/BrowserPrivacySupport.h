// How far a browser's private-window detection can be trusted.
#pragma once

#include "Sablekit/common/RawValue.h"

namespace Sablekit {

enum class BrowserPrivacySupport {
  notBrowser,
  // Engine-specific readers give a page address and private state we trust.
  verifiedAdapter,
  // Reads are always reported unsupported, so captures that need a
  // trustworthy browser context refuse.
  bestEffortFailClosed,
};

template <>
struct RawValues<BrowserPrivacySupport> {
  using E = BrowserPrivacySupport;
  static constexpr std::array<std::pair<E, std::string_view>, 3> cases{{
      {E::notBrowser, "notBrowser"},
      {E::verifiedAdapter, "verifiedAdapter"},
      {E::bestEffortFailClosed, "bestEffortFailClosed"},
  }};
};

}  // namespace Sablekit
