// The X11 keyboard against a private Xvfb, typed on through XTEST.
#include <chrono>
#include <cstdlib>
#include <functional>
#include <thread>
#include <vector>

#include <gtest/gtest.h>
#include <xcb/xcb.h>

#include "Sablekit/platform/x11/keyboard/X11Keyboard.h"
#include "tests/platform/x11/keyboard/FocusedKeyWindow.h"
#include "tests/platform/x11/keyboard/XTestKeyboard.h"
#include "tests/support/XvfbDisplay.h"

namespace Sablekit {
namespace {

using Testing::FocusedKeyWindow;
using Testing::XTestKeyboard;
using Testing::XvfbDisplay;

constexpr std::uint64_t shift = ModifierFlag::shift;
constexpr std::uint64_t command = ModifierFlag::command;
constexpr std::uint64_t option = ModifierFlag::option;
constexpr std::uint64_t control = ModifierFlag::control;

struct Change {
  std::uint16_t keyCode = 0;
  std::uint64_t modifierFlags = 0;
  bool operator==(const Change&) const = default;
};

void PrintTo(const Change& change, std::ostream* out) {
  *out << "{" << change.keyCode << ", 0x" << std::hex << change.modifierFlags << std::dec << "}";
}

// Records every call, checks it comes on the main thread, and swallows the
// changes of the keys it is told to.
class RecordingListener final : public KeyboardListener {
 public:
  bool modifierChanged(std::uint16_t keyCode, std::uint64_t modifierFlags) override {
    offMainThread = offMainThread || std::this_thread::get_id() != mainThread;
    changes.push_back({keyCode, modifierFlags});
    return swallowing(keyCode);
  }
  void interceptionSwitchedOff() override { ++switchedOff; }

  std::function<bool(std::uint16_t)> swallowing = [](std::uint16_t) { return false; };
  std::vector<Change> changes;
  int switchedOff = 0;
  bool offMainThread = false;
  std::thread::id mainThread = std::this_thread::get_id();
};

class X11KeyboardTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!XvfbDisplay::installed()) {
      GTEST_SKIP() << "Xvfb is not installed";
    }
    display_ = std::make_unique<XvfbDisplay>();
    keys_ = std::make_unique<XTestKeyboard>(display_->name());
  }

  X11Keyboard::Options options() const { return {.displayName = display_->name()}; }

  // Serves the main loop until the listener has seen `count` changes; false
  // when they never come (a hung test, not a result).
  bool serveUntil(const std::function<bool()>& done) {
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
  bool serveUntilChanges(std::size_t count) {
    return serveUntil([&] { return listener_.changes.size() >= count; });
  }

  // The key events `application` received up to the release of the letter A
  // (typed last); stops early if the letter never comes.
  std::vector<FocusedKeyWindow::KeyEvent> keysUntilLetterReleased(FocusedKeyWindow& application) {
    const FocusedKeyWindow::KeyEvent letterReleased{false, keys_->keycodeOf(XTestKeyboard::letterA)};
    std::vector<FocusedKeyWindow::KeyEvent> received;
    while (received.empty() || received.back() != letterReleased) {
      const auto event = application.nextKeyEvent();
      if (!event) {
        ADD_FAILURE() << "the application never got the letter";
        break;
      }
      received.push_back(*event);
    }
    return received;
  }

  std::unique_ptr<XvfbDisplay> display_;
  std::unique_ptr<XTestKeyboard> keys_;
  RunLoop loop_;
  RecordingListener listener_;
};

struct KeyStep {
  std::uint32_t keysym;
  bool press;
};

