// The built-in demo desktop: what the hosts run on when no scenario is given.
// Later features extend it with their own sections, so that the demo always
// shows every feature working.
#include "Sablekit/platform/simulated/SimulatedDesktop.h"

namespace Sablekit {

std::string_view SimulatedDesktop::demoScenario() {
  static constexpr std::string_view scenario = R"json({
  "description": "Built-in demo desktop",
  "clock": {"startMilliseconds": 1767225600000},
  "permissions": {"screenRecording": true, "accessibilityTrusted": true}
})json";
  return scenario;
}

}  // namespace Sablekit
