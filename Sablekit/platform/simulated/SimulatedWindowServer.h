// A window server driven by a test or a scenario: displays with their scale,
// a main display, and the on-screen window list front to back, whose entries
// may lack any key, as a real window list's entries can.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json_fwd.hpp>

#include "Sablekit/platform/WindowServer.h"
#include "Sablekit/platform/simulated/FaultInjector.h"

namespace Sablekit {

namespace SimulatedOperation {
// fail or empty: the window list cannot be read; onScreenWindows answers an empty list.
inline constexpr std::string_view onScreenWindows = "windowServer.onScreenWindows";
// fail or empty: there is no main display; mainDisplayID answers absent.
inline constexpr std::string_view mainDisplayID = "windowServer.mainDisplayID";
// fail or empty: the display is unknown; displayBounds answers absent.
inline constexpr std::string_view displayBounds = "windowServer.displayBounds";
}  // namespace SimulatedOperation

struct SimulatedDisplay {
  std::uint32_t displayID = 0;
  Rect frame;                   // global points
  double pixelsPerPoint = 1.0;  // backing scale
  bool operator==(const SimulatedDisplay&) const = default;
};

// What a window shows when the simulated screen capture paints it: a fill
// colour and lines of text from its top-left corner down.
struct SimulatedWindowContent {
  // B, G, R, A (alpha is ignored: windows are opaque); absent: the screen
  // capture's own colour for the window's number.
  std::optional<std::array<std::uint8_t, 4>> fill;
  std::vector<std::string> text;  // UTF-8 lines, top to bottom
  double textSize = 14;           // points; the glyphs scale with the display
  bool operator==(const SimulatedWindowContent&) const = default;
};

struct SimulatedWindow {
  WindowListEntry entry;        // absent members are left out of the list entry
  bool desktopElement = false;  // wallpaper or desktop icons: listed only with desktop elements
  SimulatedWindowContent content;
  bool operator==(const SimulatedWindow&) const = default;
};

// Not thread-safe: builders and queries run on the thread playing the main
// thread. The fault injector must outlive the server.
class SimulatedWindowServer final : public WindowServer {
 public:
  // The scenario sections this server reads (format in docs/scenario-windows.md).
  static constexpr std::array<std::string_view, 2> scenarioSections = {"displays", "windows"};

  explicit SimulatedWindowServer(FaultInjector& faults);

  // An entry with every key present; clear members of the result to leave keys out.
  static WindowListEntry window(std::int64_t windowNumber,
                                std::int64_t ownerPID,
                                Rect bounds,
                                std::int64_t layer = 0,
                                std::optional<std::string> title = std::nullopt);

  // Appends a display. The main display is the first one added unless set.
  SimulatedWindowServer& addDisplay(SimulatedDisplay display);
  // Any identifier, listed or not; absent returns to the first display.
  SimulatedWindowServer& setMainDisplayID(std::optional<std::uint32_t> displayID);
  // Appends a window behind those already listed.
  SimulatedWindowServer& addWindow(WindowListEntry entry,
                                   bool desktopElement = false,
                                   SimulatedWindowContent content = {});
  // Replaces the whole list, front to back.
  SimulatedWindowServer& setWindows(std::vector<SimulatedWindow> windows);
  // Gives every listed window numbered `windowNumber` new bounds.
  SimulatedWindowServer& moveWindow(std::int64_t windowNumber, Rect bounds);
  // Gives every listed window numbered `windowNumber` new content.
  SimulatedWindowServer& setContent(std::int64_t windowNumber, SimulatedWindowContent content);

  const std::vector<SimulatedDisplay>& displays() const { return displays_; }
  const std::vector<SimulatedWindow>& windows() const { return windows_; }

  // Reads one of scenarioSections, replacing what it describes. Throws
  // ScenarioError naming the offending path, also for a section it does not own.
  void loadScenario(std::string_view sectionName, const nlohmann::json& section);

  // WindowServer
  std::vector<WindowListEntry> onScreenWindows(bool includeDesktopElements) override;
  std::optional<std::uint32_t> mainDisplayID() override;
  std::optional<Rect> displayBounds(std::uint32_t displayID) override;

 private:
  void loadDisplays(const nlohmann::json& section);
  void loadWindows(const nlohmann::json& section);

  FaultInjector& faults_;
  std::vector<SimulatedDisplay> displays_;
  std::optional<std::uint32_t> mainDisplayID_;
  std::vector<SimulatedWindow> windows_;
};

}  // namespace Sablekit
