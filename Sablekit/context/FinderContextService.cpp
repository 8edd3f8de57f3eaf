// Reads Finder's front folder through the scripting service.
#include "Sablekit/context/FinderContextService.h"

#include <cstdint>

#include "Sablekit/common/BundleIDNormalization.h"
#include "Sablekit/common/TextRules.h"
#include "Sablekit/common/WebURL.h"

namespace Sablekit {

namespace {

FinderContextResult withStatus(FinderReadStatus status) {
  return FinderContextResult{.status = status, .folderURL = std::nullopt};
}

}  // namespace

const std::string& FinderContextService::frontFolderScript() {
  static const std::string script =
      "with timeout of 1 seconds\n"
      "  tell application id \"com.apple.finder\"\n"
      "    if (count of windows) is 0 then return \"\"\n"
      "    return POSIX path of (target of front window as alias)\n"
      "  end tell\n"
      "end timeout";
  return script;
}

FinderContextResult FinderContextService::read(bool allowAutomation) {
  if (!allowAutomation) {
    return withStatus(FinderReadStatus::automationDisabled);
  }
  if (automationUnavailable_) {
    return withStatus(FinderReadStatus::automationUnavailable);
  }
  const ScriptRunOutcome outcome = scripts_.run(frontFolderScript());
  switch (outcome.kind) {
    case ScriptRunOutcome::Kind::notCreated:
      return withStatus(FinderReadStatus::failed);
    case ScriptRunOutcome::Kind::failed:
      if (outcome.errorNumber == ScriptErrorNumber::notAuthorized ||
          outcome.errorNumber == ScriptErrorNumber::privilegeViolation) {
        automationUnavailable_ = true;
        return withStatus(FinderReadStatus::automationUnavailable);
      }
      return withStatus(FinderReadStatus::failed);
    case ScriptRunOutcome::Kind::succeeded:
      break;
  }
  const std::string text = outcome.result.value_or("");
  const std::string_view path = trimWhitespaceAndNewlines(text);
  if (path.empty()) {
    return withStatus(FinderReadStatus::noWindow);
  }
  if (!path.starts_with('/')) {
    return withStatus(FinderReadStatus::failed);
  }
  auto url = WebURL::directoryFileURL(path);
  if (!url) {
    return withStatus(FinderReadStatus::failed);
  }
  return FinderContextResult{.status = FinderReadStatus::folderURL, .folderURL = std::move(url)};
}

}  // namespace Sablekit
