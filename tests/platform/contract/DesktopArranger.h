// What the desktop contract tests ask of a backend's test desktop: open
// application windows, bring one to the front, move one, make the platform
// fail on demand, and say as data what that backend cannot arrange.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "Sablekit/platform/Geometry.h"
#include "Sablekit/platform/Platform.h"

namespace Sablekit::Testing {

// Every arranged desktop has two displays side by side, each this many
// points (1 pixel per point): the main one at the origin and a second one to
// its right, where a window can be moved off the main display.
inline constexpr int arrangedDisplayWidth = 800;
inline constexpr int arrangedDisplayHeight = 600;

// One application window to open.
struct WantedWindow {
  std::string title;
  std::string identity;             // the application's identifier as its platform names it
  std::uint32_t colour = 0x808080;  // 0xRRGGBB, painted over the whole content
  Rect content;                     // where the content should lie, global points
};

// A window the arranger opened, as the outside world (not the backend under
// test) sees it.
struct ArrangedWindow {
  std::uint32_t windowID = 0;
  std::int32_t processID = 0;
  Rect content;  // where the content really lies, global points
};

// What an arranger can and cannot set up; the contract tests read these
// instead of asking which backend they run on.
struct ArrangerCapabilities {
  // A window manager frames each window: its listed bounds enclose the
  // content with a margin instead of equalling it.
  bool framesWindows = false;
  // The platform's answers follow an arrangement some time later (a live
  // server and window manager), so expectations are polled for a while.
  bool settlesAsynchronously = false;
  // failNextShareableContent() and failNextScreenshot() work.
  bool failsOnDemand = false;
};

// A desktop prepared for one test. The arranger owns its windows; they go
// with it. Main thread only.
class DesktopArranger {
 public:
  virtual ~DesktopArranger() = default;

  virtual const ArrangerCapabilities& capabilities() const = 0;
  // The platform under test; valid as long as the arranger.
  virtual Platform& platform() = 0;

  // Opens a window of a new application (a process of its own) in front of
  // every window already open, its application frontmost. Returns once the
  // outside world sees it so.
  virtual ArrangedWindow open(const WantedWindow& wanted) = 0;
  // The user activates the window: it comes to the front and its application
  // becomes frontmost. Returns once the outside world sees it so.
  virtual void activate(const ArrangedWindow& window) = 0;
  // The user moves the window's content to `topLeft` (global points), size
  // unchanged. Returns once the outside world sees it so.
  virtual void move(const ArrangedWindow& window, Point topLeft) = 0;
  // The user moves the pointer to `location` (global points). Returns once
  // the outside world sees it so.
  virtual void movePointer(Point location) = 0;

  // The next shareable content or screenshot fails (capability failsOnDemand).
  virtual void failNextShareableContent() = 0;
  virtual void failNextScreenshot() = 0;
};

}  // namespace Sablekit::Testing
