// Arranging the contract tests' desktops on the simulated desktop.
#include "tests/platform/contract/SimulatedDesktopArranger.h"

#include <algorithm>
#include <array>

namespace Sablekit::Testing {

std::unique_ptr<DesktopArranger> SimulatedDesktopArranger::arrange() {
  return std::make_unique<SimulatedDesktopArranger>();
}

std::unique_ptr<Platform> SimulatedDesktopArranger::unreachable() {
  auto desktop = std::make_unique<SimulatedDesktop>();
  desktop->setScreenRecordingGranted(false).setAccessibilityTrusted(false);
  desktop->faults().arm(std::string(SimulatedOperation::shareableContent), FaultKind::fail);
  desktop->faults().arm(std::string(SimulatedOperation::screenshot), FaultKind::fail);
  return desktop;
}

SimulatedDesktopArranger::SimulatedDesktopArranger() {
  desktop_.simulatedWindowServer()
      .addDisplay({1, {0, 0, arrangedDisplayWidth, arrangedDisplayHeight}, 1.0})
      .addDisplay({2, {arrangedDisplayWidth, 0, arrangedDisplayWidth, arrangedDisplayHeight}, 1.0});
}

ArrangedWindow SimulatedDesktopArranger::open(const WantedWindow& wanted) {
  const ArrangedWindow window{nextWindowID_++, nextProcessID_++, wanted.content};
  const std::array<std::uint8_t, 4> fill{static_cast<std::uint8_t>(wanted.colour),
                                         static_cast<std::uint8_t>(wanted.colour >> 8),
                                         static_cast<std::uint8_t>(wanted.colour >> 16), 0xff};
  std::vector<SimulatedWindow> windows{
      {.entry = SimulatedWindowServer::window(window.windowID, window.processID, wanted.content, 0, wanted.title),
       .content = {.fill = fill}}};
  const auto& open = desktop_.simulatedWindowServer().windows();
  windows.insert(windows.end(), open.begin(), open.end());
  desktop_.simulatedWindowServer().setWindows(std::move(windows));
  desktop_.simulatedWorkspace()
      .addApplication({.processID = window.processID, .bundleID = wanted.identity, .localizedName = wanted.identity})
      .setFrontmostProcessID(window.processID);
  return window;
}

void SimulatedDesktopArranger::activate(const ArrangedWindow& window) {
  std::vector<SimulatedWindow> windows = desktop_.simulatedWindowServer().windows();
  std::stable_partition(windows.begin(), windows.end(), [&](const SimulatedWindow& candidate) {
    return candidate.entry.windowNumber == std::int64_t{window.windowID};
  });
  desktop_.simulatedWindowServer().setWindows(std::move(windows));
  desktop_.simulatedWorkspace().setFrontmostProcessID(window.processID);
}

void SimulatedDesktopArranger::move(const ArrangedWindow& window, Point topLeft) {
  desktop_.simulatedWindowServer().moveWindow(window.windowID,
                                              {topLeft.x, topLeft.y, window.content.width, window.content.height});
}

void SimulatedDesktopArranger::movePointer(Point location) {
  desktop_.simulatedWorkspace().setPointer(location);
}

void SimulatedDesktopArranger::failNextShareableContent() {
  desktop_.faults().arm(std::string(SimulatedOperation::shareableContent), FaultKind::fail, 1);
}

void SimulatedDesktopArranger::failNextScreenshot() {
  desktop_.faults().arm(std::string(SimulatedOperation::screenshot), FaultKind::fail, 1);
}

}  // namespace Sablekit::Testing
