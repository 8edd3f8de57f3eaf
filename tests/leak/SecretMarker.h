// A window that must not reach the parent, and the signature it carries: a
// colour that only its pixels use and a word that only its text and title use.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "Sablekit/context/ApplicationExclusionGroup.h"

namespace Sablekit::Leak {

// Why the window must stay out; each kind is cut out under its own request rule.
enum class SecretKind {
  protectedApplication,  // an application of a protection group
  selfApplication,       // the capture host's own bundle
  explicitIdentifier,    // an identifier the request lists
  unknownBundle,         // an application without a bundle identifier
  privateBrowserWindow,  // a private browser window
  excludedDomainPage,    // a browser window on a domain the request lists
  parentListedWindow,    // a window of the parent whose title the request lists
};

std::string_view name(SecretKind kind);

using Colour = std::array<std::uint8_t, 4>;  // B, G, R, A as the screenshots hold pixels

struct SecretMarker {
  SecretKind kind = SecretKind::protectedApplication;
  std::uint32_t windowNumber = 0;
  std::int32_t processID = 0;
  Colour colour{};
  std::string word;                                // lowercase letters only
  std::optional<ApplicationExclusionGroup> group;  // protectedApplication only
};

}  // namespace Sablekit::Leak
