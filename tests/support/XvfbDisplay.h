// A private X server for tests: Xvfb on a display number of its own,
// optionally with the openbox window manager, torn down with the fixture.
#pragma once

#include <map>
#include <memory>
#include <string>

#include "tests/support/RunningChild.h"

namespace Sablekit::Testing {

class XvfbDisplay {
 public:
  struct Options {
    int width = 1280;
    int height = 800;
    bool windowManager = false;  // start openbox, for EWMH
  };

  // Whether Xvfb is installed; tests that need a display skip without it.
  static bool installed();
  // Whether openbox is installed.
  static bool windowManagerInstalled();

  // Starts Xvfb on a free display number and waits until it accepts clients;
  // with `windowManager`, also starts openbox and waits until it manages the
  // screen. Throws std::runtime_error when either cannot start.
  explicit XvfbDisplay(Options options);
  XvfbDisplay() : XvfbDisplay(Options{}) {}
  // Stops the window manager and the server and reaps both.
  ~XvfbDisplay();
  XvfbDisplay(const XvfbDisplay&) = delete;
  XvfbDisplay& operator=(const XvfbDisplay&) = delete;

  // The display name, ":N".
  const std::string& name() const { return name_; }
  // The environment a client of this display needs: {"DISPLAY", name()}.
  std::map<std::string, std::string> environment() const { return {{"DISPLAY", name_}}; }
  const Options& options() const { return options_; }

 private:
  void startServer();
  void startWindowManager();

  Options options_;
  std::string name_;
  std::unique_ptr<RunningChild> server_;
  std::unique_ptr<RunningChild> windowManager_;
};

}  // namespace Sablekit::Testing
