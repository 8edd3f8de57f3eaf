// The simulated screen-capture service: content derived from the simulated
// desktop, painted screenshots, faults and the "shareableContent" section.
#include "Sablekit/platform/simulated/SimulatedScreenCapture.h"

#include <algorithm>
#include <limits>

#include "Sablekit/platform/simulated/ScenarioFields.h"

namespace Sablekit {

using namespace ScenarioFields;

namespace {

// A window number the platform could not report as a window identifier.
std::optional<std::uint32_t> windowID(const WindowListEntry& entry) {
  if (!entry.windowNumber || *entry.windowNumber < 0 ||
      *entry.windowNumber > std::int64_t{std::numeric_limits<std::uint32_t>::max()}) {
    return std::nullopt;
  }
  return static_cast<std::uint32_t>(*entry.windowNumber);
}

}  // namespace

SimulatedScreenCapture::SimulatedScreenCapture(FaultInjector& faults,
                                               SimulatedWindowServer& windowServer,
                                               SimulatedWorkspace& workspace)
    : faults_(faults), windowServer_(windowServer), workspace_(workspace) {}

std::array<std::uint8_t, 4> SimulatedScreenCapture::windowColour(std::uint32_t windowID) {
  // Spreads neighbouring identifiers over clearly different colours.
  const std::uint32_t mixed = (windowID + 1) * 2654435761u;
  std::array<std::uint8_t, 4> colour{static_cast<std::uint8_t>(mixed >> 24), static_cast<std::uint8_t>(mixed >> 16),
                                     static_cast<std::uint8_t>(mixed >> 8), 0xff};
  if (colour == backgroundColour) {
    colour[0] ^= 0x80;
  }
  return colour;
}

SimulatedScreenCapture& SimulatedScreenCapture::setFontPath(std::string path) {
  compositor_.setFontPath(std::move(path));
  return *this;
}

SimulatedScreenCapture& SimulatedScreenCapture::omitWindow(std::uint32_t windowID) {
  omittedWindowIDs_.insert(windowID);
  return *this;
}

SimulatedScreenCapture& SimulatedScreenCapture::duringNextScreenshot(std::function<void()> change) {
  duringNextScreenshot_ = std::move(change);
  return *this;
}

std::variant<ShareableContent, ScreenCaptureError> SimulatedScreenCapture::shareableContent() {
  ++shareableContentRequests_;
  if (const auto fault = faults_.take(SimulatedOperation::shareableContent)) {
    if (*fault == FaultKind::fail) {
      return ScreenCaptureError{"The simulated screen capture could not list shareable content."};
    }
    return ShareableContent{};
  }
  ShareableContent content;
  for (const SimulatedDisplay& display : windowServer_.displays()) {
    content.displays.push_back({display.displayID, display.frame, display.pixelsPerPoint});
  }
  for (const SimulatedWindow& window : windowServer_.windows()) {
    const auto id = windowID(window.entry);
    if (!id || !window.entry.bounds || omittedWindowIDs_.contains(*id)) {
      continue;
    }
    content.windows.push_back({*id, *window.entry.bounds});
  }
  for (const RunningApplication& application : workspace_.applications()) {
    content.applications.push_back({application.processID});
  }
  return content;
}

std::variant<PixelImage, ScreenCaptureError> SimulatedScreenCapture::screenshot(
    const CaptureFilter& filter,
    const ScreenshotConfiguration& configuration) {
  ++screenshotRequests_;
  lastFilter_ = filter;
  lastConfiguration_ = configuration;
  if (duringNextScreenshot_) {
    const std::function<void()> change = std::move(duringNextScreenshot_);
    duringNextScreenshot_ = nullptr;
    change();
  }
  if (faults_.take(SimulatedOperation::screenshot)) {
    return ScreenCaptureError{"The simulated screen capture could not take a screenshot."};
  }
  // A display that is not (or no longer) on the desktop has nothing to show;
  // painting the filter's frame anyway would invent a screen.
  const auto& displays = windowServer_.displays();
  if (std::none_of(displays.begin(), displays.end(),
                   [&](const SimulatedDisplay& display) { return display.displayID == filter.display.displayID; })) {
    return ScreenCaptureError{"The display is no longer connected."};
  }
  const bool applicationOnly = filter.kind == CaptureFilter::Kind::displayIncludingApplication;
  std::vector<CompositedWindow> shown;
  for (const SimulatedWindow& window : windowServer_.windows()) {
    const auto id = windowID(window.entry);
    if (!id || !window.entry.bounds) {
      continue;
    }
    if (applicationOnly ? window.entry.ownerPID != filter.includedProcessID
                        : std::find(filter.excludedWindowIDs.begin(), filter.excludedWindowIDs.end(), *id) !=
                              filter.excludedWindowIDs.end()) {
      continue;
    }
    shown.push_back({.bounds = *window.entry.bounds,
                     .fill = window.content.fill.value_or(windowColour(*id)),
                     .text = window.content.text,
                     .textSize = window.content.textSize});
  }
  return compositor_.render(filter.display.frame, filter.pointPixelScale(),
                            applicationOnly ? std::array<std::uint8_t, 4>{0, 0, 0, 0xff} : backgroundColour, shown,
                            configuration.width, configuration.height,
                            configuration.showsCursor ? workspace_.pointerLocation() : std::nullopt);
}

void SimulatedScreenCapture::loadScenario(const nlohmann::json& section) {
  const std::string path(scenarioSection);
  expectObject(section, path, {"omitWindowIDs", "duringFirstScreenshot"});
  omittedWindowIDs_.clear();
  duringNextScreenshot_ = nullptr;
  if (const auto omitted = section.find("omitWindowIDs"); omitted != section.end()) {
    const std::string listPath = path + ".omitWindowIDs";
    expectArray(*omitted, listPath);
    for (std::size_t index = 0; index < omitted->size(); ++index) {
      omittedWindowIDs_.insert(integer<std::uint32_t>((*omitted)[index], listPath + "[" + std::to_string(index) + "]"));
    }
  }
  if (const auto during = section.find("duringFirstScreenshot"); during != section.end()) {
    const std::string changePath = path + ".duringFirstScreenshot";
    expectObject(*during, changePath, {"frontmostProcessID", "moveWindow"});
    const auto frontmost = integerAt<std::int32_t>(*during, changePath, "frontmostProcessID");
    std::optional<std::pair<std::int64_t, Rect>> move;
    if (const auto moveWindow = during->find("moveWindow"); moveWindow != during->end()) {
      const std::string movePath = changePath + ".moveWindow";
      expectObject(*moveWindow, movePath, {"windowNumber", "bounds"});
      const auto number = integerAt<std::int64_t>(*moveWindow, movePath, "windowNumber");
      const auto bounds = moveWindow->find("bounds");
      if (!number || bounds == moveWindow->end()) {
        fail(movePath, "needs windowNumber and bounds");
      }
      move.emplace(*number, rect(*bounds, movePath + ".bounds"));
    }
    duringNextScreenshot_ = [this, frontmost, move] {
      if (frontmost) {
        workspace_.setFrontmostProcessID(*frontmost);
      }
      if (move) {
        windowServer_.moveWindow(move->first, move->second);
      }
    };
  }
}

}  // namespace Sablekit
