// The simulated window server's list, displays, faults and scenario sections.
#include "Sablekit/platform/simulated/SimulatedWindowServer.h"

#include <algorithm>
#include <cctype>

#include "Sablekit/platform/simulated/ScenarioFields.h"

namespace Sablekit {

using namespace ScenarioFields;

namespace {

// "#rrggbb" as B, G, R, A (opaque).
std::array<std::uint8_t, 4> colour(const Json& value, const std::string& path) {
  const std::string text = value.is_string() ? value.get<std::string>() : std::string();
  const auto isHex = [](char digit) { return std::isxdigit(static_cast<unsigned char>(digit)) != 0; };
  if (text.size() != 7 || text[0] != '#' || !std::all_of(text.begin() + 1, text.end(), isHex)) {
    fail(path, "expected a colour \"#rrggbb\"");
  }
  const auto component = [&](std::size_t offset) {
    return static_cast<std::uint8_t>(std::stoul(text.substr(offset, 2), nullptr, 16));
  };
  return {component(5), component(3), component(1), 0xff};
}

SimulatedWindowContent content(const Json& value, const std::string& path) {
  expectObject(value, path, {"fill", "text", "textSize"});
  SimulatedWindowContent result;
  if (const auto fill = value.find("fill"); fill != value.end()) {
    result.fill = colour(*fill, path + ".fill");
  }
  if (const auto text = value.find("text"); text != value.end()) {
    expectArray(*text, path + ".text");
    for (std::size_t index = 0; index < text->size(); ++index) {
      if (!(*text)[index].is_string()) {
        fail(path + ".text[" + std::to_string(index) + "]", "expected a string");
      }
      result.text.push_back((*text)[index].get<std::string>());
    }
  }
  // Up to a heading's size on a large display; beyond that a line is wider than any window.
  result.textSize = numberAt(value, path, "textSize").value_or(result.textSize);
  if (!(result.textSize >= 1 && result.textSize <= 200)) {
    fail(path + ".textSize", "expected a number of points from 1 to 200");
  }
  return result;
}

}  // namespace

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

SimulatedWindowServer& SimulatedWindowServer::addWindow(WindowListEntry entry,
                                                        bool desktopElement,
                                                        SimulatedWindowContent content) {
  windows_.push_back({std::move(entry), desktopElement, std::move(content)});
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

SimulatedWindowServer& SimulatedWindowServer::setContent(std::int64_t windowNumber, SimulatedWindowContent content) {
  for (SimulatedWindow& window : windows_) {
    if (window.entry.windowNumber == windowNumber) {
      window.content = content;
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
    expectObject(entry, path,
                 {"windowNumber", "ownerPID", "layer", "bounds", "title", "desktopElement", "omit", "content"});

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
    const auto shown = entry.find("content");
    windows.push_back({std::move(listed), desktopElement,
                       shown == entry.end() ? SimulatedWindowContent{} : content(*shown, path + ".content")});
  }
  windows_ = std::move(windows);
}

}  // namespace Sablekit
