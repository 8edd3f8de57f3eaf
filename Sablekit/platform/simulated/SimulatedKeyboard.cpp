#include "Sablekit/platform/simulated/SimulatedKeyboard.h"

namespace Sablekit {

namespace {

std::uint64_t flagOf(std::uint16_t keyCode) {
  switch (keyCode) {
    case KeyCode::leftCommand:
    case KeyCode::rightCommand:
      return ModifierFlag::command;
    case KeyCode::leftShift:
    case KeyCode::rightShift:
      return ModifierFlag::shift;
    case KeyCode::leftOption:
    case KeyCode::rightOption:
      return ModifierFlag::option;
    case KeyCode::leftControl:
    case KeyCode::rightControl:
      return ModifierFlag::control;
    case KeyCode::capsLock:
      return ModifierFlag::capsLock;
    case KeyCode::function:
      return ModifierFlag::function;
    default:
      return 0;
  }
}

}  // namespace

SimulatedKeyboard& SimulatedKeyboard::refuseListening(bool refuse) {
  refuseListening_ = refuse;
  return *this;
}

SimulatedKeyboard& SimulatedKeyboard::refuseIntercepting(bool refuse) {
  refuseIntercepting_ = refuse;
  return *this;
}

std::uint64_t SimulatedKeyboard::currentFlags() const {
  std::uint64_t flags = 0;
  for (const std::uint16_t key : heldKeys_) {
    flags |= flagOf(key);
  }
  return flags;
}

bool SimulatedKeyboard::press(std::uint16_t keyCode) {
  heldKeys_.insert(keyCode);
  return change(keyCode, currentFlags());
}

bool SimulatedKeyboard::release(std::uint16_t keyCode) {
  heldKeys_.erase(keyCode);
  return change(keyCode, currentFlags());
}

bool SimulatedKeyboard::change(std::uint16_t keyCode, std::uint64_t modifierFlags) {
  Change logged{.keyCode = keyCode, .modifierFlags = modifierFlags};
  const bool seen = listener_ != nullptr && (mode_ == Mode::listening || interceptionOn());
  if (seen) {
    logged.delivered = true;
    const bool answer = listener_->modifierChanged(keyCode, modifierFlags);
    // A listener is not given the power to drop changes it only listens to.
    logged.dropped = answer && mode_ == Mode::intercepting;
  }
  changes_.push_back(logged);
  return logged.dropped;
}

void SimulatedKeyboard::switchInterceptionOff() {
  if (!interceptionOn()) {
    return;
  }
  interceptionOn_ = false;
  if (listener_ != nullptr) {
    listener_->interceptionSwitchedOff();
  }
}

std::vector<SimulatedKeyboard::Change> SimulatedKeyboard::droppedChanges() const {
  std::vector<Change> dropped;
  for (const Change& logged : changes_) {
    if (logged.dropped) {
      dropped.push_back(logged);
    }
  }
  return dropped;
}

bool SimulatedKeyboard::startListening(KeyboardListener& listener) {
  return install(Mode::listening, refuseListening_, listener);
}

bool SimulatedKeyboard::startIntercepting(KeyboardListener& listener) {
  return install(Mode::intercepting, refuseIntercepting_, listener);
}

bool SimulatedKeyboard::install(Mode mode, bool refused, KeyboardListener& listener) {
  if (refused || mode_ != Mode::none) {
    return false;
  }
  mode_ = mode;
  interceptionOn_ = mode == Mode::intercepting;
  listener_ = &listener;
  return true;
}

void SimulatedKeyboard::resumeIntercepting() {
  if (mode_ == Mode::intercepting) {
    interceptionOn_ = true;
  }
}

void SimulatedKeyboard::stopDelivering(KeyboardListener& listener) {
  if (listener_ == &listener) {
    listener_ = nullptr;
  }
}

}  // namespace Sablekit