TEST_F(X11KeyboardTest, ListeningReportsEachModifierChangeWithTheFlagsAfterIt) {
  using K = XTestKeyboard;
  struct Case {
    const char* name;
    std::vector<KeyStep> steps;
    std::vector<Change> expected;
  };
  const std::vector<Case> cases = {
      {"both Super keys",
       {{K::superL, true}, {K::superR, true}, {K::superR, false}, {K::superL, false}},
       {{KeyCode::leftCommand, command},
        {KeyCode::rightCommand, command},
        {KeyCode::rightCommand, command},
        {KeyCode::leftCommand, 0}}},
      {"two Shift keys, one released",
       {{K::shiftL, true},
        {K::superL, true},
        {K::shiftR, true},
        {K::shiftL, false},
        {K::shiftR, false},
        {K::superL, false}},
       {{KeyCode::leftShift, shift},
        {KeyCode::leftCommand, shift | command},
        {KeyCode::rightShift, shift | command},
        {KeyCode::leftShift, shift | command},
        {KeyCode::rightShift, command},
        {KeyCode::leftCommand, 0}}},
      {"Alt and Control count, letters do not",
       {{K::altL, true},
        {K::letterA, true},
        {K::letterA, false},
        {K::controlR, true},
        {K::altL, false},
        {K::controlR, false}},
       {{KeyCode::leftOption, option},
        {KeyCode::rightControl, option | control},
        {KeyCode::leftOption, control},
        {KeyCode::rightControl, 0}}},
  };
  X11Keyboard keyboard(loop_, options());
  ASSERT_TRUE(keyboard.startListening(listener_));
  for (const Case& scenario : cases) {
    SCOPED_TRACE(scenario.name);
    listener_.changes.clear();
    for (const KeyStep& step : scenario.steps) {
      step.press ? keys_->press(step.keysym) : keys_->release(step.keysym);
    }
    ASSERT_TRUE(serveUntilChanges(scenario.expected.size()));
    loop_.runUntilIdle();
    EXPECT_EQ(listener_.changes, scenario.expected);
  }
  EXPECT_FALSE(listener_.offMainThread);
  // Only one way of starting succeeds per keyboard.
  EXPECT_FALSE(keyboard.startIntercepting(listener_));
}

TEST_F(X11KeyboardTest, KeysHeldBeforeStartingCountInTheFlags) {
  keys_->press(XTestKeyboard::shiftL);
  X11Keyboard keyboard(loop_, options());
  ASSERT_TRUE(keyboard.startListening(listener_));
  keys_->press(XTestKeyboard::superR);
  ASSERT_TRUE(serveUntilChanges(1));
  EXPECT_EQ(listener_.changes.front(), (Change{KeyCode::rightCommand, shift | command}));
}

TEST_F(X11KeyboardTest, InterceptingSwallowsOnlyTheChangesTheListenerAsksFor) {
  FocusedKeyWindow application(display_->name());
  X11Keyboard keyboard(loop_, options());
  listener_.swallowing = [](std::uint16_t keyCode) { return keyCode == KeyCode::rightCommand; };
  ASSERT_TRUE(keyboard.startIntercepting(listener_));

  // The main loop must answer while the keys go by, so it is served meanwhile.
  std::thread typist([&] {
    keys_->press(XTestKeyboard::superL);
    keys_->press(XTestKeyboard::superR);
    keys_->release(XTestKeyboard::superR);
    keys_->release(XTestKeyboard::superL);
    keys_->press(XTestKeyboard::letterA);
    keys_->release(XTestKeyboard::letterA);
  });
  const bool served = serveUntilChanges(4);
  typist.join();
  ASSERT_TRUE(served);
  EXPECT_EQ(listener_.changes, (std::vector<Change>{{KeyCode::leftCommand, command},
                                                    {KeyCode::rightCommand, command},
                                                    {KeyCode::rightCommand, command},
                                                    {KeyCode::leftCommand, 0}}));

  const std::uint8_t superL = keys_->keycodeOf(XTestKeyboard::superL);
  const std::uint8_t letterA = keys_->keycodeOf(XTestKeyboard::letterA);
  EXPECT_EQ(
      keysUntilLetterReleased(application),
      (std::vector<FocusedKeyWindow::KeyEvent>{{true, superL}, {false, superL}, {true, letterA}, {false, letterA}}));
  EXPECT_FALSE(listener_.offMainThread);
}

