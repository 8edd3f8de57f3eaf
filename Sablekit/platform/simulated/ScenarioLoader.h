// Reads a JSON scenario into a simulated desktop through its builder methods.
// Each section of the format has its own loading function; unknown keys are
// refused so that a misspelt scenario fails loudly instead of half-loading.
#pragma once

#include <string_view>

namespace Sablekit {

class SimulatedDesktop;

struct ScenarioLoader {
  // Throws ScenarioError naming the offending path (for example "faults[2].kind").
  static void load(std::string_view scenarioJSON, SimulatedDesktop& desktop);
};

}  // namespace Sablekit
