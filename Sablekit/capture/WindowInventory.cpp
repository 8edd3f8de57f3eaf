// Reading the window list into records and choosing the display and window
// the user is working with.
#include "Sablekit/capture/WindowInventory.h"

#include <algorithm>
#include <iterator>
#include <limits>
#include <string_view>

#include "Sablekit/common/BundleIDNormalization.h"
#include "Sablekit/context/ApplicationCapabilityRegistry.h"

namespace Sablekit {

namespace {

using Registry = ApplicationCapabilityRegistry;

constexpr std::string_view fullScreenBackdropTitle = "Fullscreen Backdrop";

// A number that does not fit the record's type cannot name a window or a
// process; it is treated like a missing key rather than wrapped onto another.
template <class Integer>
std::optional<Integer> narrowed(const std::optional<std::int64_t>& value) {
  if (!value || *value < std::int64_t{std::numeric_limits<Integer>::min()} ||
      *value > std::int64_t{std::numeric_limits<Integer>::max()}) {
    return std::nullopt;
  }
  return static_cast<Integer>(*value);
}

bool hasArea(const Rect& bounds) {
  return bounds.width > 0 && bounds.height > 0;
}

double area(const Rect& bounds) {
  return bounds.width * bounds.height;
}

bool isBundle(const WindowRecord& window, std::string_view normalizedID) {
  return normalizeBundleID(window.bundleID.value_or("")) == normalizedID;
}

}  // namespace

WindowInventory::WindowInventory(WindowServer& windowServer, Workspace& workspace, ProcessIdentity& processIdentity)
    : windowServer_(windowServer), workspace_(workspace), processIdentity_(processIdentity) {}

ScreenLook WindowInventory::look(const std::vector<ShareableDisplay>& displays) {
  ScreenLook look{.windows = windowRecords(), .display = {}, .displayWindows = {}, .focused = {}};
  const std::optional<std::int32_t> frontmostPID = workspace_.frontmostProcessID();
  look.display = selectDisplay(displays, look.windows, frontmostPID);
  if (!look.display) {
    return look;
  }
  std::copy_if(look.windows.begin(), look.windows.end(), std::back_inserter(look.displayWindows),
               [&](const WindowRecord& window) { return isOnDisplay(window, *look.display); });
  look.focused = selectFocusedWindow(look.displayWindows, frontmostPID, *look.display);
  return look;
}

std::vector<WindowRecord> WindowInventory::windowRecords() {
  const std::vector<WindowListEntry> entries = windowServer_.onScreenWindows(true);
  const std::int32_t ownPID = processIdentity_.processID();
  std::vector<WindowRecord> records;
  records.reserve(entries.size());
  for (std::size_t position = 0; position < entries.size(); ++position) {
    const WindowListEntry& entry = entries[position];
    const auto windowID = narrowed<std::uint32_t>(entry.windowNumber);
    const auto ownerPID = narrowed<std::int32_t>(entry.ownerPID);
    if (!windowID || !ownerPID || !entry.layer || !entry.bounds) {
      continue;
    }
    if (*ownerPID == ownPID) {
      continue;  // the host never captures or reports its own windows
    }
    WindowRecord record{
        .windowID = *windowID,
        .ownerPID = *ownerPID,
        .title = entry.title.value_or(""),
        .layer = *entry.layer,
        .bounds = *entry.bounds,
        .zOrder = static_cast<std::int64_t>(position),
    };
    if (auto application = workspace_.application(*ownerPID)) {
      record.bundleID = std::move(application->bundleID);
      record.applicationName = application->localizedName.value_or("");
      record.applicationVersion =
          application->shortVersionString ? *application->shortVersionString : application->bundleVersion.value_or("");
    }
    records.push_back(std::move(record));
  }
  return records;
}

std::optional<ShareableDisplay> WindowInventory::selectDisplay(const std::vector<ShareableDisplay>& displays,
                                                               const std::vector<WindowRecord>& windows,
                                                               std::optional<std::int32_t> frontmostPID) {
  if (displays.empty()) {
    return std::nullopt;
  }
  if (frontmostPID) {
    const auto first = std::find_if(windows.begin(), windows.end(), [&](const WindowRecord& window) {
      return window.ownerPID == *frontmostPID && hasArea(window.bounds);
    });
    if (first != windows.end()) {
      const Point middle = first->bounds.midpoint();
      const auto holding = std::find_if(displays.begin(), displays.end(), [&](const ShareableDisplay& display) {
        return display.frame.contains(middle);
      });
      if (holding != displays.end()) {
        return *holding;
      }
    }
  }
  if (const auto mainID = windowServer_.mainDisplayID()) {
    const auto main = std::find_if(displays.begin(), displays.end(),
                                   [&](const ShareableDisplay& display) { return display.displayID == *mainID; });
    if (main != displays.end()) {
      return *main;
    }
  }
  return displays.front();
}

std::optional<WindowRecord> WindowInventory::selectFocusedWindow(const std::vector<WindowRecord>& windows,
                                                                 std::optional<std::int32_t> frontmostPID,
                                                                 const ShareableDisplay& display) {
  std::vector<const WindowRecord*> candidates;
  for (const WindowRecord& window : windows) {
    if (window.layer == 0 && hasArea(window.bounds)) {
      candidates.push_back(&window);
    }
  }
  std::stable_sort(candidates.begin(), candidates.end(),
                   [](const WindowRecord* left, const WindowRecord* right) { return left->zOrder < right->zOrder; });

  if (frontmostPID) {
    const WindowRecord* mainWindow = nullptr;
    for (const WindowRecord* candidate : candidates) {
      // Strictly larger only: between equal areas the earlier (frontmost) stays.
      if (candidate->ownerPID == *frontmostPID && (!mainWindow || area(candidate->bounds) > area(mainWindow->bounds))) {
        mainWindow = candidate;
      }
    }
    if (mainWindow) {
      return candidates.front()->ownerPID == *frontmostPID ? *mainWindow : *candidates.front();
    }
  }

  if (!candidates.empty()) {
    const Point pointer = pointerInGlobalSpace();
    if (display.frame.contains(pointer)) {
      for (const WindowRecord* candidate : candidates) {
        if (candidate->bounds.contains(pointer)) {
          return *candidate;
        }
      }
    }
    return *candidates.front();
  }

  const auto desktop = std::find_if(windows.begin(), windows.end(), [](const WindowRecord& window) {
    return window.layer < 0 && isBundle(window, Registry::finderBundleID);
  });
  if (desktop != windows.end()) {
    return *desktop;
  }
  return std::nullopt;
}

bool WindowInventory::isOnDisplay(const WindowRecord& window, const ShareableDisplay& display) {
  return hasArea(window.bounds) && window.bounds.intersects(display.frame);
}

bool WindowInventory::isFullScreenBackdrop(const WindowRecord& window, const ShareableDisplay& display) {
  return isBundle(window, Registry::dockBundleID) && window.title == fullScreenBackdropTitle &&
         window.bounds.intersects(display.frame);
}

Point WindowInventory::pointerInGlobalSpace() {
  const Point reported = workspace_.pointerLocation();
  // The pointer counts y upwards from the main display's bottom edge; windows
  // count it downwards from its top edge. Without a main display the height is 0.
  const auto mainID = windowServer_.mainDisplayID();
  const auto mainBounds = mainID ? windowServer_.displayBounds(*mainID) : std::nullopt;
  const double mainHeight = mainBounds ? mainBounds->height : 0.0;
  return {reported.x, mainHeight - reported.y};
}

}  // namespace Sablekit
