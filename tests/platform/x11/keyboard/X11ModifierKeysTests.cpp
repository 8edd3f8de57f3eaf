// Which X keys are which modifier, and the flags of the keys held.
#include <gtest/gtest.h>

#include "Sablekit/platform/Keyboard.h"
#include "Sablekit/platform/x11/keyboard/X11ModifierKeys.h"

namespace Sablekit {
namespace {

using K = X11ModifierKeys;

// A keyboard like the usual evdev one: Super 133/134, Shift 50/62, Control
// 37/105, Alt 64/108, the letter a at 38, Caps Lock at 66.
X11ModifierKeys evdevLike() {
  std::vector<std::uint32_t> keysyms(256 - 8, 0);
  const auto put = [&](int keycode, std::uint32_t keysym) { keysyms[static_cast<std::size_t>(keycode - 8)] = keysym; };
  put(133, K::superL);
  put(134, K::superR);
  put(50, K::shiftL);
  put(62, K::shiftR);
  put(37, K::controlL);
  put(105, K::controlR);
  put(64, K::altL);
  put(108, K::altR);
  put(38, 0x61);
  put(66, 0xffe5);  // Caps_Lock
  X11ModifierKeys keys;
  keys.setMapping(8, keysyms);
  return keys;
}

TEST(X11ModifierKeysTest, KeysMapThroughTheirKeysyms) {
  struct Case {
    std::uint8_t keycode;
    std::optional<std::uint16_t> expected;
  };
  const Case cases[] = {
      {133, KeyCode::leftCommand}, {134, KeyCode::rightCommand},
      {50, KeyCode::leftShift},    {62, KeyCode::rightShift},
      {64, KeyCode::leftOption},   {108, KeyCode::rightOption},
      {37, KeyCode::leftControl},  {105, KeyCode::rightControl},
      {38, std::nullopt},          {66, std::nullopt},
      {7, std::nullopt},
  };
  const X11ModifierKeys keys = evdevLike();
  for (const Case& c : cases) {
    SCOPED_TRACE(int(c.keycode));
    EXPECT_EQ(keys.keyCodeOf(c.keycode), c.expected);
  }
  EXPECT_EQ(keys.keycodesOf(KeyCode::rightCommand), std::vector<std::uint8_t>{134});
}

TEST(X11ModifierKeysTest, FlagsFollowTheHeldKeysAndRepeatsAreNoChange) {
  X11ModifierKeys keys = evdevLike();
  EXPECT_TRUE(keys.press(50));
  EXPECT_TRUE(keys.press(62));
  EXPECT_FALSE(keys.press(62));  // a repeat
  EXPECT_TRUE(keys.press(133));
  EXPECT_FALSE(keys.press(38));  // not a modifier
  EXPECT_EQ(keys.flags(), ModifierFlag::shift | ModifierFlag::command);
  EXPECT_TRUE(keys.release(50));
  EXPECT_EQ(keys.flags(), ModifierFlag::shift | ModifierFlag::command);  // the other Shift is held
  EXPECT_TRUE(keys.release(62));
  EXPECT_FALSE(keys.release(62));  // released twice
  EXPECT_TRUE(keys.press(108));
  EXPECT_TRUE(keys.press(37));
  EXPECT_EQ(keys.flags(), ModifierFlag::command | ModifierFlag::option | ModifierFlag::control);
}

TEST(X11ModifierKeysTest, SeedKeepsOnlyModifiersAndARemapChangesWhatAHeldKeyMeans) {
  X11ModifierKeys keys = evdevLike();
  std::bitset<256> pressed;
  pressed.set(38);
  pressed.set(134);
  keys.seed(pressed);
  EXPECT_EQ(keys.flags(), ModifierFlag::command);
  EXPECT_FALSE(keys.press(134));  // already held

  // Key 134 becomes Shift_R while held.
  std::vector<std::uint32_t> keysyms(256 - 8, 0);
  keysyms[134 - 8] = K::shiftR;
  keys.setMapping(8, keysyms);
  EXPECT_EQ(keys.flags(), ModifierFlag::shift);
  EXPECT_TRUE(keys.release(134));
  EXPECT_EQ(keys.flags(), 0u);
}

}  // namespace
}  // namespace Sablekit
