#include "Sablekit/platform/x11/keyboard/X11Keyboard.h"

#include <algorithm>
#include <bitset>
#include <condition_variable>
#include <cstdlib>
#include <optional>
#include <utility>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>
#include <xcb/xcb.h>
#include <xcb/xcb_keysyms.h>
#include <xcb/xinput.h>

#include "Sablekit/platform/x11/keyboard/X11ModifierKeys.h"

namespace Sablekit {

// What the keyboard's thread and the main thread share.
struct X11Keyboard::Channel {
  // Main thread only: whom the posted tasks call; null once delivery stopped.
  KeyboardListener* listener = nullptr;

  std::mutex mutex;  // guards the members below
  std::condition_variable changed;
  bool delivering = false;       // a listener wants changes
  bool closing = false;          // the keyboard is going away
  bool resumeRequested = false;  // resumeIntercepting() was called
  std::uint64_t answered = 0;    // the latest change the main thread answered
  bool swallow = false;          // and its answer
};

namespace {

template <typename T>
struct FreeDeleter {
  void operator()(T* pointer) const { std::free(pointer); }
};
template <typename T>
using Reply = std::unique_ptr<T, FreeDeleter<T>>;

// The raw copy of a key change as it was settled, kept until the next key
// event in case that is the grabbed copy of the same change.
struct RawChange {
  std::uint8_t keycode = 0;
  bool press = false;
  xcb_timestamp_t time = 0;
  bool swallow = false;
};

}  // namespace

// The keyboard's own X connection. Created and checked on the main thread,
// then used by the keyboard's thread alone (wake() excepted).
class X11Keyboard::Connection {
 public:
  // Null when the display cannot be opened, lacks XInput 2.1 raw events, or
  // (intercepting) the Super keys cannot be grabbed.
  static std::unique_ptr<Connection> open(const std::string& displayName, bool intercepting) {
    auto connection = std::unique_ptr<Connection>(new Connection(intercepting));
    return connection->setUp(displayName) ? std::move(connection) : nullptr;
  }

  ~Connection() {
    if (symbols_ != nullptr) {
      xcb_key_symbols_free(symbols_);
    }
    if (xcb_ != nullptr) {
      // Closing drops our grabs and thaws a keyboard frozen for us.
      xcb_disconnect(xcb_);
    }
    for (const int fd : {wakeRead_, wakeWrite_}) {
      if (fd >= 0) {
        ::close(fd);
      }
    }
  }
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;

  // Any thread: makes run() look at the channel again.
  void wake() {
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(wakeWrite_, &byte, 1);
  }

  // The thread's body: serves the connection until the channel closes or the
  // server goes away.
  void run(RunLoop& mainLoop, const std::shared_ptr<Channel>& channel, std::chrono::milliseconds answerTimeout) {
    mainLoop_ = &mainLoop;
    channel_ = channel;
    answerTimeout_ = answerTimeout;
    const int fd = xcb_get_file_descriptor(xcb_);
    for (;;) {
      while (xcb_generic_event_t* event = xcb_poll_for_event(xcb_)) {
        handle(Reply<xcb_generic_event_t>(event));
      }
      if (xcb_connection_has_error(xcb_) != 0) {
        return;
      }
      bool resume = false;
      {
        const std::lock_guard lock(channel_->mutex);
        if (channel_->closing) {
          return;
        }
        resume = std::exchange(channel_->resumeRequested, false);
      }
      if (resume) {
        resumeGrabs();
        continue;  // the grab requests may have queued events
      }
      pollfd fds[2] = {{fd, POLLIN, 0}, {wakeRead_, POLLIN, 0}};
      if (::poll(fds, 2, -1) < 0) {
        continue;  // interrupted
      }
      if ((fds[1].revents & POLLIN) != 0) {
        char buffer[64];
        while (::read(wakeRead_, buffer, sizeof buffer) > 0) {
        }
      }
    }
  }

 private:
  explicit Connection(bool intercepting) : intercepting_(intercepting) {}

  bool setUp(const std::string& displayName) {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0) {
      return false;
    }
    wakeRead_ = fds[0];
    wakeWrite_ = fds[1];
    int screenNumber = 0;
    xcb_ = xcb_connect(displayName.empty() ? nullptr : displayName.c_str(), &screenNumber);
    if (xcb_connection_has_error(xcb_) != 0) {
      return false;
    }
    xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(xcb_));
    for (int index = 0; index < screenNumber && screens.rem > 0; ++index) {
      xcb_screen_next(&screens);
    }
    if (screens.rem == 0) {
      return false;
    }
    root_ = screens.data->root;

