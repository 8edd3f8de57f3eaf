// keyloft-sim: the shortcut host with the real lease and pipe watcher but a
// simulated keyboard and permissions, for tests and demos.
// `keyloft-sim [SCENARIO.json] [ARGUMENT...]`: a first argument that does not
// start with "--" names the scenario; the rest are the host's own arguments.
// The scenario's "keyboard" script is replayed once start-up is over.
#include <iostream>

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
  runLoop.post([&keyboard] { keyboard.playScript(); });
  return KeyloftMain::main(hostArguments, {.keyboard = keyboard,
                                           .permissions = desktop->permissions(),
                                           .accessibilityPrompt = desktop->accessibilityPrompt(),
                                           .runLoop = runLoop,
                                           .output = output,
                                           .acquireLease = KeyloftServices::userLease(),
                                           .watchParentPipe = KeyloftServices::standardInputWatcher()});
}
