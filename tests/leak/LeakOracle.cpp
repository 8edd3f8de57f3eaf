// The decisive rules: which secret windows a request cuts out, and which
// focused windows make it refuse.
#include "tests/leak/LeakOracle.h"

#include <algorithm>

namespace Sablekit::Leak {

ExpectedCapture LeakOracle::expect(const LeakDesktop& desktop, const LeakRequest& request) {
  const auto& p = request.parameters;
  // Absent parameters and absent members choose the strictest setting.
  const bool protectedExcluded = !p || p->excludeProtectedApplications.value_or(true);
  const bool unknownExcluded = !p || !p->recordUnknownBundleIDs.value_or(false);
  const bool privateExcluded = !p || p->excludePrivateBrowsing.value_or(true);
  const bool domainsListed = request.listsSecrets && !desktop.excludedDomains.empty();
  const auto groupEnabled = [&](ApplicationExclusionGroup group) {
    if (!p || !p->enabledExclusionGroups) {
      return true;
    }
    const std::string_view wanted = rawValue(group);
    const auto& names = *p->enabledExclusionGroups;
    return std::find(names.begin(), names.end(), wanted) != names.end();
  };

  ExpectedCapture expected;
  for (std::size_t index = 0; index < desktop.secrets.size(); ++index) {
    const SecretMarker& secret = desktop.secrets[index];
    const bool focused = desktop.focusedSecret == index;
    bool cutOut = false;
    std::string refusal;
    switch (secret.kind) {
      case SecretKind::selfApplication:
        cutOut = true;
        refusal = "focusedApplicationExcluded";
        break;
      case SecretKind::protectedApplication:
        cutOut = protectedExcluded && groupEnabled(*secret.group);
        refusal = "focusedApplicationExcluded";
        break;
      case SecretKind::explicitIdentifier:
        cutOut = request.listsSecrets;
        refusal = "focusedApplicationExcluded";
        break;
      case SecretKind::unknownBundle:
        cutOut = unknownExcluded;
        refusal = "focusedApplicationExcluded";
        break;
      case SecretKind::privateBrowserWindow:
        // A browser window behind the focused one is never read, so it is cut
        // out whenever it might be private or on a listed domain.
        cutOut = privateExcluded || (!focused && domainsListed);
        refusal = "privateBrowserWindow";
        break;
      case SecretKind::excludedDomainPage:
        cutOut = domainsListed;
        refusal = "excludedDomain";
        break;
      case SecretKind::parentListedWindow:
        cutOut = request.listsSecrets;
        refusal = "focusedWindowExcluded";
        break;
    }
    if (cutOut) {
      expected.hidden.push_back(index);
      if (focused) {
        expected.refusal = refusal;
      }
    }
  }
  return expected;
}

}  // namespace Sablekit::Leak
