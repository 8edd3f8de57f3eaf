// A private desktop session with an accessibility bus for tests: Xvfb with
// openbox, and a session bus of its own from which the AT-SPI bus launcher
// and registry start on demand, all torn down with the fixture.
#pragma once

#include <filesystem>
#include <map>
#include <memory>
#include <string>

#include "tests/support/RunningChild.h"
#include "tests/support/XvfbDisplay.h"

namespace Sablekit::Testing {

class AccessibilityBusSession {
 public:
  // Whether Xvfb, openbox, dbus-daemon and the AT-SPI bus launcher are
  // installed; tests that need an accessibility bus skip without them.
  static bool installed();

  // Starts the display and the session bus; throws std::runtime_error when
  // either cannot start.
  AccessibilityBusSession();
  ~AccessibilityBusSession();
  AccessibilityBusSession(const AccessibilityBusSession&) = delete;
  AccessibilityBusSession& operator=(const AccessibilityBusSession&) = delete;

  const XvfbDisplay& display() const { return display_; }
  const std::string& displayName() const { return display_.name(); }
  const std::string& sessionBusAddress() const { return sessionBusAddress_; }
  // What a client of this session needs: DISPLAY, DBUS_SESSION_BUS_ADDRESS,
  // and a home, runtime, configuration and cache directory of the session's
  // own, with desktop settings kept in memory.
  std::map<std::string, std::string> environment() const;
  // The session's own directory, removed with it.
  const std::filesystem::path& directory() const { return home_; }

 private:
  std::map<std::string, std::string> privateEnvironment() const;

  std::filesystem::path home_;
  XvfbDisplay display_;
  std::unique_ptr<RunningChild> sessionBus_;
  std::string sessionBusAddress_;
};

}  // namespace Sablekit::Testing
