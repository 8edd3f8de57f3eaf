// The outside world's view of a test display: the standard X command-line
// tools (xdotool, wmctrl, ...) run against it, and the geometry and focus of
// windows read over a connection of the test's own, independent of the
// backend under test.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "Sablekit/platform/Geometry.h"
#include "tests/support/XvfbDisplay.h"

struct xcb_connection_t;

namespace Sablekit::Testing {

// Main thread only. The display must outlive the tools.
class X11Tools {
 public:
  // Whether `program` is found on the PATH.
  static bool installed(const std::string& program);

  // Connects to `display`; throws std::runtime_error when it cannot.
  explicit X11Tools(const XvfbDisplay& display);
  ~X11Tools();
  X11Tools(const X11Tools&) = delete;
  X11Tools& operator=(const X11Tools&) = delete;

  // Runs `program` (looked up on the PATH) on the display and returns its
  // standard output; throws std::runtime_error when it exits unsuccessfully.
  std::string run(const std::string& program, const std::vector<std::string>& arguments) const;

  // Where the window's own area lies in root coordinates (frame left out);
  // absent when the window is gone.
  std::optional<Rect> clientArea(std::uint32_t window) const;
  // The window the window manager reports active; absent when none.
  std::optional<std::uint32_t> activeWindow() const;

  // Splits the screen into side-by-side RandR monitors of `width` pixels
  // each, the leftmost primary, as a desk with several displays has; returns
  // once the server has them. Throws std::runtime_error when the server
  // cannot (no RandR 1.5).
  void splitIntoMonitors(int count, int width) const;

 private:
  const XvfbDisplay& display_;
  xcb_connection_t* connection_ = nullptr;
};

}  // namespace Sablekit::Testing
