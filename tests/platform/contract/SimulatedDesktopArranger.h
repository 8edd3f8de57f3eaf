// The contract tests' arranger for the simulated desktop: every arrangement
// is made through the simulated services' builder methods and holds at once.
#pragma once

#include <memory>
#include <string>

#include "Sablekit/platform/simulated/SimulatedDesktop.h"
#include "tests/platform/contract/DesktopArranger.h"

namespace Sablekit::Testing {

class SimulatedDesktopArranger final : public DesktopArranger {
 public:
  // The suite-wide hooks of the contract fixture: the simulated desktop needs
  // no session, so there is nothing to start and it is always available.
  static std::string unavailableReason() { return {}; }
  static void setUpSuite() {}
  static void tearDownSuite() {}
  // A fresh desktop with its two displays and nothing open.
  static std::unique_ptr<DesktopArranger> arrange();
  // A desktop the capture host cannot reach: no display, the grant refused,
  // and every fetch and screenshot failing.
  static std::unique_ptr<Platform> unreachable();

  SimulatedDesktopArranger();

  const ArrangerCapabilities& capabilities() const override { return capabilities_; }
  Platform& platform() override { return desktop_; }
  ArrangedWindow open(const WantedWindow& wanted) override;
  void activate(const ArrangedWindow& window) override;
  void move(const ArrangedWindow& window, Point topLeft) override;
  void movePointer(Point location) override;
  void failNextShareableContent() override;
  void failNextScreenshot() override;

 private:
  ArrangerCapabilities capabilities_{.framesWindows = false, .settlesAsynchronously = false, .failsOnDemand = true};
  SimulatedDesktop desktop_;
  std::uint32_t nextWindowID_ = 301;
  std::int32_t nextProcessID_ = 7001;
};

}  // namespace Sablekit::Testing