    const xcb_query_extension_reply_t* xinput = xcb_get_extension_data(xcb_, &xcb_input_id);
    if (xinput == nullptr || xinput->present == 0) {
      return false;
    }
    xinputOpcode_ = xinput->major_opcode;
    const Reply<xcb_input_xi_query_version_reply_t> version(
        xcb_input_xi_query_version_reply(xcb_, xcb_input_xi_query_version(xcb_, 2, 2), nullptr));
    // Raw events reach a client regardless of other clients' grabs from 2.1 on.
    if (!version || version->major_version < 2 || (version->major_version == 2 && version->minor_version < 1)) {
      return false;
    }

    symbols_ = xcb_key_symbols_alloc(xcb_);
    if (symbols_ == nullptr) {
      return false;
    }
    loadMapping();

    struct {
      xcb_input_event_mask_t head;
      std::uint32_t mask;
    } selection{{XCB_INPUT_DEVICE_ALL_MASTER, 1},
                XCB_INPUT_XI_EVENT_MASK_RAW_KEY_PRESS | XCB_INPUT_XI_EVENT_MASK_RAW_KEY_RELEASE};
    if (const Reply<xcb_generic_error_t> error(
            xcb_request_check(xcb_, xcb_input_xi_select_events_checked(xcb_, root_, 1, &selection.head)));
        error) {
      return false;
    }
    if (intercepting_) {
      if (!grabSuperKeys()) {
        return false;
      }
      interceptionOn_ = true;
    }
    // Seeded after selecting, so a change racing with the query is seen
    // twice at worst, which the held set absorbs.
    const Reply<xcb_query_keymap_reply_t> keymap(xcb_query_keymap_reply(xcb_, xcb_query_keymap(xcb_), nullptr));
    if (keymap) {
      std::bitset<256> pressed;
      for (std::size_t keycode = 0; keycode < 256; ++keycode) {
        pressed[keycode] = (keymap->keys[keycode / 8] >> (keycode % 8)) & 1;
      }
      keys_.seed(pressed);
    }
    xcb_flush(xcb_);
    return true;
  }

  // Reads the unshifted keysym of every key.
  void loadMapping() {
    const xcb_setup_t* setup = xcb_get_setup(xcb_);
    std::vector<std::uint32_t> keysyms;
    for (int keycode = setup->min_keycode; keycode <= setup->max_keycode; ++keycode) {
      keysyms.push_back(xcb_key_symbols_get_keysym(symbols_, static_cast<xcb_keycode_t>(keycode), 0));
    }
    keys_.setMapping(setup->min_keycode, keysyms);
  }

  std::vector<std::uint8_t> superKeycodes() const {
    std::vector<std::uint8_t> keycodes = keys_.keycodesOf(KeyCode::leftCommand);
    const std::vector<std::uint8_t> right = keys_.keycodesOf(KeyCode::rightCommand);
    keycodes.insert(keycodes.end(), right.begin(), right.end());
    std::sort(keycodes.begin(), keycodes.end());
    return keycodes;
  }

  // Grabs every Super key, with any modifiers, keyboard frozen at each
  // activation until we answer. All or none: a key another client grabbed
  // (BadAccess) leaves none of ours behind.
  bool grabSuperKeys() {
    const std::vector<std::uint8_t> keycodes = superKeycodes();
    if (keycodes.empty()) {
      return false;
    }
    std::vector<xcb_void_cookie_t> cookies;
    for (const std::uint8_t keycode : keycodes) {
      cookies.push_back(
          xcb_grab_key_checked(xcb_, 0, root_, XCB_MOD_MASK_ANY, keycode, XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_SYNC));
    }
    bool granted = true;
    for (const xcb_void_cookie_t cookie : cookies) {
      if (const Reply<xcb_generic_error_t> error(xcb_request_check(xcb_, cookie)); error) {
        granted = false;
      }
    }
    if (!granted) {
      ungrab(keycodes);
      return false;
    }
    grabbed_ = keycodes;
    return true;
  }

  void ungrab(const std::vector<std::uint8_t>& keycodes) {
    for (const std::uint8_t keycode : keycodes) {
      xcb_ungrab_key(xcb_, keycode, root_, XCB_MOD_MASK_ANY);
    }
    xcb_flush(xcb_);
  }

  void resumeGrabs() {
    if (intercepting_ && !interceptionOn_ && grabSuperKeys()) {
      interceptionOn_ = true;
    }
  }

  // The grabs go, and the listener hears that changes will go by unseen
  // until it resumes.
  void switchOff() {
    ungrab(std::exchange(grabbed_, {}));
    interceptionOn_ = false;
    post([](KeyboardListener& listener) { listener.interceptionSwitchedOff(); });
  }

  void handle(Reply<xcb_generic_event_t> event) {
    switch (event->response_type & 0x7f) {
      case XCB_GE_GENERIC: {
        const auto* generic = reinterpret_cast<const xcb_ge_generic_event_t*>(event.get());
        if (generic->extension != xinputOpcode_) {
          return;
        }
        if (generic->event_type == XCB_INPUT_RAW_KEY_PRESS || generic->event_type == XCB_INPUT_RAW_KEY_RELEASE) {
          const auto* raw = reinterpret_cast<const xcb_input_raw_key_press_event_t*>(event.get());
          settleRaw(static_cast<std::uint8_t>(raw->detail), generic->event_type == XCB_INPUT_RAW_KEY_PRESS, raw->time);
        }
        return;
      }
      case XCB_KEY_PRESS:
      case XCB_KEY_RELEASE: {
        // Only our grabs send these, and the keyboard waits for our answer.
        const auto* key = reinterpret_cast<const xcb_key_press_event_t*>(event.get());
        const bool press = (event->response_type & 0x7f) == XCB_KEY_PRESS;
        const bool activating = !grabActive_;  // this press opened one of our grabs
        if (activating) {
          grabKey_ = key->detail;
        }
        const bool swallow = settleGrabbed(key->detail, press, key->time, activating);
        if (!press && key->detail == grabKey_) {
          // The server ended the grab as it gave us its key's release, and
          // the keyboard is no longer frozen: an answer now would land on the
          // next grab (the one the following Super press opens) and pass or
          // hold the wrong event. So this release stays with us either way.
          grabActive_ = false;
          return;
        }
        // Swallowing keeps the grab for exactly one more event; replaying
        // ends it and hands the event to whoever would have had it. The
        // event's time keeps a late answer off a newer grab.
        grabActive_ = swallow;
        xcb_allow_events(xcb_, swallow ? XCB_ALLOW_SYNC_KEYBOARD : XCB_ALLOW_REPLAY_KEYBOARD, key->time);
        xcb_flush(xcb_);
        return;
      }
      case XCB_MAPPING_NOTIFY: {
        auto* mapping = reinterpret_cast<xcb_mapping_notify_event_t*>(event.get());
        if (mapping->request != XCB_MAPPING_KEYBOARD || xcb_refresh_keyboard_mapping(symbols_, mapping) == 0) {
          return;
        }
        loadMapping();
        // Our grabs sit on key codes that may no longer be the Super keys.
        if (intercepting_ && interceptionOn_ && superKeycodes() != grabbed_) {
          switchOff();
        }
        return;
      }
      default:
        return;
    }
  }

  // Which copies of a key change reach us (XInput 2.1 and later): a change
  // the server handles while one of our grabs is active comes only as the
  // grabbed event (raw events skip the client that holds the grab); the
  // press that opens a grab comes as its raw event directly followed by the
  // grabbed event; every other change comes only raw. The server handles
  // both copies of a change one after the other, even when they wait behind
  // a frozen keyboard, so a grabbed event is paired only with the raw event
  // just before it. (Pairing by key and time alone would take a later change
  // of the same key within the same millisecond, which fast typing behind a
  // frozen keyboard produces, for a copy and lose it, leaving the key held.)

  // A raw key event; nothing waits for its answer unless it is the press
  // of a grabbed key, whose grabbed copy may follow.
  void settleRaw(std::uint8_t keycode, bool press, xcb_timestamp_t time) {
    const bool grabbedKey = press && std::binary_search(grabbed_.begin(), grabbed_.end(), keycode);
    const bool swallow = settle(keycode, press, grabbedKey);
    lastRaw_ = RawChange{keycode, press, time, swallow};
  }

  // A key event our grab holds the keyboard for; answers whether it is
  // swallowed. `activating`: it is the press that opened the grab.
  bool settleGrabbed(std::uint8_t keycode, bool press, xcb_timestamp_t time, bool activating) {
    const std::optional<RawChange> raw = std::exchange(lastRaw_, std::nullopt);
    const bool twin = activating && raw && raw->keycode == keycode && raw->press == press && raw->time == time;
    const bool swallow = twin ? raw->swallow : settle(keycode, press, true);
    swallowedHeld_[keycode] = press && swallow;
    return swallow;
  }

  // One key change, delivered once; answers whether it is swallowed (when
  // `answerNeeded`, else false).
  bool settle(std::uint8_t keycode, bool press, bool answerNeeded) {
    if (!press) {
      swallowedHeld_.reset(keycode);
    }
    if (press ? keys_.press(keycode) : keys_.release(keycode)) {
      // Changes made while the interception is off go by unseen.
      if (!intercepting_ || interceptionOn_) {
        return deliver(*keys_.keyCodeOf(keycode), keys_.flags(), intercepting_ && answerNeeded);
      }
      return false;
    }
    // The key repeating while its press was swallowed stays swallowed.
    return press && swallowedHeld_[keycode];
  }

  // Posts the change to the main thread; when `waitForAnswer`, waits for the
  // answer, and past the timeout lets the change pass and switches off.
  bool deliver(std::uint16_t keyCode, std::uint64_t flags, bool waitForAnswer) {
    std::uint64_t sequence = 0;
    {
      const std::lock_guard lock(channel_->mutex);
      if (!channel_->delivering) {
        return false;
      }
      sequence = ++sequence_;
    }
    mainLoop_->post([channel = channel_, sequence, keyCode, flags] {
      bool swallow = false;
      if (channel->listener != nullptr) {
        swallow = channel->listener->modifierChanged(keyCode, flags);
      }
      {
        const std::lock_guard lock(channel->mutex);
        channel->answered = sequence;
        channel->swallow = swallow;
      }
      channel->changed.notify_all();
    });
    if (!waitForAnswer) {
      return false;
    }
    std::unique_lock lock(channel_->mutex);
    const bool settled = channel_->changed.wait_for(lock, answerTimeout_, [&] {
      return channel_->answered >= sequence || channel_->closing || !channel_->delivering;
    });
    if (settled) {
      return channel_->answered == sequence && channel_->swallow;
    }
    lock.unlock();
    switchOff();
    return false;
  }

  // Calls the listener with `call` on the main thread, if there still is one.
  template <typename Call>
  void post(Call call) {
    {
      const std::lock_guard lock(channel_->mutex);
      if (!channel_->delivering) {
        return;
      }
    }
    mainLoop_->post([channel = channel_, call] {
      if (channel->listener != nullptr) {
        call(*channel->listener);
      }
    });
  }

  const bool intercepting_;
  xcb_connection_t* xcb_ = nullptr;
  xcb_window_t root_ = XCB_NONE;
  std::uint8_t xinputOpcode_ = 0;
  xcb_key_symbols_t* symbols_ = nullptr;
  int wakeRead_ = -1;
  int wakeWrite_ = -1;

  // The keyboard thread's own state, from run() on.
  RunLoop* mainLoop_ = nullptr;
  std::shared_ptr<Channel> channel_;
  std::chrono::milliseconds answerTimeout_{0};
  X11ModifierKeys keys_;
  bool interceptionOn_ = false;
  std::vector<std::uint8_t> grabbed_;  // ascending
  std::optional<RawChange> lastRaw_;   // the raw copy of the latest key event, if it was raw
  std::bitset<256> swallowedHeld_;     // keys whose grabbed press was swallowed, until released
  bool grabActive_ = false;            // the keyboard sends us every key until we replay
  std::uint8_t grabKey_ = 0;           // the key whose press activated it
  std::uint64_t sequence_ = 0;
};

