#include "Sablekit/platform/simulated/ScenarioLoader.h"

#include <functional>
#include <limits>
#include <map>

#include <nlohmann/json.hpp>

#include "Sablekit/platform/simulated/SimulatedDesktop.h"

namespace Sablekit {

namespace {

using Json = nlohmann::json;

[[noreturn]] void fail(const std::string& path, const std::string& problem) {
  throw ScenarioError("scenario " + path + ": " + problem);
}

// Checks that `object` is an object holding only `allowed` keys.
void expectObject(const Json& object, const std::string& path, std::initializer_list<std::string_view> allowed) {
  if (!object.is_object()) {
    fail(path, "expected an object");
  }
  for (const auto& [key, value] : object.items()) {
    bool known = false;
    for (const std::string_view name : allowed) {
      known = known || key == name;
    }
    if (!known) {
      fail(path + "." + key, "unknown key");
    }
  }
}

bool boolAt(const Json& object, const std::string& path, const char* key, bool fallback) {
  const auto found = object.find(key);
  if (found == object.end()) {
    return fallback;
  }
  if (!found->is_boolean()) {
    fail(path + "." + key, "expected true or false");
  }
  return found->get<bool>();
}

template <class Integer>
std::optional<Integer> integerAt(const Json& object, const std::string& path, const char* key) {
  const auto found = object.find(key);
  if (found == object.end()) {
    return std::nullopt;
  }
  if (!found->is_number_integer()) {
    fail(path + "." + key, "expected an integer");
  }
  if (found->is_number_unsigned() ? found->get<std::uint64_t>() > std::uint64_t(std::numeric_limits<Integer>::max())
                                  : (found->get<std::int64_t>() < std::numeric_limits<Integer>::min() ||
                                     found->get<std::int64_t>() > std::numeric_limits<Integer>::max())) {
    fail(path + "." + key, "integer out of range");
  }
  return static_cast<Integer>(found->get<std::int64_t>());
}

std::optional<double> numberAt(const Json& object, const std::string& path, const char* key) {
  const auto found = object.find(key);
  if (found == object.end()) {
    return std::nullopt;
  }
  if (!found->is_number()) {
    fail(path + "." + key, "expected a number");
  }
  return found->get<double>();
}

void loadProcess(const Json& section, SimulatedDesktop& desktop) {
  expectObject(section, "process", {"processID", "parentProcessID"});
  const auto processID = integerAt<std::int32_t>(section, "process", "processID");
  const auto parentProcessID = integerAt<std::int32_t>(section, "process", "parentProcessID");
  if (!processID || !parentProcessID) {
    fail("process", "needs both processID and parentProcessID");
  }
  desktop.setProcess(*processID, *parentProcessID);
}

void loadPermissions(const Json& section, SimulatedDesktop& desktop) {
  expectObject(section, "permissions", {"screenRecording", "accessibilityTrusted"});
  desktop.setScreenRecordingGranted(boolAt(section, "permissions", "screenRecording", true));
  desktop.setAccessibilityTrusted(boolAt(section, "permissions", "accessibilityTrusted", true));
}

void loadClock(const Json& section, SimulatedDesktop& desktop) {
  expectObject(section, "clock", {"startMilliseconds"});
  if (const auto start = numberAt(section, "clock", "startMilliseconds")) {
    desktop.simulatedClock().setWallTime(*start / 1000.0);
  }
}

void loadFaults(const Json& section, SimulatedDesktop& desktop) {
  if (!section.is_array()) {
    fail("faults", "expected an array");
  }
  for (std::size_t index = 0; index < section.size(); ++index) {
    const std::string path = "faults[" + std::to_string(index) + "]";
    const Json& entry = section[index];
    expectObject(entry, path, {"operation", "kind", "times"});
    const auto operation = entry.find("operation");
    if (operation == entry.end() || !operation->is_string() || operation->get<std::string>().empty()) {
      fail(path + ".operation", "expected an operation name");
    }
    const auto kindText = entry.value("kind", std::string("fail"));
    FaultKind kind = FaultKind::fail;
    if (kindText == "empty") {
      kind = FaultKind::empty;
    } else if (kindText != "fail") {
      fail(path + ".kind", "expected \"fail\" or \"empty\"");
    }
    const auto times = integerAt<std::uint32_t>(entry, path, "times").value_or(0);
    desktop.faults().arm(operation->get<std::string>(), kind, times);
  }
}

}  // namespace

void ScenarioLoader::load(std::string_view scenarioJSON, SimulatedDesktop& desktop) {
  Json scenario;
  try {
    scenario = Json::parse(scenarioJSON);
  } catch (const Json::exception& error) {
    throw ScenarioError(std::string("scenario is not JSON: ") + error.what());
  }
  static const std::map<std::string, std::function<void(const Json&, SimulatedDesktop&)>, std::less<>> sections = {
      {"process", loadProcess},
      {"permissions", loadPermissions},
      {"clock", loadClock},
      {"faults", loadFaults},
  };
  if (!scenario.is_object()) {
    fail("", "expected an object at the top level");
  }
  for (const auto& [key, value] : scenario.items()) {
    if (key == "description") {
      continue;  // free text for people reading the file
    }
    const auto section = sections.find(key);
    if (section == sections.end()) {
      fail(key, "unknown section");
    }
    section->second(value, desktop);
  }
}

}  // namespace Sablekit
