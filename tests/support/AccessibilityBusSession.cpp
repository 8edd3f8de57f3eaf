// Starting and stopping a private session bus beside a private Xvfb.
#include "tests/support/AccessibilityBusSession.h"

#include <filesystem>
#include <stdexcept>

#include <signal.h>
#include <unistd.h>

namespace Sablekit::Testing {

namespace {

constexpr double startSafetySeconds = 20.0;

bool executable(const char* path) {
  return ::access(path, X_OK) == 0;
}

}  // namespace

bool AccessibilityBusSession::installed() {
  return XvfbDisplay::installed() && XvfbDisplay::windowManagerInstalled() && executable("/usr/bin/dbus-daemon") &&
         executable("/usr/libexec/at-spi-bus-launcher") && executable("/usr/libexec/at-spi2-registryd");
}

AccessibilityBusSession::AccessibilityBusSession() : display_(XvfbDisplay::Options{.windowManager = true}) {
  std::string directory = (std::filesystem::temp_directory_path() / "sablekit-session-XXXXXX").string();
  if (::mkdtemp(directory.data()) == nullptr) {
    throw std::runtime_error("no directory for the session");
  }
  home_ = directory;
  for (const char* sub : {"home", "runtime", "config", "cache"}) {
    std::filesystem::create_directory(home_ / sub);
  }
  std::filesystem::permissions(home_ / "runtime", std::filesystem::perms::owner_all);
  // The daemon's environment is what the services it starts (the AT-SPI
  // launcher, dconf) inherit: they must see this display, and keep their
  // sockets and settings inside the session. The launcher copies IsEnabled
  // into the desktop settings; in memory, it cannot outlive the test.
  sessionBus_ = std::make_unique<RunningChild>("/usr/bin/dbus-daemon",
                                               std::vector<std::string>{"--session", "--nofork", "--print-address=1"},
                                               privateEnvironment());
  const auto address = sessionBus_->readLine(startSafetySeconds);
  if (!address || address->empty()) {
    throw std::runtime_error("the session bus did not start");
  }
  sessionBusAddress_ = *address;
}

AccessibilityBusSession::~AccessibilityBusSession() {
  // The AT-SPI launcher ends with the session bus, taking its bus and the
  // registry with it.
  if (!sessionBus_->hasExited()) {
    ::kill(sessionBus_->processID(), SIGTERM);
  }
  sessionBus_->waitForExit(startSafetySeconds);
  std::error_code ignored;
  std::filesystem::remove_all(home_, ignored);
}

std::map<std::string, std::string> AccessibilityBusSession::privateEnvironment() const {
  return {{"DISPLAY", display_.name()},
          {"HOME", (home_ / "home").string()},
          {"XDG_RUNTIME_DIR", (home_ / "runtime").string()},
          {"XDG_CONFIG_HOME", (home_ / "config").string()},
          {"XDG_CACHE_HOME", (home_ / "cache").string()},
          {"GSETTINGS_BACKEND", "memory"}};
}

std::map<std::string, std::string> AccessibilityBusSession::environment() const {
  auto environment = privateEnvironment();
  environment["DBUS_SESSION_BUS_ADDRESS"] = sessionBusAddress_;
  return environment;
}

}  // namespace Sablekit::Testing
