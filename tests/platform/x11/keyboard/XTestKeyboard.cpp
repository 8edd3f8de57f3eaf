#include "tests/platform/x11/keyboard/XTestKeyboard.h"

#include <cstdlib>
#include <memory>
#include <stdexcept>

#include <xcb/xcb.h>
#include <xcb/xcb_keysyms.h>
#include <xcb/xtest.h>

namespace Sablekit::Testing {

XTestKeyboard::XTestKeyboard(const std::string& displayName) {
  connection_ = xcb_connect(displayName.c_str(), nullptr);
  if (xcb_connection_has_error(connection_) != 0) {
    xcb_disconnect(connection_);
    throw std::runtime_error("cannot open display " + displayName);
  }
  const xcb_query_extension_reply_t* xtest = xcb_get_extension_data(connection_, &xcb_test_id);
  symbols_ = xcb_key_symbols_alloc(connection_);
  if (xtest == nullptr || xtest->present == 0 || symbols_ == nullptr) {
    if (symbols_ != nullptr) {
      xcb_key_symbols_free(symbols_);
    }
    xcb_disconnect(connection_);
    throw std::runtime_error("no XTEST on " + displayName);
  }
}

XTestKeyboard::~XTestKeyboard() {
  xcb_key_symbols_free(symbols_);
  xcb_disconnect(connection_);
}

std::uint8_t XTestKeyboard::keycodeOf(std::uint32_t keysym) {
  const std::unique_ptr<xcb_keycode_t, decltype(&std::free)> keycodes(xcb_key_symbols_get_keycode(symbols_, keysym),
                                                                      &std::free);
  if (!keycodes || keycodes.get()[0] == XCB_NO_SYMBOL) {
    throw std::runtime_error("no key for keysym " + std::to_string(keysym));
  }
  return keycodes.get()[0];
}

void XTestKeyboard::press(std::uint32_t keysym) {
  fake(XCB_KEY_PRESS, keycodeOf(keysym));
}

void XTestKeyboard::release(std::uint32_t keysym) {
  fake(XCB_KEY_RELEASE, keycodeOf(keysym));
}

void XTestKeyboard::pressKey(std::uint8_t keycode) {
  fake(XCB_KEY_PRESS, keycode);
}

void XTestKeyboard::releaseKey(std::uint8_t keycode) {
  fake(XCB_KEY_RELEASE, keycode);
}

void XTestKeyboard::fake(std::uint8_t type, std::uint8_t keycode) {
  xcb_test_fake_input(connection_, type, keycode, XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
  // A round trip: the fake event has been processed when the reply comes.
  std::free(xcb_get_input_focus_reply(connection_, xcb_get_input_focus(connection_), nullptr));
}

}  // namespace Sablekit::Testing
