// The keyboard side of the shortcut host: turns Command and Shift changes
// into chord-detector inputs and writes one event line for every recognised
// chord that has an action. In exclusive mode it also swallows the change that
// completed such a chord, and the next change of that same key (its release),
// so that no other application sees a Command press it should not act on.
#pragma once

#include <cstdint>
#include <optional>
#include <set>

#include "Sablekit/platform/Keyboard.h"
#include "Sablekit/platform/StandardStreams.h"
#include "Sablekit/shortcut/ShortcutAction.h"
#include "Sablekit/shortcut/ShortcutEvent.h"
#include "Sablekit/shortcut/ShortcutGestureDetector.h"

namespace Sablekit {

class ShortcutMonitor final : private KeyboardListener {
 public:
  // An absent action means that chord is recognised but neither reported nor
  // swallowed. Nothing is installed until start(). `keyboard` and `output`
  // must outlive the monitor.
  ShortcutMonitor(Keyboard& keyboard,
                  ByteSink& output,
                  std::optional<ShortcutAction> commandCommandAction,
                  std::optional<ShortcutAction> commandCommandShiftAction,
                  bool exclusive);
  // Stops the keyboard from calling into a monitor that is gone; whatever was
  // installed stays installed.
  ~ShortcutMonitor() override;
  ShortcutMonitor(const ShortcutMonitor&) = delete;
  ShortcutMonitor& operator=(const ShortcutMonitor&) = delete;

  // Installs the interception (exclusive) or the listening monitors. Once
  // only, on the main thread, and only by the owner of the shortcut.
  void start();
  // Whether start() got what it asked for from the keyboard.
  bool monitorInstalled() const { return installed_; }

  // Feeds one modifier change; answers whether it must be swallowed, which
  // is never the case outside exclusive mode. Main thread only.
  bool consume(std::uint16_t keyCode, std::uint64_t modifierFlags);

  // Writes one event line to the output.
  void emit(const ShortcutEvent& event);

  std::optional<ShortcutAction> commandCommandAction() const { return commandCommandAction_; }
  std::optional<ShortcutAction> commandCommandShiftAction() const { return commandCommandShiftAction_; }
  bool exclusive() const { return exclusive_; }

 private:
  // KeyboardListener
  bool modifierChanged(std::uint16_t keyCode, std::uint64_t modifierFlags) override;
  void interceptionSwitchedOff() override;

  // Classifies the change and keeps the held-key sets; absent when the
  // detector must not hear of it.
  std::optional<ShortcutGestureInput> inputFor(std::uint16_t keyCode, std::uint64_t modifierFlags);

  Keyboard& keyboard_;
  ByteSink& output_;
  const std::optional<ShortcutAction> commandCommandAction_;
  const std::optional<ShortcutAction> commandCommandShiftAction_;
  const bool exclusive_;
  ShortcutGestureDetector detector_;
  std::set<std::uint16_t> pressedCommandKeyCodes_;
  std::set<std::uint16_t> pressedShiftKeyCodes_;
  // Keys whose last change was swallowed, so that their next one is too.
  std::set<std::uint16_t> suppressedKeyCodes_;
  bool started_ = false;
  bool installed_ = false;
};

}  // namespace Sablekit
