// A second client on a test display: one window that holds the input focus
// and records the key events it receives, to see what an application would
// have got while the shortcut host was intercepting.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

struct xcb_connection_t;

namespace Sablekit::Testing {

class FocusedKeyWindow {
 public:
  struct KeyEvent {
    bool press = false;
    std::uint8_t keycode = 0;
    bool operator==(const KeyEvent&) const = default;
  };

  // Creates and maps the window and gives it the input focus; returns once
  // the server has done so. Throws std::runtime_error without a display.
  explicit FocusedKeyWindow(const std::string& displayName);
  ~FocusedKeyWindow();
  FocusedKeyWindow(const FocusedKeyWindow&) = delete;
  FocusedKeyWindow& operator=(const FocusedKeyWindow&) = delete;

  // The next key press or release the window received (other events are
  // skipped); absent when `safetySeconds` pass first (a hung test, not a result).
  std::optional<KeyEvent> nextKeyEvent(double safetySeconds = 10.0);

 private:
  xcb_connection_t* connection_ = nullptr;
};

}  // namespace Sablekit::Testing
