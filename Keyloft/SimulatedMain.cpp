// keyloft-sim: the shortcut host with the real lease and pipe watcher but a
// simulated keyboard and permissions, for tests and demos.
// `keyloft-sim [SCENARIO.json] [ARGUMENT...]`: a first argument that does not
// start with "--" names the scenario; the rest are the host's own arguments.
// The scenario's "keyboard" script is replayed once start-up is over.
#include <fstream>
#include <iostream>
#include <sstream>

#include <nlohmann/json.hpp>

#include "Keyloft/KeyloftMain.h"
#include "Keyloft/KeyloftServices.h"
#include "Sablekit/platform/posix/PosixStandardStreams.h"
#include "Sablekit/platform/simulated/SimulatedAccessibilityPrompt.h"
#include "Sablekit/platform/simulated/SimulatedDesktop.h"
#include "Sablekit/platform/simulated/SimulatedKeyboard.h"

namespace {

constexpr std::string_view keyboardSection = "keyboard";

nlohmann::json readScenario(const std::string& path) {
  std::ifstream file(path);
  if (!file) {
    throw Sablekit::ScenarioError("cannot read scenario file " + path);
  }
  std::stringstream text;
  text << file.rdbuf();
  nlohmann::json scenario = nlohmann::json::parse(text.str(), nullptr, false);
  if (scenario.is_discarded()) {
    throw Sablekit::ScenarioError("scenario is not JSON: " + path);
  }
  if (!scenario.is_object()) {
    throw Sablekit::ScenarioError("scenario: expected an object");
  }
  return scenario;
}

}  // namespace

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

  SimulatedKeyboard keyboard;
  std::unique_ptr<SimulatedDesktop> desktop;
  try {
    nlohmann::json scenario = scenarioPath ? readScenario(*scenarioPath) : nlohmann::json::object();
    // The keyboard reads its own section; the desktop everything else.
    if (const auto found = scenario.find(keyboardSection); found != scenario.end()) {
      keyboard.loadScenario(*found);
      scenario.erase(found);
    }
    desktop = SimulatedDesktop::fromScenario(scenario.dump());
  } catch (const ScenarioError& error) {
    std::cerr << "keyloft-sim: " << error.what() << '\n';
    return 2;
  }

  ignoreBrokenPipeSignal();
  SimulatedAccessibilityPrompt prompt;
  RunLoop runLoop;
  FileDescriptorByteSink output(1);
  runLoop.post([&keyboard] { keyboard.playScript(); });
  return KeyloftMain::main(hostArguments, {.keyboard = keyboard,
                                           .permissions = desktop->permissions(),
                                           .accessibilityPrompt = prompt,
                                           .runLoop = runLoop,
                                           .output = output,
                                           .acquireLease = KeyloftServices::userLease(),
                                           .watchParentPipe = KeyloftServices::standardInputWatcher()});
}
