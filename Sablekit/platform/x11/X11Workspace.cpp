// Applications, focus, pointer and desktop switches read from the X server.
#include "Sablekit/platform/x11/X11Workspace.h"

#include <atomic>
#include <cstdlib>
#include <thread>
#include <unordered_set>

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include "Sablekit/platform/linux/LinuxApplicationIdentity.h"

namespace Sablekit {

namespace {

std::optional<std::string> wmClassName(const X11Connection& connection, xcb_window_t window) {
  const auto value = connection.property(window, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING);
  if (!value) {
    return std::nullopt;
  }
  // "instance\0class\0"
  const std::size_t split = value->find('\0');
  if (split == std::string::npos) {
    return std::nullopt;
  }
  std::string className = value->substr(split + 1);
  if (const std::size_t end = className.find('\0'); end != std::string::npos) {
    className.resize(end);
  }
  return className.empty() ? std::nullopt : std::optional<std::string>(className);
}

}  // namespace

RunningApplication X11Workspace::describe(const X11Client& client, std::int32_t processID) const {
  LinuxIdentitySources sources = LinuxApplicationIdentity::processSources(processID);
  sources.applicationID =
      connection_->property(client.window, connection_->atoms().gtkApplicationID, connection_->atoms().utf8String);
  sources.wmClass = wmClassName(*connection_, client.window);
  RunningApplication application;
  application.processID = processID;
  application.bundleID = LinuxApplicationIdentity::bundleID(sources);
  application.localizedName = LinuxApplicationIdentity::localizedName(sources, processID);
  return application;
}

std::vector<RunningApplication> X11Workspace::runningApplications() {
  if (!connection_ || !connection_->healthy()) {
    return {};
  }
  std::vector<RunningApplication> applications;
  std::unordered_set<std::int32_t> seen;
  for (const X11Client& client : X11ClientList::read(*connection_, X11ClientDetail::owners)) {
    if (client.processID && seen.insert(*client.processID).second) {
      applications.push_back(describe(client, *client.processID));
    }
  }
  return applications;
}

std::optional<RunningApplication> X11Workspace::application(std::int32_t processID) {
  if (!connection_ || !connection_->healthy()) {
    return std::nullopt;
  }
  for (const X11Client& client : X11ClientList::read(*connection_, X11ClientDetail::owners)) {
    if (client.processID == processID) {
      return describe(client, processID);
    }
  }
  return std::nullopt;
}

std::optional<std::int32_t> X11Workspace::frontmostProcessID() {
  if (!connection_ || !connection_->healthy()) {
    return std::nullopt;
  }
  if (connection_->windowManager()) {
    const auto active = connection_->property32(connection_->root(), connection_->atoms().netActiveWindow);
    if (active.empty() || active.front() == XCB_NONE) {
      return std::nullopt;
    }
    return connection_->processOf(active.front());
  }
  X11Reply<xcb_get_input_focus_reply_t> focus(
      xcb_get_input_focus_reply(connection_->raw(), xcb_get_input_focus(connection_->raw()), nullptr));
  if (!focus || focus->focus == XCB_NONE || focus->focus == XCB_INPUT_FOCUS_POINTER_ROOT ||
      focus->focus == connection_->root()) {
    return std::nullopt;
  }
  const auto topLevel = X11ClientList::topLevelOf(*connection_, focus->focus);
  return topLevel ? connection_->processOf(*topLevel) : std::nullopt;
}

Point X11Workspace::pointerLocation() {
  if (!connection_ || !connection_->healthy()) {
    return {};
  }
  X11Reply<xcb_query_pointer_reply_t> pointer(
      xcb_query_pointer_reply(connection_->raw(), xcb_query_pointer(connection_->raw(), connection_->root()), nullptr));
  if (!pointer) {
    return {};
  }
  const auto monitors = connection_->monitors();
  const Rect& main = monitors.front().frame;
  return {pointer->root_x - main.x, main.height - (pointer->root_y - main.y)};
}

// One watch: its own connection and thread. The state is shared with the
// thread so that a subscription destroyed by its own handler stays sound.
class X11Workspace::DesktopWatch final : public Subscription {
 public:
  // Inert: watches nothing.
  DesktopWatch() = default;
  DesktopWatch(const std::string& displayName, std::function<void()> handler) {
    auto state = std::make_shared<State>();
    state->connection = X11Connection::open(displayName);
    state->handler = std::move(handler);
    state->wake = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (!state->connection || state->wake < 0) {
      return;  // inert: nothing to watch
    }
    const std::uint32_t mask = XCB_EVENT_MASK_PROPERTY_CHANGE;
    xcb_change_window_attributes(state->connection->raw(), state->connection->root(), XCB_CW_EVENT_MASK, &mask);
    xcb_flush(state->connection->raw());
    state_ = state;
    thread_ = std::thread([state] { run(*state); });
  }

  ~DesktopWatch() override {
    if (!state_) {
      return;
    }
    state_->stopped = true;
    const std::uint64_t one = 1;
    [[maybe_unused]] const auto written = ::write(state_->wake, &one, sizeof one);
    if (thread_.get_id() == std::this_thread::get_id()) {
      thread_.detach();  // destroyed by its own handler: the thread ends after it returns
    } else {
      thread_.join();
    }
  }

 private:
  struct State {
    std::unique_ptr<X11Connection> connection;
    std::function<void()> handler;
    std::atomic<bool> stopped{false};
    int wake = -1;
    ~State() {
      if (wake >= 0) {
        ::close(wake);
      }
    }
  };

  static void run(State& state) {
    xcb_connection_t* raw = state.connection->raw();
    const xcb_atom_t currentDesktop = state.connection->atoms().netCurrentDesktop;
    while (!state.stopped) {
      pollfd watched[2] = {{xcb_get_file_descriptor(raw), POLLIN, 0}, {state.wake, POLLIN, 0}};
      if (::poll(watched, 2, -1) < 0 && errno != EINTR) {
        return;
      }
      while (xcb_generic_event_t* event = xcb_poll_for_event(raw)) {
        const bool switched = (event->response_type & 0x7f) == XCB_PROPERTY_NOTIFY &&
                              reinterpret_cast<xcb_property_notify_event_t*>(event)->atom == currentDesktop;
        std::free(event);
        if (switched && !state.stopped) {
          state.handler();
        }
      }
      if (xcb_connection_has_error(raw)) {
        return;  // the server went away: nothing more will change
      }
    }
  }

  std::shared_ptr<State> state_;
  std::thread thread_;
};

std::unique_ptr<Subscription> X11Workspace::observeDesktopChanges(std::function<void()> handler) {
  if (!connection_) {
    return std::make_unique<DesktopWatch>();
  }
  return std::make_unique<DesktopWatch>(connection_->displayName(), std::move(handler));
}

}  // namespace Sablekit
