#include "Sablekit/platform/simulated/ScenarioLoader.h"

#include <functional>
#include <map>

#include "Sablekit/platform/simulated/ScenarioFields.h"
#include "Sablekit/platform/simulated/SimulatedDesktop.h"

namespace Sablekit {

namespace {

using Json = nlohmann::json;
using namespace ScenarioFields;

void loadProcess(const Json& section, SimulatedDesktop& desktop) {
  expectObject(section, "process", {"processID", "parentProcessID"});
  const auto processID = integerAt<std::int32_t>(section, "process", "processID");
  const auto parentProcessID = integerAt<std::int32_t>(section, "process", "parentProcessID");
  if (!processID && !parentProcessID) {
    fail("process", "needs processID or parentProcessID");
  }
  // An identifier left out stays the real process's, so that a desktop with
  // windows of its own parent still reports the host's real process.
  const ProcessIdentity& current = desktop.processIdentity();
  desktop.setProcess(processID.value_or(current.processID()), parentProcessID.value_or(current.parentProcessID()));
}

void loadPermissions(const Json& section, SimulatedDesktop& desktop) {
  expectObject(section, "permissions", {"screenRecording", "accessibilityTrusted"});
  desktop.setScreenRecordingGranted(boolAt(section, "permissions", "screenRecording").value_or(true));
  desktop.setAccessibilityTrusted(boolAt(section, "permissions", "accessibilityTrusted").value_or(true));
}

void loadClock(const Json& section, SimulatedDesktop& desktop) {
  expectObject(section, "clock", {"startMilliseconds"});
  if (const auto start = numberAt(section, "clock", "startMilliseconds")) {
    desktop.simulatedClock().setWallTime(*start / 1000.0);
  }
}

void loadFaults(const Json& section, SimulatedDesktop& desktop) {
  expectArray(section, "faults");
  for (std::size_t index = 0; index < section.size(); ++index) {
    const std::string path = "faults[" + std::to_string(index) + "]";
    const Json& entry = section[index];
    expectObject(entry, path, {"operation", "kind", "times"});
    const auto operation = stringAt(entry, path, "operation");
    if (!operation || operation->empty()) {
      fail(path + ".operation", "expected an operation name");
    }
    const std::string kindText = stringAt(entry, path, "kind").value_or("fail");
    FaultKind kind = FaultKind::fail;
    if (kindText == "empty") {
      kind = FaultKind::empty;
    } else if (kindText != "fail") {
      fail(path + ".kind", "expected \"fail\" or \"empty\"");
    }
    desktop.faults().arm(*operation, kind, integerAt<std::uint32_t>(entry, path, "times").value_or(0));
  }
}

// "engine": "tesseract" reads the screenshots for real; every other key
// scripts the simulated recogniser.
void loadTextRecognition(const Json& section, SimulatedDesktop& desktop) {
  const std::string path(SimulatedTextRecognizer::scenarioSection);
  if (!section.is_object()) {
    fail(path, "expected an object");
  }
  Json scripted = section;
  if (const auto engine = stringAt(section, path, "engine")) {
    if (*engine == "tesseract") {
      desktop.useRealTextRecognizer();
    } else if (*engine != "scripted") {
      fail(path + ".engine", "expected \"scripted\" or \"tesseract\"");
    }
    scripted.erase("engine");
  }
  desktop.simulatedTextRecognizer().loadScenario(scripted);
}

using SectionLoader = std::function<void(std::string_view name, const Json&, SimulatedDesktop&)>;

// Every section of the format and who reads it.
const std::map<std::string, SectionLoader, std::less<>>& sectionLoaders() {
  static const std::map<std::string, SectionLoader, std::less<>> loaders = [] {
    std::map<std::string, SectionLoader, std::less<>> table = {
        {"description", [](std::string_view, const Json&, SimulatedDesktop&) {}},  // free text for people
        {"process", [](std::string_view, const Json& s, SimulatedDesktop& d) { loadProcess(s, d); }},
        {"permissions", [](std::string_view, const Json& s, SimulatedDesktop& d) { loadPermissions(s, d); }},
        {"clock", [](std::string_view, const Json& s, SimulatedDesktop& d) { loadClock(s, d); }},
        {"faults", [](std::string_view, const Json& s, SimulatedDesktop& d) { loadFaults(s, d); }},
        {"scripting",
         [](std::string_view, const Json& s, SimulatedDesktop& d) { d.simulatedScripting().loadScenario(s); }},
        {"accessibility",
         [](std::string_view, const Json& s, SimulatedDesktop& d) { d.simulatedAccessibility().loadScenario(s); }},
        {"keyboard",
         [](std::string_view, const Json& s, SimulatedDesktop& d) { d.simulatedKeyboard().loadScenario(s); }},
        {std::string(SimulatedTextRecognizer::scenarioSection),
         [](std::string_view, const Json& s, SimulatedDesktop& d) { loadTextRecognition(s, d); }},
        {std::string(SimulatedScreenCapture::scenarioSection),
         [](std::string_view, const Json& s, SimulatedDesktop& d) { d.simulatedScreenCapture().loadScenario(s); }},
    };
    for (const std::string_view name : SimulatedWindowServer::scenarioSections) {
      table.emplace(std::string(name), [](std::string_view n, const Json& s, SimulatedDesktop& d) {
        d.simulatedWindowServer().loadScenario(n, s);
      });
    }
    for (const std::string_view name : SimulatedWorkspace::scenarioSections) {
      table.emplace(std::string(name), [](std::string_view n, const Json& s, SimulatedDesktop& d) {
        d.simulatedWorkspace().loadScenario(n, s);
      });
    }
    return table;
  }();
  return loaders;
}

}  // namespace

void ScenarioLoader::load(std::string_view scenarioJSON, SimulatedDesktop& desktop) {
  Json scenario;
  try {
    scenario = Json::parse(scenarioJSON);
  } catch (const Json::exception& error) {
    throw ScenarioError(std::string("scenario is not JSON: ") + error.what());
  }
  if (!scenario.is_object()) {
    fail("", "expected an object at the top level");
  }
  for (const auto& [key, value] : scenario.items()) {
    const auto loader = sectionLoaders().find(key);
    if (loader == sectionLoaders().end()) {
      fail(key, "unknown section");
    }
    loader->second(key, value, desktop);
  }
}

}  // namespace Sablekit
