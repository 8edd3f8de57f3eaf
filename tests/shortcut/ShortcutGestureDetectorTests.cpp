#include <array>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "Sablekit/shortcut/ShortcutGestureDetector.h"

namespace Sablekit {
namespace {

using enum ShortcutGestureInput;
constexpr std::optional<ShortcutGesture> none = std::nullopt;
constexpr std::optional<ShortcutGesture> plain = ShortcutGesture::commandCommand;
constexpr std::optional<ShortcutGesture> shifted = ShortcutGesture::commandCommandShift;

struct Step {
  ShortcutGestureInput input;
  std::optional<ShortcutGesture> expected;
};

struct Sequence {
  std::string name;
  std::vector<Step> steps;
};

TEST(ShortcutGestureDetector, AnswersEachInputOfAChordSequence) {
  const std::vector<Sequence> sequences = {
      // Shift is held when left goes down again, so the second chord carries it.
      {"one chord, then shift and a re-press of left",
       {{leftCommandDown, none},
        {rightCommandDown, plain},
        {shiftDown, none},
        {leftCommandUp, none},
        {leftCommandDown, shifted}}},
      {"shift first", {{shiftDown, none}, {leftCommandDown, none}, {rightCommandDown, shifted}}},
      {"shift between the command keys", {{leftCommandDown, none}, {shiftDown, none}, {rightCommandDown, shifted}}},
      {"right before left", {{rightCommandDown, none}, {leftCommandDown, plain}}},
      {"releasing shift while held reports nothing",
       {{shiftDown, none}, {leftCommandDown, none}, {rightCommandDown, shifted}, {shiftUp, none}, {shiftDown, none}}},
      {"shift released before the chord",
       {{shiftDown, none}, {leftCommandDown, none}, {shiftUp, none}, {rightCommandDown, plain}}},
      {"re-pressing right fires again",
       {{leftCommandDown, none}, {rightCommandDown, plain}, {rightCommandUp, none}, {rightCommandDown, plain}}},
      {"invalidated left no longer counts",
       {{leftCommandDown, none}, {invalidatingModifier, none}, {rightCommandDown, none}, {leftCommandDown, plain}}},
      {"invalidating forgets shift",
       {{shiftDown, none}, {invalidatingModifier, none}, {leftCommandDown, none}, {rightCommandDown, plain}}},
      {"invalidating mid-chord arms the next one",
       {{leftCommandDown, none},
        {rightCommandDown, plain},
        {invalidatingModifier, none},
        {leftCommandDown, none},
        {rightCommandDown, plain}}},
      {"releases without presses",
       {{leftCommandUp, none},
        {rightCommandUp, none},
        {shiftUp, none},
        {leftCommandDown, none},
        {rightCommandDown, plain}}},
      {"repeated down reports once",
       {{rightCommandDown, none}, {leftCommandDown, plain}, {leftCommandDown, none}, {rightCommandDown, none}}},
      {"one key alone never fires", {{leftCommandDown, none}, {leftCommandUp, none}, {leftCommandDown, none}}},
  };

  for (const Sequence& sequence : sequences) {
    SCOPED_TRACE(sequence.name);
    ShortcutGestureDetector detector;
    for (std::size_t i = 0; i < sequence.steps.size(); ++i) {
      SCOPED_TRACE("input #" + std::to_string(i));
      EXPECT_EQ(detector.consume(sequence.steps[i].input), sequence.steps[i].expected);
    }
  }
}

TEST(ShortcutGestureDetector, InvalidatingForgetsEverythingHeld) {
  ShortcutGestureDetector detector;
  detector.consume(shiftDown);
  detector.consume(leftCommandDown);
  ASSERT_EQ(detector.consume(rightCommandDown), shifted);
  ASSERT_TRUE(detector.emittedForCurrentChord());

  EXPECT_EQ(detector.consume(invalidatingModifier), none);
  EXPECT_EQ(detector, ShortcutGestureDetector());
}

// Checks every sequence of six inputs against the chord rules, kept here in
// terms of the keys the sequence holds down: a chord is reported exactly when
// both Command keys are held and it has not been reported since a Command key
// was last released (or the state invalidated), only ever as a Command key
// goes down, and with Shift exactly when a Shift press is the latest Shift
// change since the last invalidation.
TEST(ShortcutGestureDetector, EverySequenceObeysTheChordRules) {
  constexpr std::array inputs = {leftCommandDown, leftCommandUp, rightCommandDown,    rightCommandUp,
                                 shiftDown,       shiftUp,       invalidatingModifier};
  constexpr std::size_t length = 6;
  std::size_t total = 1;
  for (std::size_t i = 0; i < length; ++i) {
    total *= inputs.size();
  }

  std::size_t gesturesSeen = 0;
  for (std::size_t code = 0; code < total; ++code) {
    ShortcutGestureDetector detector;
    bool leftHeld = false;
    bool rightHeld = false;
    bool shiftHeld = false;
    bool armed = true;
    std::string trail;
    std::size_t rest = code;
    for (std::size_t i = 0; i < length; ++i) {
      const ShortcutGestureInput input = inputs[rest % inputs.size()];
      rest /= inputs.size();
      trail += std::to_string(static_cast<int>(input));

      switch (input) {
        case leftCommandDown:
          leftHeld = true;
          break;
        case rightCommandDown:
          rightHeld = true;
          break;
        case leftCommandUp:
          leftHeld = false;
          armed = true;
          break;
        case rightCommandUp:
          rightHeld = false;
          armed = true;
          break;
        case shiftDown:
        case shiftUp:
          shiftHeld = input == shiftDown;
          break;
        case invalidatingModifier:
          leftHeld = rightHeld = shiftHeld = false;
          armed = true;
          break;
      }

      const std::optional<ShortcutGesture> gesture = detector.consume(input);
      ASSERT_EQ(gesture.has_value(), leftHeld && rightHeld && armed) << "inputs " << trail;
      if (gesture) {
        ++gesturesSeen;
        ASSERT_TRUE(input == leftCommandDown || input == rightCommandDown) << "inputs " << trail;
        ASSERT_EQ(*gesture, shiftHeld ? ShortcutGesture::commandCommandShift : ShortcutGesture::commandCommand)
            << "inputs " << trail;
        armed = false;
      }
    }
  }
  EXPECT_GT(gesturesSeen, 0u);
}

TEST(ShortcutGesture, IsBuiltFromItsExactName) {
  EXPECT_EQ(fromRawValue<ShortcutGesture>("commandCommand"), ShortcutGesture::commandCommand);
  EXPECT_EQ(fromRawValue<ShortcutGesture>("commandCommandShift"), ShortcutGesture::commandCommandShift);
  EXPECT_EQ(rawValue(ShortcutGesture::commandCommandShift), "commandCommandShift");
  EXPECT_EQ(fromRawValue<ShortcutGesture>("CommandCommand"), std::nullopt);
  EXPECT_EQ(fromRawValue<ShortcutGesture>("command-command"), std::nullopt);
}

}  // namespace
}  // namespace Sablekit
