#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "Sablekit/platform/simulated/SimulatedKeyboard.h"
#include "Sablekit/shortcut/ShortcutMonitor.h"
#include "tests/support/MemoryStreams.h"

namespace Sablekit {
namespace {

constexpr std::uint16_t leftCommand = KeyCode::leftCommand;
constexpr std::uint16_t rightCommand = KeyCode::rightCommand;
constexpr std::uint16_t leftShift = KeyCode::leftShift;
constexpr std::uint16_t rightShift = KeyCode::rightShift;
constexpr std::uint16_t leftOption = KeyCode::leftOption;
constexpr std::uint16_t leftControl = KeyCode::leftControl;
constexpr std::uint16_t rightControl = KeyCode::rightControl;
constexpr std::uint64_t commandFlag = ModifierFlag::command;
constexpr std::uint64_t shiftFlag = ModifierFlag::shift;

constexpr bool swallowed = true;
const std::string primaryLine = "{\"event\":\"primary\"}\n";
const std::string searchLine = "{\"event\":\"search\"}\n";

// One scripted change and whether the monitor must swallow it.
struct Key {
  enum class Kind { press, release, raw };
  Kind kind;
  std::uint16_t keyCode;
  bool expectSwallowed = false;
  std::uint64_t flags = 0;  // raw changes only
};

Key down(std::uint16_t keyCode, bool expectSwallowed = false) {
  return {Key::Kind::press, keyCode, expectSwallowed};
}
Key up(std::uint16_t keyCode, bool expectSwallowed = false) {
  return {Key::Kind::release, keyCode, expectSwallowed};
}
// A change whose flags need not match the keys the keyboard thinks are held.
Key raw(std::uint16_t keyCode, std::uint64_t flags, bool expectSwallowed = false) {
  return {Key::Kind::raw, keyCode, expectSwallowed, flags};
}

bool play(SimulatedKeyboard& keyboard, const Key& key) {
  switch (key.kind) {
    case Key::Kind::press:
      return keyboard.press(key.keyCode);
    case Key::Kind::release:
      return keyboard.release(key.keyCode);
    case Key::Kind::raw:
      return keyboard.change(key.keyCode, key.flags);
  }
  return false;
}

struct Scenario {
  std::string name;
  bool exclusive;
  std::optional<ShortcutAction> commandCommandAction;
  std::optional<ShortcutAction> commandCommandShiftAction;
  std::vector<Key> keys;
  std::string output;
};

TEST(ShortcutMonitor, ReportsAndSwallowsConfiguredChords) {
  constexpr auto primary = ShortcutAction::primary;
  constexpr auto search = ShortcutAction::search;
  constexpr std::optional<ShortcutAction> unset;
  const std::vector<Scenario> scenarios = {
      {"exclusive: the completing press and its release are swallowed",
       true,
       primary,
       unset,
       {down(leftCommand), down(rightCommand, swallowed), up(rightCommand, swallowed), up(leftCommand)},
       primaryLine},
      {"listening: reported, nothing swallowed",
       false,
       primary,
       unset,
       {down(leftCommand), down(rightCommand), up(rightCommand), up(leftCommand)},
       primaryLine},
      {"listening: every chord reported once",
       false,
       primary,
       search,
       {down(leftCommand), down(rightCommand), up(rightCommand), down(rightCommand), up(rightCommand), up(leftCommand)},
       primaryLine + primaryLine},
      {"no actions: neither reported nor swallowed",
       true,
       unset,
       unset,
       {down(leftCommand), down(rightCommand), up(rightCommand), up(leftCommand)},
       ""},
      {"shift chord without an action of its own",
       true,
       primary,
       unset,
       {down(leftShift), down(leftCommand), down(rightCommand), up(rightCommand), up(leftCommand), up(leftShift)},
       ""},
      {"only the shift chord configured",
       true,
       unset,
       search,
       {down(rightShift), down(rightCommand), down(leftCommand, swallowed), up(leftCommand, swallowed),
        up(rightCommand), up(rightShift), down(leftCommand), down(rightCommand), up(rightCommand), up(leftCommand)},
       searchLine},
      {"option held: command presses are not recorded",
       true,
       primary,
       unset,
       {down(leftOption), down(leftCommand), down(rightCommand), up(rightCommand), up(leftCommand), up(leftOption)},
       ""},
      {"control held, then a clean chord after it",
       true,
       primary,
       unset,
       {down(rightControl), down(leftCommand), down(rightCommand), up(rightControl), up(rightCommand), up(leftCommand),
        down(leftCommand), down(rightCommand, swallowed), up(rightCommand, swallowed), up(leftCommand)},
       primaryLine},
      {"a command key pressed with option held is still released by its release",
       true,
       primary,
       unset,
       {down(leftOption), down(leftCommand), up(leftOption), down(rightCommand), up(leftCommand), up(rightCommand),
        down(leftCommand), down(rightCommand, swallowed)},
       primaryLine},
      {"a lone command press after a chord made with control completes nothing",
       true,
       primary,
       unset,
       {down(leftControl), down(leftCommand), down(rightCommand), up(leftControl), up(rightCommand), up(leftCommand),
        down(leftCommand), up(leftCommand), down(rightCommand), up(rightCommand)},
       ""},
      {"a lost command release is put right once no command key is down",
       true,
       primary,
       unset,
       // The right key's release never arrives; the left key's release with
       // no Command flag left shows it is up all the same.
       {raw(leftCommand, commandFlag), raw(rightCommand, commandFlag, swallowed), raw(leftCommand, 0),
        raw(leftCommand, commandFlag), raw(leftCommand, 0), raw(rightCommand, commandFlag), raw(rightCommand, 0)},
       primaryLine},
      {"releasing one of two shift keys keeps shift held",
       true,
       primary,
       search,
       {down(leftShift), down(rightShift), up(leftShift), down(leftCommand), down(rightCommand, swallowed),
        up(rightCommand, swallowed), up(leftCommand), up(rightShift)},
       searchLine},
      {"shift released before the chord",
       true,
       primary,
       search,
       {down(leftShift), up(leftShift), down(leftCommand), down(rightCommand, swallowed)},
       primaryLine},
      {"shift changes after the chord report nothing more",
       true,
       primary,
       search,
       {down(leftCommand), down(rightCommand, swallowed), down(leftShift), up(leftShift), up(rightCommand, swallowed),
        up(leftCommand)},
       primaryLine},
      {"caps lock and function neither invalidate nor spoil the command flag",
       true,
       primary,
       unset,
       {raw(KeyCode::capsLock, ModifierFlag::capsLock),
        raw(KeyCode::function, ModifierFlag::capsLock | ModifierFlag::function),
        raw(leftCommand, commandFlag | ModifierFlag::capsLock | ModifierFlag::function),
        raw(rightCommand, commandFlag | ModifierFlag::capsLock | ModifierFlag::function, swallowed)},
       primaryLine},
      {"each re-press fires again and both keys' next changes are swallowed",
       true,
       primary,
       unset,
       {down(leftCommand), down(rightCommand, swallowed), up(leftCommand), down(leftCommand, swallowed),
        up(rightCommand, swallowed), up(leftCommand, swallowed)},
       primaryLine + primaryLine},
      {"a command change without the command flag is no press",
       true,
       primary,
       unset,
       {raw(leftCommand, 0), raw(rightCommand, commandFlag), raw(leftCommand, commandFlag, swallowed)},
       primaryLine},
      {"shift in the flags does not stop a command press",
       true,
       primary,
       search,
       {raw(leftCommand, commandFlag | shiftFlag), raw(rightCommand, commandFlag | shiftFlag, swallowed)},
       primaryLine},
  };

  for (const Scenario& scenario : scenarios) {
    SCOPED_TRACE(scenario.name);
    SimulatedKeyboard keyboard;
    Testing::RecordingByteSink output;
    ShortcutMonitor monitor(keyboard, output, scenario.commandCommandAction, scenario.commandCommandShiftAction,
                            scenario.exclusive);
    monitor.start();
    ASSERT_TRUE(monitor.monitorInstalled());

    for (std::size_t i = 0; i < scenario.keys.size(); ++i) {
      EXPECT_EQ(play(keyboard, scenario.keys[i]), scenario.keys[i].expectSwallowed) << "change #" << i;
    }
    EXPECT_EQ(output.text(), scenario.output);
  }
}

TEST(ShortcutMonitor, NeverAsksToSwallowOutsideExclusiveMode) {
  Testing::RecordingByteSink output;
  SimulatedKeyboard keyboard;
  ShortcutMonitor monitor(keyboard, output, ShortcutAction::primary, ShortcutAction::search, false);

  const std::vector<std::pair<std::uint16_t, std::uint64_t>> changes = {
      {leftShift, shiftFlag},
      {leftCommand, commandFlag | shiftFlag},
      {rightCommand, commandFlag | shiftFlag},
      {rightCommand, commandFlag | shiftFlag},
      {rightCommand, commandFlag | shiftFlag},
      {leftShift, commandFlag},
      {leftCommand, commandFlag},
      {rightCommand, 0},
  };
  for (const auto& [keyCode, flags] : changes) {
    EXPECT_FALSE(monitor.consume(keyCode, flags)) << "key " << keyCode;
  }
  EXPECT_EQ(output.text(), searchLine + searchLine);
}

struct Installation {
  std::string name;
  bool exclusive;
  bool refuseListening;
  bool refuseIntercepting;
  bool installed;
};

TEST(ShortcutMonitor, ReportsWhetherItsModeWasInstalled) {
  const std::vector<Installation> installations = {
      {"listening", false, false, false, true},
      {"listening refused", false, true, false, false},
      {"listening, only interception refused", false, false, true, true},
      {"exclusive", true, false, false, true},
      {"exclusive refused", true, false, true, false},
      {"exclusive, only listening refused", true, true, false, true},
  };

  for (const Installation& installation : installations) {
    SCOPED_TRACE(installation.name);
    SimulatedKeyboard keyboard;
    keyboard.refuseListening(installation.refuseListening).refuseIntercepting(installation.refuseIntercepting);
    Testing::RecordingByteSink output;
    ShortcutMonitor monitor(keyboard, output, ShortcutAction::primary, std::nullopt, installation.exclusive);
    EXPECT_FALSE(monitor.monitorInstalled()) << "nothing is installed before start()";

    monitor.start();
    EXPECT_EQ(monitor.monitorInstalled(), installation.installed);
    const auto expectedMode = !installation.installed  ? SimulatedKeyboard::Mode::none
                              : installation.exclusive ? SimulatedKeyboard::Mode::intercepting
                                                       : SimulatedKeyboard::Mode::listening;
    EXPECT_EQ(keyboard.mode(), expectedMode);

    keyboard.press(leftCommand);
    keyboard.press(rightCommand);
    EXPECT_EQ(output.text(), installation.installed ? primaryLine : "");
  }
}

TEST(ShortcutMonitor, SwitchesInterceptionBackOnAndStartsTheChordAfresh) {
  SimulatedKeyboard keyboard;
  Testing::RecordingByteSink output;
  ShortcutMonitor monitor(keyboard, output, ShortcutAction::primary, std::nullopt, true);
  monitor.start();

  keyboard.press(leftCommand);
  keyboard.switchInterceptionOff();
  EXPECT_TRUE(keyboard.interceptionOn());

  // The left press was made before changes went unseen; it no longer counts.
  EXPECT_FALSE(keyboard.press(rightCommand));
  EXPECT_EQ(output.text(), "");

  keyboard.release(leftCommand);
  EXPECT_TRUE(keyboard.press(leftCommand));
  EXPECT_EQ(output.text(), primaryLine);

  // And again after a second switch-off between chords.
  keyboard.release(leftCommand);
  keyboard.release(rightCommand);
  keyboard.switchInterceptionOff();
  keyboard.press(rightCommand);
  EXPECT_TRUE(keyboard.press(leftCommand));
  EXPECT_EQ(output.text(), primaryLine + primaryLine);
}

TEST(ShortcutMonitor, IsNoLongerCalledOnceGone) {
  SimulatedKeyboard keyboard;
  Testing::RecordingByteSink output;
  auto monitor = std::make_unique<ShortcutMonitor>(keyboard, output, ShortcutAction::primary, std::nullopt, true);
  monitor->start();
  keyboard.press(leftCommand);
  EXPECT_TRUE(keyboard.press(rightCommand));

  monitor.reset();
  EXPECT_FALSE(keyboard.release(rightCommand)) << "the swallowed press's release now passes untouched";
  EXPECT_FALSE(keyboard.changes().back().delivered);
  keyboard.switchInterceptionOff();
  EXPECT_EQ(output.text(), primaryLine);
}

TEST(ShortcutMonitor, EmitsEventsAsLines) {
  SimulatedKeyboard keyboard;
  Testing::RecordingByteSink output;
  ShortcutMonitor monitor(keyboard, output, std::nullopt, std::nullopt, false);
  monitor.emit(ShortcutEvent::health(true, false));
  EXPECT_EQ(output.writes, (std::vector<std::string>{
                               R"({"accessibilityTrusted":true,"event":"health","monitorInstalled":false})", "\n"}));
}

}  // namespace
}  // namespace Sablekit
