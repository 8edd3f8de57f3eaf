// The simulated window server's list, displays, faults and scenario sections.
#include "Sablekit/platform/simulated/SimulatedWindowServer.h"

#include <algorithm>

#include "Sablekit/platform/simulated/ScenarioFields.h"

namespace Sablekit {

using namespace ScenarioFields;

SimulatedWindowServer::SimulatedWindowServer(FaultInjector& faults) : faults_(faults) {}

WindowListEntry SimulatedWindowServer::window(std::int64_t windowNumber,
                                              std::int64_t ownerPID,
                                              Rect bounds,
                                              std::int64_t layer,
                                              std::optional<std::string> title) {
  return {
      .windowNumber = windowNumber, .ownerPID = ownerPID, .layer = layer, .bounds = bounds, .title = std::move(title)};
}

SimulatedWindowServer& SimulatedWindowServer::addDisplay(SimulatedDisplay display) {
  displays_.push_back(display);
  return *this;
}

SimulatedWindowServer& SimulatedWindowServer::setMainDisplayID(std::optional<std::uint32_t> displayID) {
  mainDisplayID_ = displayID;
  return *this;
}

SimulatedWindowServer& SimulatedWindowServer::addWindow(WindowListEntry entry, bool desktopElement) {
  windows_.push_back({std::move(entry), desktopElement});
  return *this;
}

SimulatedWindowServer& SimulatedWindowServer::setWindows(std::vector<SimulatedWindow> windows) {
  windows_ = std::move(windows);
  return *this;
}

SimulatedWindowServer& SimulatedWindowServer::moveWindow(std::int64_t windowNumber, Rect bounds) {
  for (SimulatedWindow& window : windows_) {
    if (window.entry.windowNumber == windowNumber) {
      window.entry.bounds = bounds;
    }
  }
  return *this;
}

std::vector<WindowListEntry> SimulatedWindowServer::onScreenWindows(bool includeDesktopElements) {
  if (faults_.take(SimulatedOperation::onScreenWindows)) {
    return {};
  }
  std::vector<WindowListEntry> entries;
  for (const SimulatedWindow& window : windows_) {
    if (includeDesktopElements || !window.desktopElement) {
      entries.push_back(window.entry);
    }
  }
  return entries;
}

std::optional<std::uint32_t> SimulatedWindowServer::mainDisplayID() {
  if (faults_.take(SimulatedOperation::mainDisplayID)) {
    return std::nullopt;
  }
  if (mainDisplayID_) {
    return mainDisplayID_;
  }
  if (displays_.empty()) {
    return std::nullopt;
  }
  return displays_.front().displayID;
}

std::optional<Rect> SimulatedWindowServer::displayBounds(std::uint32_t displayID) {
  if (faults_.take(SimulatedOperation::displayBounds)) {
    return std::nullopt;
  }
  const auto found = std::find_if(displays_.begin(), displays_.end(),
                                  [&](const SimulatedDisplay& display) { return display.displayID == displayID; });
  if (found == displays_.end()) {
    return std::nullopt;
  }
  return found->frame;
}

void SimulatedWindowServer::loadScenario(std::string_view sectionName, const nlohmann::json& section) {
  if (sectionName == "displays") {
    loadDisplays(section);
  } else if (sectionName == "windows") {
    loadWindows(section);
  } else {
    fail(std::string(sectionName), "unknown section");
  }
}

void SimulatedWindowServer::loadDisplays(const nlohmann::json& section) {
  expectArray(section, "displays");
  std::vector<SimulatedDisplay> displays;
  std::optional<std::uint32_t> mainID;
  for (std::size_t index = 0; index < section.size(); ++index) {
    const std::string path = "displays[" + std::to_string(index) + "]";
    const Json& entry = section[index];
    expectObject(entry, path, {"displayID", "frame", "pixelsPerPoint", "main"});
    const auto displayID = required(integerAt<std::uint32_t>(entry, path, "displayID"), path, "displayID");
    if (!entry.contains("frame")) {
      fail(path + ".frame", "missing");
    }
    const Rect frame = rect(entry.at("frame"), path + ".frame");
    const double pixelsPerPoint = numberAt(entry, path, "pixelsPerPoint").value_or(1.0);
    if (!(pixelsPerPoint > 0)) {
      fail(path + ".pixelsPerPoint", "expected a positive number");
    }
    if (boolAt(entry, path, "main").value_or(false)) {
      if (mainID) {
        fail(path + ".main", "only one display can be the main display");
      }
      mainID = displayID;
    }
    displays.push_back({displayID, frame, pixelsPerPoint});
  }
  displays_ = std::move(displays);
  mainDisplayID_ = mainID;
}

void SimulatedWindowServer::loadWindows(const nlohmann::json& section) {
  expectArray(section, "windows");
  std::vector<SimulatedWindow> windows;
  for (std::size_t index = 0; index < section.size(); ++index) {
    const std::string path = "windows[" + std::to_string(index) + "]";
    const Json& entry = section[index];
    expectObject(entry, path, {"windowNumber", "ownerPID", "layer", "bounds", "title", "desktopElement", "omit"});

    std::vector<std::string> omitted;
    if (const auto omit = entry.find("omit"); omit != entry.end()) {
      expectArray(*omit, path + ".omit");
      for (std::size_t key = 0; key < omit->size(); ++key) {
        const Json& name = (*omit)[key];
        const std::string keyPath = path + ".omit[" + std::to_string(key) + "]";
        static constexpr std::array<std::string_view, 5> keys = {"windowNumber", "ownerPID", "layer", "bounds",
                                                                 "title"};
        if (!name.is_string() || std::find(keys.begin(), keys.end(), name.get<std::string>()) == keys.end()) {
          fail(keyPath, "expected one of windowNumber, ownerPID, layer, bounds, title");
        }
        omitted.push_back(name.get<std::string>());
      }
    }
    const auto isOmitted = [&](std::string_view key) {
      return std::find(omitted.begin(), omitted.end(), key) != omitted.end();
    };
    // A key left out of the list must still be written unless omitted, so a
    // forgotten key is not mistaken for a deliberately missing one.
    const auto needed = [&](const char* key) {
      if (!isOmitted(key) && !entry.contains(key)) {
        fail(path + "." + key, "missing (list it in omit to leave it out)");
      }
    };
    needed("windowNumber");
    needed("ownerPID");
    needed("bounds");

    WindowListEntry listed{
        .windowNumber = integerAt<std::int64_t>(entry, path, "windowNumber"),
        .ownerPID = integerAt<std::int64_t>(entry, path, "ownerPID"),
        .layer = integerAt<std::int64_t>(entry, path, "layer").value_or(0),
        .bounds =
            entry.contains("bounds") ? std::optional<Rect>(rect(entry.at("bounds"), path + ".bounds")) : std::nullopt,
        .title = stringAt(entry, path, "title"),
    };
    const bool desktopElement = boolAt(entry, path, "desktopElement").value_or(*listed.layer < 0);
    if (isOmitted("windowNumber")) {
      listed.windowNumber.reset();
    }
    if (isOmitted("ownerPID")) {
      listed.ownerPID.reset();
    }
    if (isOmitted("layer")) {
      listed.layer.reset();
    }
    if (isOmitted("bounds")) {
      listed.bounds.reset();
    }
    if (isOmitted("title")) {
      listed.title.reset();
    }
    windows.push_back({std::move(listed), desktopElement});
  }
  windows_ = std::move(windows);
}

}  // namespace Sablekit
