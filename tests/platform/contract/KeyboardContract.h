// The keyboard contract: what every backend's keyboard promises the shortcut
// monitor — each change of a modifier key with the flags after it, computed
// from the one table of held modifiers, on the main thread, and nothing once
// delivery stops — written once and instantiated for each backend with that
// backend's arranger. An arranger type provides, besides KeyboardArranger:
//   static std::string unavailableReason();  // empty when the suite can run here
//   static std::unique_ptr<KeyboardArranger> arrange();
#pragma once

#include <memory>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "tests/platform/contract/KeyboardArranger.h"

namespace Sablekit::Testing {

struct KeyChange {
  std::uint16_t keyCode = 0;
  std::uint64_t modifierFlags = 0;
  bool operator==(const KeyChange&) const = default;
};

inline void PrintTo(const KeyChange& change, std::ostream* out) {
  *out << "{" << change.keyCode << ", 0x" << std::hex << change.modifierFlags << std::dec << "}";
}

// Records every call and where it came from; answers `drop` to each change.
class RecordingKeyboardListener final : public KeyboardListener {
 public:
  bool modifierChanged(std::uint16_t keyCode, std::uint64_t modifierFlags) override {
    offMainThread = offMainThread || std::this_thread::get_id() != mainThread;
    changes.push_back({keyCode, modifierFlags});
    return drop;
  }
  void interceptionSwitchedOff() override {}

  bool drop = false;
  std::vector<KeyChange> changes;
  bool offMainThread = false;
  const std::thread::id mainThread = std::this_thread::get_id();
};

template <class Arranger>
class KeyboardContract : public ::testing::Test {
 protected:
  void SetUp() override {
    if (const std::string reason = Arranger::unavailableReason(); !reason.empty()) {
      GTEST_SKIP() << reason;
    }
    arranger_ = Arranger::arrange();
  }
  void TearDown() override {
    if (arranger_) {
      arranger_->keyboard().stopDelivering(listener_);
    }
  }

  KeyboardArranger& arranger() { return *arranger_; }

  // Presses (true) and releases (false) keys in order and waits for the
  // changes they make; what the listener saw, in order.
  std::vector<KeyChange> type(const std::vector<std::pair<std::uint16_t, bool>>& steps, std::size_t expected) {
    listener_.changes.clear();
    for (const auto& [keyCode, press] : steps) {
      press ? arranger_->press(keyCode) : arranger_->release(keyCode);
    }
    EXPECT_TRUE(arranger_->deliverUntil([&] { return listener_.changes.size() >= expected; }))
        << listener_.changes.size() << " of " << expected << " changes came";
    arranger_->settle();
    return listener_.changes;
  }

  RecordingKeyboardListener listener_;
  std::unique_ptr<KeyboardArranger> arranger_;
};

TYPED_TEST_SUITE_P(KeyboardContract);

TYPED_TEST_P(KeyboardContract, EachModifierKeyHoldsItsFlagFromTheTableWhileDown) {
  ASSERT_TRUE(this->arranger().keyboard().startListening(this->listener_));
  for (const HeldModifier& modifier : heldModifiers) {
    SCOPED_TRACE("key code " + std::to_string(modifier.keyCode));
    EXPECT_EQ(this->type({{modifier.keyCode, true}, {modifier.keyCode, false}}, 2),
              (std::vector<KeyChange>{{modifier.keyCode, modifier.flag}, {modifier.keyCode, 0}}));
  }
  EXPECT_FALSE(this->listener_.offMainThread);
}

TYPED_TEST_P(KeyboardContract, TheFlagsOfAChangeAreThoseOfEveryKeyHeldAfterIt) {
  ASSERT_TRUE(this->arranger().keyboard().startListening(this->listener_));
  const std::vector<KeyChange> changes = this->type({{KeyCode::leftShift, true},
                                                     {KeyCode::rightCommand, true},
                                                     {KeyCode::leftOption, true},
                                                     {KeyCode::leftShift, false},
                                                     {KeyCode::rightCommand, false},
                                                     {KeyCode::leftOption, false}},
                                                    6);
  // Shift 0x20000, Option 0x80000, Command 0x100000.
  EXPECT_EQ(changes, (std::vector<KeyChange>{{KeyCode::leftShift, 0x20000},
                                             {KeyCode::rightCommand, 0x120000},
                                             {KeyCode::leftOption, 0x1a0000},
                                             {KeyCode::leftShift, 0x180000},
                                             {KeyCode::rightCommand, 0x80000},
                                             {KeyCode::leftOption, 0}}));
}

TYPED_TEST_P(KeyboardContract, CapsLockHoldsNoFlag) {
  ASSERT_TRUE(this->arranger().keyboard().startListening(this->listener_));
  const std::vector<KeyChange> changes = this->type({{KeyCode::capsLock, true},
                                                     {KeyCode::leftCommand, true},
                                                     {KeyCode::leftCommand, false},
                                                     {KeyCode::capsLock, false}},
                                                    2);
  std::vector<KeyChange> commandChanges;
  for (const KeyChange& change : changes) {
    EXPECT_EQ(change.modifierFlags & ModifierFlag::capsLock, 0u) << "key code " << change.keyCode;
    if (change.keyCode == KeyCode::leftCommand) {
      commandChanges.push_back(change);
    }
  }
  EXPECT_EQ(commandChanges,
            (std::vector<KeyChange>{{KeyCode::leftCommand, ModifierFlag::command}, {KeyCode::leftCommand, 0}}));
}

TYPED_TEST_P(KeyboardContract, OneStartPerKeyboardAndNothingOnceDeliveryStops) {
  Keyboard& keyboard = this->arranger().keyboard();
  ASSERT_TRUE(keyboard.startListening(this->listener_));
  EXPECT_FALSE(keyboard.startIntercepting(this->listener_));
  EXPECT_FALSE(keyboard.startListening(this->listener_));
  EXPECT_EQ(this->type({{KeyCode::rightShift, true}}, 1),
            (std::vector<KeyChange>{{KeyCode::rightShift, ModifierFlag::shift}}));
  keyboard.stopDelivering(this->listener_);
  this->listener_.changes.clear();
  this->arranger().release(KeyCode::rightShift);
  this->arranger().press(KeyCode::leftCommand);
  this->arranger().release(KeyCode::leftCommand);
  this->arranger().settle();
  EXPECT_TRUE(this->listener_.changes.empty()) << this->listener_.changes.size() << " changes after stopping";
}

REGISTER_TYPED_TEST_SUITE_P(KeyboardContract,
                            EachModifierKeyHoldsItsFlagFromTheTableWhileDown,
                            TheFlagsOfAChangeAreThoseOfEveryKeyHeldAfterIt,
                            CapsLockHoldsNoFlag,
                            OneStartPerKeyboardAndNothingOnceDeliveryStops);

}  // namespace Sablekit::Testing
