// The shortcut host: reads its arguments, takes the single-instance lease,
// installs the keyboard monitor, reports its health and every configured
// chord as event lines, and runs the main loop until the parent closes its
// standard input.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "Sablekit/platform/AccessibilityPrompt.h"
#include "Sablekit/platform/HostLease.h"
#include "Sablekit/platform/Keyboard.h"
#include "Sablekit/platform/ParentPipeWatcher.h"
#include "Sablekit/platform/PermissionChecks.h"
#include "Sablekit/platform/RunLoop.h"
#include "Sablekit/platform/StandardStreams.h"
#include "Sablekit/shortcut/ShortcutAction.h"

namespace Sablekit {

class KeyloftMain {
 public:
  static constexpr std::string_view promptAccessibilityArgument = "--prompt-accessibility";
  static constexpr std::string_view exclusiveArgument = "--exclusive";
  static constexpr std::string_view commandCommandChord = "command-command";
  static constexpr std::string_view commandCommandShiftChord = "command-command-shift";

  // What the command line asks for. Unknown arguments leave no trace.
  struct Options {
    bool promptAccessibility = false;
    bool exclusive = false;
    std::optional<ShortcutAction> commandCommandAction;
    std::optional<ShortcutAction> commandCommandShiftAction;

    bool operator==(const Options&) const = default;
  };

  // Takes the lease; null when another process holds it or the lock file
  // cannot be opened (the two are not told apart).
  using LeaseAcquirer = std::function<std::unique_ptr<HostLease>()>;
  // Makes a watcher of the parent's pipe that calls `onClosed` (from any
  // thread, at most once) when the parent closes it. Not started yet.
  using PipeWatcherFactory = std::function<std::unique_ptr<ParentPipeWatcher>(std::function<void()> onClosed)>;

  // The platform pieces the host runs on; all must outlive main().
  struct Environment {
    Keyboard& keyboard;
    PermissionChecks& permissions;
    AccessibilityPrompt& accessibilityPrompt;
    RunLoop& runLoop;
    ByteSink& output;
    LeaseAcquirer acquireLease;
    PipeWatcherFactory watchParentPipe;
  };

  // Exit status when the parent's pipe cannot be watched: without the watcher
  // the host would outlive its parent, so it does not start at all.
  static constexpr int cannotWatchParentStatus = 1;

  // Runs the host on the calling thread, which becomes the main thread.
  // `arguments` is the whole command line, program path first (skipped).
  // Returns 0 once the parent has closed the pipe, or cannotWatchParentStatus
  // before writing anything when the watcher cannot start. Tasks queued on the
  // run loop before the call run once start-up is over.
  static int main(const std::vector<std::string>& arguments, Environment environment);

  // The options of a command line given without its program path.
  static Options options(const std::vector<std::string>& arguments);

  // The action named by the first argument that starts with "--<chordName>=";
  // absent when there is none or its action name is not exactly one of ours.
  // Later arguments for the same chord are not looked at.
  static std::optional<ShortcutAction> action(std::string_view chordName, const std::vector<std::string>& arguments);
};

}  // namespace Sablekit
