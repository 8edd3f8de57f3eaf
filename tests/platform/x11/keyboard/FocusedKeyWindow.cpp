#include "tests/platform/x11/keyboard/FocusedKeyWindow.h"

#include <chrono>
#include <cstdlib>
#include <stdexcept>

#include <poll.h>
#include <xcb/xcb.h>

namespace Sablekit::Testing {

FocusedKeyWindow::FocusedKeyWindow(const std::string& displayName) {
  int screenNumber = 0;
  connection_ = xcb_connect(displayName.c_str(), &screenNumber);
  if (xcb_connection_has_error(connection_) != 0) {
    xcb_disconnect(connection_);
    throw std::runtime_error("cannot open display " + displayName);
  }
  xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(connection_)).data;
  const xcb_window_t window = xcb_generate_id(connection_);
  const std::uint32_t events = XCB_EVENT_MASK_KEY_PRESS | XCB_EVENT_MASK_KEY_RELEASE;
  xcb_create_window(connection_, XCB_COPY_FROM_PARENT, window, screen->root, 10, 10, 300, 200, 0,
                    XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual, XCB_CW_EVENT_MASK, &events);
  xcb_map_window(connection_, window);
  xcb_set_input_focus(connection_, XCB_INPUT_FOCUS_POINTER_ROOT, window, XCB_CURRENT_TIME);
  std::free(xcb_get_input_focus_reply(connection_, xcb_get_input_focus(connection_), nullptr));
}

FocusedKeyWindow::~FocusedKeyWindow() {
  xcb_disconnect(connection_);
}

std::optional<FocusedKeyWindow::KeyEvent> FocusedKeyWindow::nextKeyEvent(double safetySeconds) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(safetySeconds);
  for (;;) {
    while (xcb_generic_event_t* event = xcb_poll_for_event(connection_)) {
      const std::uint8_t type = event->response_type & 0x7f;
      const auto* key = reinterpret_cast<const xcb_key_press_event_t*>(event);
      const KeyEvent found{type == XCB_KEY_PRESS, key->detail};
      std::free(event);
      if (type == XCB_KEY_PRESS || type == XCB_KEY_RELEASE) {
        return found;
      }
    }
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0 || xcb_connection_has_error(connection_) != 0) {
      return std::nullopt;
    }
    pollfd descriptor{xcb_get_file_descriptor(connection_), POLLIN, 0};
    ::poll(&descriptor, 1, static_cast<int>(left.count()));
  }
}

}  // namespace Sablekit::Testing
