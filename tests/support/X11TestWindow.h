// One window of a tiny X client (tests/support/X11TestClient.cpp) on a test
// display: a plain-coloured top-level window with the title, class, process
// and type the test asks for, living as long as this object.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "tests/support/RunningChild.h"
#include "tests/support/XvfbDisplay.h"

namespace Sablekit::Testing {

class X11TestWindow {
 public:
  struct Options {
    std::string title;
    std::string instance = "x11-test-client";  // WM_CLASS instance
    std::string className = "X11TestClient";   // WM_CLASS class
    std::optional<std::string> gtkApplicationID;
    bool setPID = true;               // _NET_WM_PID = the client's process
    std::uint32_t colour = 0x808080;  // 0xRRGGBB
    int x = 0, y = 0, width = 200, height = 150;
    std::string type;    // _NET_WM_WINDOW_TYPE_<type>, e.g. "DOCK"; empty leaves it unset
    bool above = false;  // _NET_WM_STATE_ABOVE
    bool overrideRedirect = false;
    bool argb = false;  // a 32-bit window (opaque pixels)
  };

  // Starts the client on `display` and waits until its window is mapped.
  // Throws std::runtime_error when the client cannot start or dies first.
  X11TestWindow(const XvfbDisplay& display, const Options& options);
  // Closes the client's input; the client exits and its window goes.
  ~X11TestWindow();
  X11TestWindow(const X11TestWindow&) = delete;
  X11TestWindow& operator=(const X11TestWindow&) = delete;

  std::uint32_t windowID() const { return windowID_; }
  std::int32_t processID() const { return client_.processID(); }

  // Each returns once the X server has the client's request (a window
  // manager may still be acting on it).
  void move(int x, int y, int width, int height);
  void raise();
  void unmap();
  void map();
  void setTitle(const std::string& title);
  // Asks the window manager to activate the window (_NET_ACTIVE_WINDOW).
  void activate();

 private:
  static std::vector<std::string> arguments(const Options& options);
  void command(const std::string& line);

  RunningChild client_;
  std::uint32_t windowID_ = 0;
};

}  // namespace Sablekit::Testing
