#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "Sablekit/platform/simulated/SimulatedKeyboard.h"

namespace Sablekit {
namespace {

// Answers a fixed verdict and counts what it was told.
class FixedListener final : public KeyboardListener {
 public:
  explicit FixedListener(bool drop) : drop_(drop) {}
  bool modifierChanged(std::uint16_t, std::uint64_t) override {
    ++changes;
    return drop_;
  }
  void interceptionSwitchedOff() override { ++switchOffs; }

  int changes = 0;
  int switchOffs = 0;

 private:
  bool drop_;
};

TEST(SimulatedKeyboard, FlagsFollowTheKeysHeld) {
  SimulatedKeyboard keyboard;
  keyboard.press(KeyCode::leftShift);
  keyboard.press(KeyCode::rightShift);
  keyboard.press(KeyCode::rightCommand);
  keyboard.release(KeyCode::leftShift);
  keyboard.press(KeyCode::leftOption);
  keyboard.release(KeyCode::rightShift);

  const std::vector<std::uint64_t> expected = {
      ModifierFlag::shift,
      ModifierFlag::shift,
      ModifierFlag::shift | ModifierFlag::command,
      ModifierFlag::shift | ModifierFlag::command,
      ModifierFlag::shift | ModifierFlag::command | ModifierFlag::option,
      ModifierFlag::command | ModifierFlag::option,
  };
  ASSERT_EQ(keyboard.changes().size(), expected.size());
  for (std::size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(keyboard.changes()[i].modifierFlags, expected[i]) << "change #" << i;
  }
}

TEST(SimulatedKeyboard, DropsOnlyWhileInterceptionIsOn) {
  FixedListener listening(true);
  SimulatedKeyboard listeningKeyboard;
  ASSERT_TRUE(listeningKeyboard.startListening(listening));
  EXPECT_FALSE(listeningKeyboard.press(KeyCode::leftCommand)) << "a listener cannot drop";
  EXPECT_EQ(listening.changes, 1);
  EXPECT_FALSE(listeningKeyboard.startIntercepting(listening)) << "one installation per keyboard";

  FixedListener intercepting(true);
  SimulatedKeyboard keyboard;
  EXPECT_FALSE(keyboard.press(KeyCode::leftCommand)) << "nothing installed yet";
  ASSERT_TRUE(keyboard.startIntercepting(intercepting));
  EXPECT_TRUE(keyboard.press(KeyCode::rightCommand));

  keyboard.switchInterceptionOff();
  EXPECT_EQ(intercepting.switchOffs, 1);
  EXPECT_FALSE(keyboard.release(KeyCode::rightCommand)) << "passes unseen while off";
  keyboard.resumeIntercepting();
  EXPECT_TRUE(keyboard.release(KeyCode::leftCommand));

  EXPECT_EQ(intercepting.changes, 2);
  EXPECT_EQ(keyboard.droppedChanges(),
            (std::vector<SimulatedKeyboard::Change>{
                {.keyCode = KeyCode::rightCommand,
                 .modifierFlags = ModifierFlag::command,
                 .delivered = true,
                 .dropped = true},
                {.keyCode = KeyCode::leftCommand, .modifierFlags = 0, .delivered = true, .dropped = true},
            }));
}

}  // namespace
}  // namespace Sablekit