// Typed faster than the main thread answers, the changes of one Super key
// share server milliseconds and reach us raw only, grabbed only or both,
// depending on the answers. Each must be delivered exactly once, and each
// answer must land on its own event: pressing Super_R every second time
// swallowed means the application gets exactly the other presses and their
// releases.
TEST_F(X11KeyboardTest, QuickChangesOfOneKeyAreEachDeliveredOnceAndAnsweredOnTheirOwnEvent) {
  constexpr int rounds = 40;
  FocusedKeyWindow application(display_->name());
  X11Keyboard keyboard(loop_, options());
  int presses = 0;
  listener_.swallowing = [&](std::uint16_t keyCode) {
    const bool press = (listener_.changes.back().modifierFlags & command) != 0;
    return keyCode == KeyCode::rightCommand && press && ++presses % 2 == 0;
  };
  ASSERT_TRUE(keyboard.startIntercepting(listener_));

  std::thread typist([&] {
    for (int round = 0; round < 2 * rounds; ++round) {
      keys_->press(XTestKeyboard::superR);
      keys_->release(XTestKeyboard::superR);
    }
    keys_->press(XTestKeyboard::letterA);
    keys_->release(XTestKeyboard::letterA);
  });
  const bool served = serveUntilChanges(4 * rounds);
  typist.join();
  const std::vector<FocusedKeyWindow::KeyEvent> received = keysUntilLetterReleased(application);
  ASSERT_TRUE(served) << listener_.changes.size() << " changes delivered";
  loop_.runUntilIdle();

  std::vector<Change> expectedChanges;
  const std::uint8_t superR = keys_->keycodeOf(XTestKeyboard::superR);
  const std::uint8_t letterA = keys_->keycodeOf(XTestKeyboard::letterA);
  std::vector<FocusedKeyWindow::KeyEvent> expectedKeys;
  for (int round = 0; round < 2 * rounds; ++round) {
    expectedChanges.push_back({KeyCode::rightCommand, command});
    expectedChanges.push_back({KeyCode::rightCommand, 0});
    if (round % 2 == 0) {
      expectedKeys.push_back({true, superR});
      expectedKeys.push_back({false, superR});
    }
  }
  expectedKeys.push_back({true, letterA});
  expectedKeys.push_back({false, letterA});
  EXPECT_EQ(listener_.changes, expectedChanges);
  EXPECT_EQ(received, expectedKeys);
  EXPECT_EQ(listener_.switchedOff, 0);
}

TEST_F(X11KeyboardTest, AfterStopDeliveringInterceptedKeysPassUntouched) {
  FocusedKeyWindow application(display_->name());
  X11Keyboard keyboard(loop_, options());
  listener_.swallowing = [](std::uint16_t) { return true; };
  ASSERT_TRUE(keyboard.startIntercepting(listener_));
  keyboard.stopDelivering(listener_);

  // Nobody serves the main loop now: the keys must pass without an answer.
  keys_->press(XTestKeyboard::superR);
  keys_->release(XTestKeyboard::superR);
  const std::uint8_t superR = keys_->keycodeOf(XTestKeyboard::superR);
  EXPECT_EQ(application.nextKeyEvent(), (FocusedKeyWindow::KeyEvent{true, superR}));
  EXPECT_EQ(application.nextKeyEvent(), (FocusedKeyWindow::KeyEvent{false, superR}));
  loop_.runUntilIdle();
  EXPECT_TRUE(listener_.changes.empty());
}

TEST_F(X11KeyboardTest, InterceptingIsRefusedWhenAnotherClientHoldsASuperGrab) {
  xcb_connection_t* other = xcb_connect(display_->name().c_str(), nullptr);
  const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(other)).data->root;
  xcb_generic_error_t* error = xcb_request_check(
      other, xcb_grab_key_checked(other, 0, root, XCB_MOD_MASK_ANY, keys_->keycodeOf(XTestKeyboard::superR),
                                  XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC));
  ASSERT_EQ(error, nullptr);

  X11Keyboard keyboard(loop_, options());
  EXPECT_FALSE(keyboard.startIntercepting(listener_));
  // Nothing of the refused start is left: the left Super key, which was free,
  // still reaches the other client's passive grab chain untouched, and
  // listening can start instead.
  EXPECT_TRUE(keyboard.startListening(listener_));
  keys_->press(XTestKeyboard::superL);
  keys_->release(XTestKeyboard::superL);
  ASSERT_TRUE(serveUntilChanges(2));
  xcb_disconnect(other);
}