X11Keyboard::X11Keyboard(RunLoop& mainLoop, Options options)
    : mainLoop_(mainLoop), options_(std::move(options)), channel_(std::make_shared<Channel>()) {}

X11Keyboard::~X11Keyboard() {
  channel_->listener = nullptr;
  {
    const std::lock_guard lock(channel_->mutex);
    channel_->closing = true;
    channel_->delivering = false;
  }
  channel_->changed.notify_all();
  if (connection_) {
    connection_->wake();
  }
  if (thread_.joinable()) {
    thread_.join();
  }
}

bool X11Keyboard::startListening(KeyboardListener& listener) {
  return start(listener, false);
}

bool X11Keyboard::startIntercepting(KeyboardListener& listener) {
  return start(listener, true);
}

bool X11Keyboard::start(KeyboardListener& listener, bool intercepting) {
  if (connection_) {
    return false;
  }
  std::unique_ptr<Connection> connection = Connection::open(options_.displayName, intercepting);
  if (!connection) {
    return false;
  }
  connection_ = std::move(connection);
  channel_->listener = &listener;
  {
    const std::lock_guard lock(channel_->mutex);
    channel_->delivering = true;
  }
  thread_ = std::thread([connection = connection_.get(), channel = channel_, &mainLoop = mainLoop_,
                         timeout = options_.answerTimeout] { connection->run(mainLoop, channel, timeout); });
  return true;
}

void X11Keyboard::resumeIntercepting() {
  if (!connection_) {
    return;
  }
  {
    const std::lock_guard lock(channel_->mutex);
    channel_->resumeRequested = true;
  }
  connection_->wake();
}

void X11Keyboard::stopDelivering(KeyboardListener& listener) {
  if (channel_->listener != &listener) {
    return;
  }
  channel_->listener = nullptr;
  {
    const std::lock_guard lock(channel_->mutex);
    channel_->delivering = false;
  }
  // A change waiting for its answer passes now.
  channel_->changed.notify_all();
}

}  // namespace Sablekit
