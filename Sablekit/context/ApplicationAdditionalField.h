// A context field that a capture of an application may carry beyond the
// fields common to every capture.
#pragma once

#include "Sablekit/common/RawValue.h"

namespace Sablekit {

enum class ApplicationAdditionalField {
  pageURL,
  normalizedDomain,
  browserPrivacyVerdict,
  browserReadabilityVerdict,
  finderFolderURL,
};

template <>
struct RawValues<ApplicationAdditionalField> {
  using E = ApplicationAdditionalField;
  static constexpr std::array<std::pair<E, std::string_view>, 5> cases{{
      {E::pageURL, "pageURL"},
      {E::normalizedDomain, "normalizedDomain"},
      {E::browserPrivacyVerdict, "browserPrivacyVerdict"},
      {E::browserReadabilityVerdict, "browserReadabilityVerdict"},
      {E::finderFolderURL, "finderFolderURL"},
  }};
};

}  // namespace Sablekit
