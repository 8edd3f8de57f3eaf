// A keyboard driven by a test: the test presses and releases modifier keys
// (or sends raw changes with flags of its choosing), can switch the
// interception off as the platform would, and can make either way of
// installing refuse. Every change is logged with what became of it.
// Changes are delivered synchronously on the calling thread, which plays the
// main thread. A scenario can also script the changes to replay later.
#pragma once

#include <cstdint>
#include <set>
#include <vector>

#include <nlohmann/json_fwd.hpp>

#include "Sablekit/platform/Keyboard.h"

namespace Sablekit {

class SimulatedKeyboard final : public Keyboard {
 public:
  enum class Mode { none, listening, intercepting };

  // One change as it went by.
  struct Change {
    std::uint16_t keyCode = 0;
    std::uint64_t modifierFlags = 0;
    bool delivered = false;  // a listener was told
    bool dropped = false;    // the interception swallowed it

    bool operator==(const Change&) const = default;
  };

  SimulatedKeyboard() = default;
  SimulatedKeyboard(const SimulatedKeyboard&) = delete;
  SimulatedKeyboard& operator=(const SimulatedKeyboard&) = delete;

  // Makes startListening() / startIntercepting() answer false.
  SimulatedKeyboard& refuseListening(bool refuse = true);
  SimulatedKeyboard& refuseIntercepting(bool refuse = true);

  // A key goes down or up; the flags are computed from the keys held
  // afterwards (Caps Lock and Function count as held while down). Answers
  // whether the change was dropped.
  bool press(std::uint16_t keyCode);
  bool release(std::uint16_t keyCode);
  // A change with exactly these flags; the held keys are not touched.
  bool change(std::uint16_t keyCode, std::uint64_t modifierFlags);

  // The platform switches the interception off and tells the listener; until
  // it is resumed, changes pass unseen.
  void switchInterceptionOff();

  // Reads the scenario's "keyboard" section (format in
  // docs/scenario-keyboard.md): the refusals and the script of changes.
  // Throws ScenarioError naming the offending path; nothing is changed then.
  void loadScenario(const nlohmann::json& section);
  // Replays the scripted changes in order, as press(), release() and
  // change() would, then forgets them. Answers how many were replayed.
  std::size_t playScript();

  Mode mode() const { return mode_; }
  bool interceptionOn() const { return mode_ == Mode::intercepting && interceptionOn_; }
  const std::vector<Change>& changes() const { return changes_; }
  std::vector<Change> droppedChanges() const;
  // The flags a change would carry with the keys held right now.
  std::uint64_t currentFlags() const;

  // Keyboard
  bool startListening(KeyboardListener& listener) override;
  bool startIntercepting(KeyboardListener& listener) override;
  void resumeIntercepting() override;
  void stopDelivering(KeyboardListener& listener) override;

 private:
  bool install(Mode mode, bool refused, KeyboardListener& listener);

  // One scripted step: a press, a release, or a change with its own flags.
  struct ScriptedChange {
    enum class Kind { press, release, change };
    Kind kind = Kind::change;
    std::uint16_t keyCode = 0;
    std::uint64_t modifierFlags = 0;  // for Kind::change only
  };

  bool refuseListening_ = false;
  bool refuseIntercepting_ = false;
  Mode mode_ = Mode::none;
  bool interceptionOn_ = false;
  KeyboardListener* listener_ = nullptr;
  std::set<std::uint16_t> heldKeys_;
  std::vector<Change> changes_;
  std::vector<ScriptedChange> script_;
};

}  // namespace Sablekit
