// keyloft-sim: the shortcut host with the real lease and pipe watcher but a
// simulated keyboard and permissions, for tests and demos.
// `keyloft-sim [SCENARIO.json] [ARGUMENT...]`: a first argument that does not
// start with "--" names the scenario; the rest are the host's own arguments.
// The scenario's "keyboard" script is replayed once start-up is over; each
// change the interception swallowed is then reported on standard error as
// {"dropped":{"keyCode":K,"modifierFlags":F}}, one line each, so black-box
// tests can see what the focused application would not have received.
#include <iostream>

#include <nlohmann/json.hpp>

#include "Keyloft/KeyloftMain.h"
#include "Keyloft/KeyloftServices.h"
#include "Sablekit/platform/posix/PosixStandardStreams.h"
#include "Sablekit/platform/simulated/SimulatedDesktop.h"

int main(int argc, char** argv) {
  using namespace Sablekit;
  std::vector<std::string> hostArguments{argc > 0 ? argv[0] : "keyloft-sim"};
  int next = 1;
  std::optional<std::string> scenarioPath;
  if (argc > 1 && !std::string_view(argv[1]).starts_with("--")) {
    scenarioPath = argv[1];
    next = 2;
  }
  hostArguments.insert(hostArguments.end(), argv + next, argv + argc);

  std::unique_ptr<SimulatedDesktop> desktop;
  try {
    desktop = scenarioPath ? SimulatedDesktop::fromScenarioFile(*scenarioPath) : std::make_unique<SimulatedDesktop>();
  } catch (const ScenarioError& error) {
    std::cerr << "keyloft-sim: " << error.what() << '\n';
    return 2;
  }

  ignoreBrokenPipeSignal();
  SimulatedKeyboard& keyboard = desktop->simulatedKeyboard();
  RunLoop runLoop;
  FileDescriptorByteSink output(1);
  FileDescriptorByteSink diagnostics(2);
  runLoop.post([&keyboard, &diagnostics] {
    const std::size_t first = keyboard.changes().size();
    keyboard.playScript();
    const auto& changes = keyboard.changes();
    for (std::size_t index = first; index < changes.size(); ++index) {
      if (changes[index].dropped) {
        const nlohmann::json dropped = {
            {"dropped", {{"keyCode", changes[index].keyCode}, {"modifierFlags", changes[index].modifierFlags}}}};
        diagnostics.write(dropped.dump() + "\n");
      }
    }
  });
  return KeyloftMain::main(hostArguments, {.keyboard = keyboard,
                                           .permissions = desktop->permissions(),
                                           .accessibilityPrompt = desktop->accessibilityPrompt(),
                                           .runLoop = runLoop,
                                           .output = output,
                                           .acquireLease = KeyloftServices::userLease(),
                                           .watchParentPipe = KeyloftServices::standardInputWatcher()});
}
