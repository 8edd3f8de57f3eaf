// The keyboard contract on the X11 keyboard, on a private Xvfb typed on
// through XTEST; the listener's calls come through the main loop.
#include <chrono>
#include <map>
#include <thread>

#include "Sablekit/platform/x11/keyboard/X11Keyboard.h"
#include "tests/platform/contract/KeyboardContract.h"
#include "tests/platform/x11/keyboard/XTestKeyboard.h"
#include "tests/support/XvfbDisplay.h"

namespace Sablekit::Testing {
namespace {

// The keysym of each platform key code the contract presses.
const std::map<std::uint16_t, std::uint32_t> keysyms{
    {KeyCode::leftCommand, 0xffeb}, {KeyCode::rightCommand, 0xffec}, {KeyCode::leftShift, 0xffe1},
    {KeyCode::rightShift, 0xffe2},  {KeyCode::leftOption, 0xffe9},   {KeyCode::rightOption, 0xffea},
    {KeyCode::leftControl, 0xffe3}, {KeyCode::rightControl, 0xffe4}, {KeyCode::capsLock, 0xffe5},
};

class X11KeyboardArranger final : public KeyboardArranger {
 public:
  static std::string unavailableReason() { return XvfbDisplay::installed() ? "" : "Xvfb is not installed"; }
  static std::unique_ptr<KeyboardArranger> arrange() { return std::make_unique<X11KeyboardArranger>(); }

  Keyboard& keyboard() override { return keyboard_; }
  void press(std::uint16_t keyCode) override { keys_.press(keysyms.at(keyCode)); }
  void release(std::uint16_t keyCode) override { keys_.release(keysyms.at(keyCode)); }
  bool deliverUntil(const std::function<bool()>& done) override {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!done()) {
      if (loop_.runUntilIdle() == 0) {
        if (std::chrono::steady_clock::now() > deadline) {
          return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
      }
    }
    return true;
  }
  // Raw events reach the keyboard's thread within a few milliseconds of the
  // server taking them; a quiet spell of 100 ms means nothing else is coming.
  void settle() override {
    auto quietSince = std::chrono::steady_clock::now();
    while (std::chrono::steady_clock::now() - quietSince < std::chrono::milliseconds(100)) {
      if (loop_.runUntilIdle() > 0) {
        quietSince = std::chrono::steady_clock::now();
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
  }

 private:
  XvfbDisplay display_;
  XTestKeyboard keys_{display_.name()};
  RunLoop loop_;
  X11Keyboard keyboard_{loop_, X11Keyboard::Options{.displayName = display_.name()}};
};

}  // namespace

INSTANTIATE_TYPED_TEST_SUITE_P(X11, KeyboardContract, X11KeyboardArranger);

}  // namespace Sablekit::Testing
