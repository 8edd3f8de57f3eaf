#include "Sablekit/platform/simulated/SimulatedDesktop.h"

#include <fstream>
#include <sstream>

#include "Sablekit/platform/simulated/ScenarioLoader.h"
#include "Sablekit/platform/tesseract/TesseractTextRecognizer.h"

namespace Sablekit {

SimulatedDesktop::SimulatedDesktop() {
  capabilities_.backendName = "simulated";
  capabilities_.windowExclusion = WindowExclusion::composited;
  capabilities_.screenRecordingPermissionKnown = true;
  capabilities_.accessibilityPermissionKnown = true;
}

SimulatedDesktop::~SimulatedDesktop() = default;

std::unique_ptr<SimulatedDesktop> SimulatedDesktop::fromScenario(std::string_view scenarioJSON) {
  auto desktop = std::make_unique<SimulatedDesktop>();
  ScenarioLoader::load(scenarioJSON, *desktop);
  return desktop;
}

std::unique_ptr<SimulatedDesktop> SimulatedDesktop::fromScenarioFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  if (!file) {
    throw ScenarioError("cannot open scenario file " + path);
  }
  std::ostringstream text;
  text << file.rdbuf();
  return fromScenario(text.str());
}

std::unique_ptr<SimulatedDesktop> SimulatedDesktop::demo() {
  return fromScenario(demoScenario());
}

SimulatedDesktop& SimulatedDesktop::setProcess(std::int32_t processID, std::int32_t parentProcessID) {
  processID_ = processID;
  parentProcessID_ = parentProcessID;
  return *this;
}

SimulatedDesktop& SimulatedDesktop::setScreenRecordingGranted(bool granted) {
  screenRecordingGranted_ = granted;
  return *this;
}

SimulatedDesktop& SimulatedDesktop::setAccessibilityTrusted(bool trusted) {
  accessibilityTrusted_ = trusted;
  return *this;
}

std::int32_t SimulatedDesktop::processID() const {
  return processID_ ? *processID_ : realProcess_.processID();
}

std::int32_t SimulatedDesktop::parentProcessID() const {
  return parentProcessID_ ? *parentProcessID_ : realProcess_.parentProcessID();
}

bool SimulatedDesktop::screenRecordingPreflight() {
  return !faults_.take(SimulatedOperation::screenRecordingPreflight) && screenRecordingGranted_;
}

SimulatedDesktop& SimulatedDesktop::useRealTextRecognizer() {
  if (!realTextRecognizer_) {
    realTextRecognizer_ = std::make_unique<TesseractTextRecognizer>();
  }
  return *this;
}

TextRecognizer& SimulatedDesktop::textRecognizer() {
  if (realTextRecognizer_) {
    return *realTextRecognizer_;
  }
  return textRecognizer_;
}

bool SimulatedDesktop::accessibilityTrusted() {
  return !faults_.take(SimulatedOperation::accessibilityTrusted) && accessibilityTrusted_;
}

}  // namespace Sablekit
