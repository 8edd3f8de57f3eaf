// The window inventory of the capture pipeline: the on-screen windows with
// their owners, the display the user works on, and the focused window there.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "Sablekit/capture/ScreenLook.h"
#include "Sablekit/capture/WindowRecord.h"
#include "Sablekit/platform/ProcessIdentity.h"
#include "Sablekit/platform/ShareableContent.h"
#include "Sablekit/platform/WindowServer.h"
#include "Sablekit/platform/Workspace.h"

namespace Sablekit {

// Stateless: every call reads the platform afresh. Main thread only. Nothing
// here fails; an unreadable platform yields no records or an absent answer.
class WindowInventory {
 public:
  // The references must outlive the inventory.
  WindowInventory(WindowServer& windowServer, Workspace& workspace, ProcessIdentity& processIdentity);

  // Reads the windows and the frontmost process afresh and chooses, among
  // `displays`, the display (selectDisplay) and the focused window there
  // (selectFocusedWindow over the windows on that display).
  ScreenLook look(const std::vector<ShareableDisplay>& displays);

  // The on-screen windows of other processes, front to back. Entries missing
  // a number, owner, layer or bounds are skipped, and the others keep their
  // list position as zOrder. Empty when the list cannot be read.
  std::vector<WindowRecord> windowRecords();

  // The display holding the midpoint of the frontmost application's first
  // non-empty window; otherwise the main display; otherwise the first one.
  // Absent only for an empty list.
  std::optional<ShareableDisplay> selectDisplay(const std::vector<ShareableDisplay>& displays,
                                                const std::vector<WindowRecord>& windows,
                                                std::optional<std::int32_t> frontmostPID);

  // The window the user works in among `windows` (those on `display`): the
  // frontmost application's largest ordinary window when that application is
  // in front, else the frontmost ordinary window (under the pointer when no
  // application is in front), else the Finder's desktop window. Absent when
  // none of these exists.
  std::optional<WindowRecord> selectFocusedWindow(const std::vector<WindowRecord>& windows,
                                                  std::optional<std::int32_t> frontmostPID,
                                                  const ShareableDisplay& display);

  // A non-empty window whose bounds overlap the display's interior.
  static bool isOnDisplay(const WindowRecord& window, const ShareableDisplay& display);

  // The Dock's backdrop behind a full-screen space, lying on the display.
  static bool isFullScreenBackdrop(const WindowRecord& window, const ShareableDisplay& display);

 private:
  // The pointer in global (top-left origin) coordinates.
  Point pointerInGlobalSpace();

  WindowServer& windowServer_;
  Workspace& workspace_;
  ProcessIdentity& processIdentity_;
};

}  // namespace Sablekit
