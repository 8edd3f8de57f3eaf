// Reads Finder's front folder through the scripting service.
#include "Sablekit/context/FinderContextService.h"

#include <cstdint>

#include <unicode/utf8.h>

#include "Sablekit/common/BundleIDNormalization.h"
#include "Sablekit/common/WebURL.h"

namespace Sablekit {

namespace {

// ICU's UTF-8 macros cast in the C style.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wold-style-cast"

// Drops leading and trailing Unicode white space and line breaks; bytes that
// are not UTF-8 count as text and stop the trimming.
std::string_view trimmed(std::string_view text) {
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(text.data());
  const auto length = static_cast<std::int32_t>(text.size());
  std::int32_t begin = 0;
  while (begin < length) {
    std::int32_t next = begin;
    UChar32 codePoint = 0;
    U8_NEXT(bytes, next, length, codePoint);
    if (codePoint < 0 || !isWhitespaceOrNewline(static_cast<char32_t>(codePoint))) {
      break;
    }
    begin = next;
  }
  std::int32_t end = length;
  while (end > begin) {
    std::int32_t previous = end;
    UChar32 codePoint = 0;
    U8_PREV(bytes, begin, previous, codePoint);
    if (codePoint < 0 || !isWhitespaceOrNewline(static_cast<char32_t>(codePoint))) {
      break;
    }
    end = previous;
  }
  return text.substr(static_cast<std::size_t>(begin), static_cast<std::size_t>(end - begin));
}

#pragma GCC diagnostic pop

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

FinderContextResult FinderContextService::read(const std::optional<std::string>& /*frontWindowTitle*/,
                                               bool allowAutomation) {
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
  const std::string_view path = trimmed(text);
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
