// Arranging the contract tests' desktops on a private X server.
#include "tests/platform/contract/X11DesktopArranger.h"

#include <chrono>
#include <stdexcept>
#include <thread>

namespace Sablekit::Testing {

namespace {

// A safety net for a broken server or window manager, never a wait for a result.
constexpr auto settleSafety = std::chrono::seconds(10);

}  // namespace

// One screen split into the two monitors before the desktop connects.
struct X11DesktopArranger::Session {
  XvfbDisplay display{{.width = 2 * arrangedDisplayWidth, .height = arrangedDisplayHeight, .windowManager = true}};
  X11Tools tools{display};
  bool split = (tools.splitIntoMonitors(2, arrangedDisplayWidth), true);
  RunLoop mainLoop;
  X11Desktop desktop{mainLoop, display.name()};
};

std::unique_ptr<X11DesktopArranger::Session>& X11DesktopArranger::session() {
  static std::unique_ptr<Session> current;
  return current;
}

std::string X11DesktopArranger::unavailableReason() {
  if (!XvfbDisplay::installed() || !XvfbDisplay::windowManagerInstalled()) {
    return "Xvfb or openbox is not installed";
  }
  if (!X11Tools::installed("xdotool")) {
    return "xdotool is not installed";
  }
  return {};
}

void X11DesktopArranger::setUpSuite() {
  session() = std::make_unique<Session>();
  if (!session()->desktop.connected()) {
    throw std::runtime_error("the X11 desktop cannot reach " + session()->display.name());
  }
}

void X11DesktopArranger::tearDownSuite() {
  session().reset();
}

std::unique_ptr<DesktopArranger> X11DesktopArranger::arrange() {
  return std::make_unique<X11DesktopArranger>();
}

std::unique_ptr<Platform> X11DesktopArranger::unreachable() {
  static RunLoop mainLoop;  // outlives every desktop handed out
  return std::make_unique<X11Desktop>(mainLoop, ":999999");
}

X11DesktopArranger::X11DesktopArranger() {
  if (!session()) {
    throw std::runtime_error("the X11 suite has no display");
  }
  // The windows of an earlier test are gone from the server at once, but the
  // window manager lets go of them on its own schedule.
  const auto deadline = std::chrono::steady_clock::now() + settleSafety;
  while (!session()->desktop.windowServer().onScreenWindows(true).empty()) {
    if (std::chrono::steady_clock::now() > deadline) {
      throw std::runtime_error("windows of an earlier test are still listed");
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

Platform& X11DesktopArranger::platform() {
  return session()->desktop;
}

ArrangedWindow X11DesktopArranger::open(const WantedWindow& wanted) {
  auto window = std::make_unique<X11TestWindow>(
      session()->display, X11TestWindow::Options{.title = wanted.title,
                                                 .instance = "contract",
                                                 .className = wanted.identity,
                                                 .colour = wanted.colour,
                                                 .x = static_cast<int>(wanted.content.x),
                                                 .y = static_cast<int>(wanted.content.y),
                                                 .width = static_cast<int>(wanted.content.width),
                                                 .height = static_cast<int>(wanted.content.height)});
  ArrangedWindow arranged{window->windowID(), window->processID(), {}};
  windows_.push_back(std::move(window));
  // openbox may keep a new window behind the focused one; the user clicks it.
  activate(arranged);
  arranged.content = session()->tools.clientArea(arranged.windowID).value_or(wanted.content);
  return arranged;
}

void X11DesktopArranger::activate(const ArrangedWindow& window) {
  session()->tools.run("xdotool", {"windowactivate", "--sync", std::to_string(window.windowID)});
}

void X11DesktopArranger::move(const ArrangedWindow& window, Point topLeft) {
  session()->tools.run(
      "xdotool", {"windowmove", "--sync", std::to_string(window.windowID), std::to_string(static_cast<int>(topLeft.x)),
                  std::to_string(static_cast<int>(topLeft.y))});
}

}  // namespace Sablekit::Testing
