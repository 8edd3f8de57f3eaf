// Starting, waiting for and stopping a private Xvfb (and openbox) for tests.
#include "tests/support/XvfbDisplay.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <optional>
#include <stdexcept>

#include <poll.h>
#include <signal.h>
#include <unistd.h>
#include <xcb/xcb.h>

namespace Sablekit::Testing {

namespace {

// How long a server or window manager may take to come up before the test
// fails; a safety net for a broken machine, never a wait for a result.
constexpr double startSafetySeconds = 20.0;

std::optional<std::string> findProgram(const std::string& program) {
  const char* path = std::getenv("PATH");
  std::string directories = path ? path : "/usr/bin:/bin";
  std::size_t start = 0;
  while (start <= directories.size()) {
    const std::size_t end = std::min(directories.find(':', start), directories.size());
    const std::filesystem::path candidate = std::filesystem::path(directories.substr(start, end - start)) / program;
    if (::access(candidate.c_str(), X_OK) == 0) {
      return candidate.string();
    }
    start = end + 1;
  }
  return std::nullopt;
}

bool displayNumberLooksFree(int number) {
  const std::string socket = "/tmp/.X11-unix/X" + std::to_string(number);
  const std::string lock = "/tmp/.X" + std::to_string(number) + "-lock";
  return !std::filesystem::exists(socket) && !std::filesystem::exists(lock);
}

void terminate(RunningChild& child) {
  if (!child.hasExited()) {
    ::kill(child.processID(), SIGTERM);
  }
  child.waitForExit(startSafetySeconds);
}

// Whether the root window carries `name`, as a running window manager's root does.
bool rootHasProperty(xcb_connection_t* connection, xcb_window_t root, xcb_atom_t property) {
  xcb_get_property_reply_t* reply =
      xcb_get_property_reply(connection, xcb_get_property(connection, 0, root, property, XCB_ATOM_ANY, 0, 1), nullptr);
  const bool present = reply != nullptr && reply->type != XCB_ATOM_NONE;
  std::free(reply);
  return present;
}

// Blocks until the connection has input or `timeout` passes.
void waitForEvent(xcb_connection_t* connection, std::chrono::milliseconds timeout) {
  pollfd watched{xcb_get_file_descriptor(connection), POLLIN, 0};
  ::poll(&watched, 1, static_cast<int>(std::max<std::int64_t>(timeout.count(), 0)));
}

}  // namespace

bool XvfbDisplay::installed() {
  return findProgram("Xvfb").has_value();
}

bool XvfbDisplay::windowManagerInstalled() {
  return findProgram("openbox").has_value();
}

XvfbDisplay::XvfbDisplay(Options options) : options_(options) {
  startServer();
  if (options_.windowManager) {
    try {
      startWindowManager();
    } catch (...) {
      terminate(*server_);
      throw;
    }
  }
}

XvfbDisplay::~XvfbDisplay() {
  if (windowManager_) {
    terminate(*windowManager_);
  }
  if (server_) {
    terminate(*server_);
  }
}

void XvfbDisplay::startServer() {
  const auto program = findProgram("Xvfb");
  if (!program) {
    throw std::runtime_error("Xvfb is not installed");
  }
  const std::string screen = std::to_string(options_.width) + "x" + std::to_string(options_.height) + "x24";
  // Spread parallel test processes over different numbers; a number taken
  // between the probe and the start makes Xvfb exit, and the next one is tried.
  int number = 100 + static_cast<int>(::getpid() % 800);
  for (int attempt = 0; attempt < 50; ++attempt, ++number) {
    if (!displayNumberLooksFree(number)) {
      continue;
    }
    // -displayfd 1: Xvfb writes its display number to standard output once it
    // accepts connections, which is exactly the readiness we wait for.
    auto server =
        std::make_unique<RunningChild>(*program,
                                       std::vector<std::string>{":" + std::to_string(number), "-screen", "0", screen,
                                                                "-nolisten", "tcp", "-displayfd", "1"},
                                       std::map<std::string, std::string>{}, "/dev/null");
    const auto announced = server->readLine(startSafetySeconds);
    if (announced && *announced == std::to_string(number)) {
      name_ = ":" + std::to_string(number);
      server_ = std::move(server);
      return;
    }
    terminate(*server);
  }
  throw std::runtime_error("Xvfb did not start on any free display number");
}

void XvfbDisplay::startWindowManager() {
  const auto program = findProgram("openbox");
  if (!program) {
    throw std::runtime_error("openbox is not installed");
  }
  xcb_connection_t* connection = xcb_connect(name_.c_str(), nullptr);
  if (xcb_connection_has_error(connection)) {
    xcb_disconnect(connection);
    throw std::runtime_error("cannot connect to " + name_);
  }
  const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root;
  const char checkName[] = "_NET_SUPPORTING_WM_CHECK";
  xcb_intern_atom_reply_t* atom =
      xcb_intern_atom_reply(connection, xcb_intern_atom(connection, 0, sizeof checkName - 1, checkName), nullptr);
  const xcb_atom_t check = atom ? atom->atom : static_cast<xcb_atom_t>(XCB_ATOM_NONE);
  std::free(atom);

  windowManager_ =
      std::make_unique<RunningChild>(*program, std::vector<std::string>{"--sm-disable"}, environment(), "/dev/null");
  // openbox announces itself on the root before its event loop runs, and a
  // window mapped in between is never managed. So the window manager is
  // ready only once it has reparented a probe window of ours; a probe it
  // missed is replaced by a fresh one.
  const auto deadline =
      std::chrono::steady_clock::now() + std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                                             std::chrono::duration<double>(startSafetySeconds));
  bool ready = false;
  while (!ready && std::chrono::steady_clock::now() < deadline && !windowManager_->hasExited()) {
    if (!rootHasProperty(connection, root, check)) {
      waitForEvent(connection, std::chrono::milliseconds(100));
      continue;
    }
    const xcb_window_t probe = xcb_generate_id(connection);
    const std::uint32_t probeMask = XCB_EVENT_MASK_STRUCTURE_NOTIFY;
    xcb_create_window(connection, XCB_COPY_FROM_PARENT, probe, root, 0, 0, 1, 1, 0, XCB_WINDOW_CLASS_INPUT_OUTPUT,
                      XCB_COPY_FROM_PARENT, XCB_CW_EVENT_MASK, &probeMask);
    xcb_map_window(connection, probe);
    xcb_flush(connection);
    const auto probeDeadline = std::min<std::chrono::steady_clock::time_point>(
        deadline, std::chrono::steady_clock::now() + std::chrono::milliseconds(500));
    while (!ready && std::chrono::steady_clock::now() < probeDeadline) {
      waitForEvent(connection, std::chrono::duration_cast<std::chrono::milliseconds>(probeDeadline -
                                                                                     std::chrono::steady_clock::now()));
      while (xcb_generic_event_t* event = xcb_poll_for_event(connection)) {
        ready = ready || (event->response_type & 0x7f) == XCB_REPARENT_NOTIFY;
        std::free(event);
      }
    }
    xcb_destroy_window(connection, probe);
    xcb_flush(connection);
  }
  xcb_disconnect(connection);
  if (!ready) {
    terminate(*windowManager_);
    windowManager_.reset();
    throw std::runtime_error("openbox did not start on " + name_);
  }
}

}  // namespace Sablekit::Testing
