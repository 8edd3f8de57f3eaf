// The folder shown in Finder's front window, read by scripting Finder, and
// the memory of the user's refusal to let this program control Finder.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "Sablekit/platform/ScriptRunner.h"
#include "Sablekit/protocol/FinderContextResult.h"

namespace Sablekit {

class FinderContextService {
 public:
  // The script that asks Finder for its front window's folder, bounded by a
  // one-second Apple-event timeout.
  static const std::string& frontFolderScript();

  // `scripts` must outlive the service.
  explicit FinderContextService(ScriptRunner& scripts) : scripts_(scripts) {}
  FinderContextService(const FinderContextService&) = delete;
  FinderContextService& operator=(const FinderContextService&) = delete;

  // Reads the front folder; never fails (trouble is a status). Runs the script
  // synchronously on the calling thread, so it holds that thread up to about
  // one second while Finder answers. Main thread.
  FinderContextResult read(bool allowAutomation);

  // Forgets an earlier refusal, so the next allowed read asks Finder again. Main thread.
  void resetAutomationState() { automationUnavailable_ = false; }

  // True once Finder refused scripting (-1743 or -10004) and until the reset. Main thread.
  bool automationUnavailable() const { return automationUnavailable_; }

 private:
  ScriptRunner& scripts_;
  bool automationUnavailable_ = false;
};

}  // namespace Sablekit
