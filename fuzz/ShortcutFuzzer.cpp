// Fuzz target: arbitrary input sequences for the chord detector and arbitrary
// modifier changes for the shortcut monitor. A chord is never reported twice
// without a Command key let go in between, and the monitor writes nothing but
// whole event lines.
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include <fuzzer/FuzzedDataProvider.h>

#include "Sablekit/platform/Keyboard.h"
#include "Sablekit/platform/simulated/SimulatedKeyboard.h"
#include "Sablekit/shortcut/ShortcutGestureDetector.h"
#include "Sablekit/shortcut/ShortcutMonitor.h"

namespace {

using namespace Sablekit;

void require(bool condition) {
  if (!condition) {
    std::abort();
  }
}

class RecordingSink final : public ByteSink {
 public:
  void write(std::string_view bytes) override { text.append(bytes); }
  std::string text;
};

void fuzzDetector(FuzzedDataProvider& input) {
  ShortcutGestureDetector detector;
  bool left = false;
  bool right = false;
  bool releasedSinceReport = true;
  const std::size_t steps = input.ConsumeIntegralInRange<std::size_t>(0, 64);
  for (std::size_t step = 0; step < steps; ++step) {
    const auto next = static_cast<ShortcutGestureInput>(
        input.ConsumeIntegralInRange<int>(0, static_cast<int>(ShortcutGestureInput::invalidatingModifier)));
    switch (next) {
      case ShortcutGestureInput::leftCommandDown:
        left = true;
        break;
      case ShortcutGestureInput::rightCommandDown:
        right = true;
        break;
      case ShortcutGestureInput::leftCommandUp:
        left = false;
        releasedSinceReport = true;
        break;
      case ShortcutGestureInput::rightCommandUp:
        right = false;
        releasedSinceReport = true;
        break;
      case ShortcutGestureInput::invalidatingModifier:
        left = right = false;
        releasedSinceReport = true;
        break;
      default:
        break;
    }
    if (detector.consume(next)) {
      require(left && right);
      require(releasedSinceReport);
      releasedSinceReport = false;
    }
  }
}

void fuzzMonitor(FuzzedDataProvider& input) {
  // Command, Shift, the invalidating modifiers and one unrelated key.
  static constexpr std::array<std::uint16_t, 9> keyCodes = {55, 54, 56, 60, 58, 61, 59, 62, 0};
  SimulatedKeyboard keyboard;
  RecordingSink output;
  const bool exclusive = input.ConsumeBool();
  ShortcutMonitor monitor(keyboard, output, ShortcutAction::primary, ShortcutAction::search, exclusive);
  // Command and invalidating-modifier changes since the last event line.
  std::size_t chordKeyChanges = 2;
  const std::size_t steps = input.ConsumeIntegralInRange<std::size_t>(0, 64);
  for (std::size_t step = 0; step < steps; ++step) {
    const std::uint16_t keyCode = keyCodes[input.ConsumeIntegralInRange<std::size_t>(0, keyCodes.size() - 1)];
    // Mostly the flags that matter, sometimes anything.
    const std::uint64_t flags = input.ConsumeBool() ? input.ConsumeIntegral<std::uint64_t>()
                                                    : (input.ConsumeBool() ? ModifierFlag::command : 0) |
                                                          (input.ConsumeBool() ? ModifierFlag::shift : 0) |
                                                          (input.ConsumeBool() ? ModifierFlag::control : 0);
    if (keyCode != 56 && keyCode != 60 && keyCode != 0) {
      ++chordKeyChanges;
    }
    const std::size_t before = output.text.size();
    const bool swallowed = monitor.consume(keyCode, flags);
    require(exclusive || !swallowed);
    if (output.text.size() != before) {
      const std::string line = output.text.substr(before);
      require(line == "{\"event\":\"primary\"}\n" || line == "{\"event\":\"search\"}\n");
      // The completing press, and before it at least a release of the last chord.
      require(chordKeyChanges >= 2);
      chordKeyChanges = 0;
      require(!exclusive || swallowed);
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider input(data, size);
  if (input.ConsumeBool()) {
    fuzzDetector(input);
  } else {
    fuzzMonitor(input);
  }
  return 0;
}