// Whether `client` may grab `keycode` with any modifiers (and lets it go again).
bool grabIsFree(xcb_connection_t* client, std::uint8_t keycode) {
  const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(client)).data->root;
  xcb_generic_error_t* error = xcb_request_check(
      client,
      xcb_grab_key_checked(client, 0, root, XCB_MOD_MASK_ANY, keycode, XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC));
  if (error != nullptr) {
    std::free(error);
    return false;
  }
  xcb_ungrab_key(client, keycode, root, XCB_MOD_MASK_ANY);
  std::free(xcb_get_input_focus_reply(client, xcb_get_input_focus(client), nullptr));
  return true;
}

TEST_F(X11KeyboardTest, ARemappedSuperKeySwitchesTheInterceptionOffUntilResumed) {
  X11Keyboard keyboard(loop_, options());
  ASSERT_TRUE(keyboard.startIntercepting(listener_));
  xcb_connection_t* other = xcb_connect(display_->name().c_str(), nullptr);
  const std::uint8_t superR = keys_->keycodeOf(XTestKeyboard::superR);
  const std::uint8_t letterA = keys_->keycodeOf(XTestKeyboard::letterA);
  ASSERT_FALSE(grabIsFree(other, superR));

  // Super_R moves to the key of the letter A.
  xcb_get_keyboard_mapping_reply_t* mapping =
      xcb_get_keyboard_mapping_reply(other, xcb_get_keyboard_mapping(other, letterA, 1), nullptr);
  ASSERT_NE(mapping, nullptr);
  std::vector<xcb_keysym_t> keysyms(mapping->keysyms_per_keycode, XCB_NO_SYMBOL);
  keysyms[0] = XTestKeyboard::superR;
  xcb_change_keyboard_mapping(other, 1, letterA, mapping->keysyms_per_keycode, keysyms.data());
  xcb_flush(other);
  std::free(mapping);

  ASSERT_TRUE(serveUntil([&] { return listener_.switchedOff == 1; }));
  EXPECT_TRUE(grabIsFree(other, letterA));
  xcb_disconnect(other);

  // While off, changes go by unseen; once resumed they are delivered again,
  // and by then the Super keys as they are now are grabbed.
  FocusedKeyWindow application(display_->name());
  listener_.changes.clear();
  keyboard.resumeIntercepting();
  int pumps = 0;
  ASSERT_TRUE(serveUntil([&] {
    ++pumps;
    keys_->press(XTestKeyboard::shiftL);
    keys_->release(XTestKeyboard::shiftL);
    loop_.runUntilIdle();
    return !listener_.changes.empty();
  }));
  // A last key after the pumps: once it is delivered, so are they.
  keys_->press(XTestKeyboard::controlR);
  keys_->release(XTestKeyboard::controlR);
  ASSERT_TRUE(serveUntil([&] { return listener_.changes.back() == Change{KeyCode::rightControl, 0}; }));
  listener_.changes.clear();
  listener_.swallowing = [](std::uint16_t keyCode) { return keyCode == KeyCode::rightCommand; };
  std::thread typist([&] {
    keys_->pressKey(letterA);
    keys_->releaseKey(letterA);
    keys_->press(XTestKeyboard::shiftL);
    keys_->release(XTestKeyboard::shiftL);
  });
  const bool served = serveUntilChanges(4);
  typist.join();
  ASSERT_TRUE(served);
  EXPECT_EQ(listener_.switchedOff, 1);
  EXPECT_EQ(listener_.changes.front(), (Change{KeyCode::rightCommand, command}));
  const std::uint8_t shiftL = keys_->keycodeOf(XTestKeyboard::shiftL);
  int shiftReleases = 0;
  while (shiftReleases < pumps + 1) {  // the pumps' and the typist's
    const auto event = application.nextKeyEvent();
    ASSERT_TRUE(event);
    EXPECT_NE(event->keycode, letterA) << "the remapped Super key reached the application, press " << event->press;
    shiftReleases += *event == FocusedKeyWindow::KeyEvent{false, shiftL} ? 1 : 0;
  }
}

}  // namespace
}  // namespace Sablekit
