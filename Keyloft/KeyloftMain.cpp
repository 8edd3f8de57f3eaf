#include "Keyloft/KeyloftMain.h"

#include <algorithm>
#include <system_error>

#include "Sablekit/common/RawValue.h"
#include "Sablekit/shortcut/ShortcutEvent.h"
#include "Sablekit/shortcut/ShortcutMonitor.h"

namespace Sablekit {

namespace {

bool contains(const std::vector<std::string>& arguments, std::string_view wanted) {
  return std::ranges::find(arguments, wanted) != arguments.end();
}

}  // namespace

std::optional<ShortcutAction> KeyloftMain::action(std::string_view chordName,
                                                  const std::vector<std::string>& arguments) {
  const std::string prefix = "--" + std::string(chordName) + "=";
  for (const std::string& argument : arguments) {
    if (argument.starts_with(prefix)) {
      return fromRawValue<ShortcutAction>(std::string_view(argument).substr(prefix.size()));
    }
  }
  return std::nullopt;
}

KeyloftMain::Options KeyloftMain::options(const std::vector<std::string>& arguments) {
  return Options{
      .promptAccessibility = contains(arguments, promptAccessibilityArgument),
      .exclusive = contains(arguments, exclusiveArgument),
      .commandCommandAction = action(commandCommandChord, arguments),
      .commandCommandShiftAction = action(commandCommandShiftChord, arguments),
  };
}

int KeyloftMain::main(const std::vector<std::string>& arguments, Environment environment) {
  const std::vector<std::string> userArguments =
      arguments.empty() ? std::vector<std::string>{} : std::vector<std::string>(arguments.begin() + 1, arguments.end());
  const Options chosen = options(userArguments);

  if (chosen.promptAccessibility) {
    environment.accessibilityPrompt.promptIfNotTrusted();
  }

  ShortcutMonitor monitor(environment.keyboard, environment.output, chosen.commandCommandAction,
                          chosen.commandCommandShiftAction, chosen.exclusive);

  // From here on the parent closing the pipe ends the host, whatever else
  // happens: the loop returns after the task it is running, or at once when
  // it has not started yet.
  RunLoop& runLoop = environment.runLoop;
  std::unique_ptr<ParentPipeWatcher> pipeWatcher;
  try {
    pipeWatcher = environment.watchParentPipe([&runLoop] { runLoop.stop(); });
    if (!pipeWatcher) {
      return cannotWatchParentStatus;
    }
    pipeWatcher->start();
  } catch (const std::system_error&) {
    return cannotWatchParentStatus;
  }

  const std::unique_ptr<HostLease> lease = environment.acquireLease();
  if (lease) {
    monitor.start();
    // Read after installing: installing is what makes the platform ask.
    const bool trusted = environment.permissions.accessibilityTrusted();
    monitor.emit(ShortcutEvent::health(trusted, monitor.monitorInstalled()));
  } else {
    monitor.emit(ShortcutEvent::ownerUnavailable(environment.permissions.accessibilityTrusted()));
  }

  runLoop.run();
  // The watcher goes first so nothing calls into the loop while we unwind.
  pipeWatcher.reset();
  return 0;
}

}  // namespace Sablekit
