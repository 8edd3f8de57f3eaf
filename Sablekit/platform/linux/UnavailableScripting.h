// Scripting on a desktop that has no inter-application scripting (X11 and
// Wayland have no Apple events): every script fails to be created, so the
// services degrade as they do when a script cannot be made.
#pragma once

#include "Sablekit/platform/ScriptRunner.h"

namespace Sablekit {

class UnavailableScripting final : public ScriptRunner {
 public:
  // Always notCreated, at once, on any thread.
  ScriptRunOutcome run(std::string_view) override {
    return ScriptRunOutcome::creationFailure("Scripting other applications is not available on this desktop.");
  }
};

}  // namespace Sablekit
