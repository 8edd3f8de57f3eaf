// Types on a test display through XTEST, key by key code (found through the
// display's keysyms), so that each physical key goes down and up on its own.
#pragma once

#include <cstdint>
#include <string>

struct xcb_connection_t;
struct _XCBKeySymbols;  // xcb_key_symbols_t

namespace Sablekit::Testing {

class XTestKeyboard {
 public:
  // Keysyms of the keys the tests press.
  static constexpr std::uint32_t superL = 0xffeb;
  static constexpr std::uint32_t superR = 0xffec;
  static constexpr std::uint32_t shiftL = 0xffe1;
  static constexpr std::uint32_t shiftR = 0xffe2;
  static constexpr std::uint32_t altL = 0xffe9;
  static constexpr std::uint32_t controlR = 0xffe4;
  static constexpr std::uint32_t letterA = 0x61;

  // Throws std::runtime_error when the display or XTEST is not there.
  explicit XTestKeyboard(const std::string& displayName);
  ~XTestKeyboard();
  XTestKeyboard(const XTestKeyboard&) = delete;
  XTestKeyboard& operator=(const XTestKeyboard&) = delete;

  // The first key code carrying `keysym`; throws when no key does.
  std::uint8_t keycodeOf(std::uint32_t keysym);

  // Each returns once the server has processed the fake event.
  void press(std::uint32_t keysym);
  void release(std::uint32_t keysym);
  // The same for a key given by its key code.
  void pressKey(std::uint8_t keycode);
  void releaseKey(std::uint8_t keycode);

 private:
  void fake(std::uint8_t type, std::uint8_t keycode);

  xcb_connection_t* connection_ = nullptr;
  _XCBKeySymbols* symbols_ = nullptr;
};

}  // namespace Sablekit::Testing
