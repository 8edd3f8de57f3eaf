// The contract tests' arranger for the X11 desktop: a private Xvfb with
// openbox for the whole suite, windows of the tiny X test client, and
// activation and moves through xdotool, as a user's tools make them.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "Sablekit/platform/x11/X11Desktop.h"
#include "tests/platform/contract/DesktopArranger.h"
#include "tests/support/X11TestWindow.h"
#include "tests/support/X11Tools.h"
#include "tests/support/XvfbDisplay.h"

namespace Sablekit::Testing {

class X11DesktopArranger final : public DesktopArranger {
 public:
  // Why the suite cannot run here (Xvfb, openbox or xdotool missing); empty
  // when it can.
  static std::string unavailableReason();
  // Starts the suite's display, window manager and X11 desktop; throws
  // std::runtime_error when they cannot start.
  static void setUpSuite();
  static void tearDownSuite();
  // The suite's desktop once no window of an earlier test is listed.
  static std::unique_ptr<DesktopArranger> arrange();
  // A desktop on a display that does not exist.
  static std::unique_ptr<Platform> unreachable();

  X11DesktopArranger();

  const ArrangerCapabilities& capabilities() const override { return capabilities_; }
  Platform& platform() override;
  ArrangedWindow open(const WantedWindow& wanted) override;
  void activate(const ArrangedWindow& window) override;
  void move(const ArrangedWindow& window, Point topLeft) override;
  void movePointer(Point location) override;
  // X11 cannot be made to fail on demand; these do nothing.
  void failNextShareableContent() override {}
  void failNextScreenshot() override {}

 private:
  struct Session;
  static std::unique_ptr<Session>& session();

  ArrangerCapabilities capabilities_{.framesWindows = true, .settlesAsynchronously = true, .failsOnDemand = false};
  std::vector<std::unique_ptr<X11TestWindow>> windows_;
};

}  // namespace Sablekit::Testing
