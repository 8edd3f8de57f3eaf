// Names of the secret kinds, for reports.
#include "tests/leak/SecretMarker.h"

namespace Sablekit::Leak {

std::string_view name(SecretKind kind) {
  switch (kind) {
    case SecretKind::protectedApplication:
      return "protectedApplication";
    case SecretKind::selfApplication:
      return "selfApplication";
    case SecretKind::explicitIdentifier:
      return "explicitIdentifier";
    case SecretKind::unknownBundle:
      return "unknownBundle";
    case SecretKind::privateBrowserWindow:
      return "privateBrowserWindow";
    case SecretKind::excludedDomainPage:
      return "excludedDomainPage";
    case SecretKind::parentListedWindow:
      return "parentListedWindow";
  }
  return "?";
}

}  // namespace Sablekit::Leak
