#include "Sablekit/platform/simulated/SimulatedKeyboard.h"

#include <initializer_list>
#include <string>
#include <string_view>
#include <utility>

#include <nlohmann/json.hpp>

#include "Sablekit/platform/simulated/ScenarioFields.h"
#include "Sablekit/platform/simulated/SimulatedDesktop.h"

namespace Sablekit {

namespace {

using ScenarioFields::expectObject;
using ScenarioFields::fail;

bool flagAt(const nlohmann::json& object, const std::string& path, const char* key) {
  const auto found = object.find(key);
  if (found == object.end()) {
    return false;
  }
  if (!found->is_boolean()) {
    fail(path + "." + key, "expected true or false");
  }
  return found->get<bool>();
}

std::uint16_t keyCodeAt(const nlohmann::json& object, const std::string& path, const char* key) {
  const nlohmann::json& value = object.at(key);
  if (!value.is_number_unsigned() || value.get<std::uint64_t>() > 0xFFFF) {
    fail(path + "." + key, "expected a key code from 0 to 65535");
  }
  return static_cast<std::uint16_t>(value.get<std::uint64_t>());
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
    flags |= heldModifierFlag(key);
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

void SimulatedKeyboard::loadScenario(const nlohmann::json& section) {
  const std::string path = "keyboard";
  expectObject(section, path, {"refuseListening", "refuseIntercepting", "script"});
  const bool refuseListening = flagAt(section, path, "refuseListening");
  const bool refuseIntercepting = flagAt(section, path, "refuseIntercepting");
  std::vector<ScriptedChange> script;
  if (const auto found = section.find("script"); found != section.end()) {
    if (!found->is_array()) {
      fail(path + ".script", "expected an array");
    }
    for (std::size_t index = 0; index < found->size(); ++index) {
      const nlohmann::json& step = (*found)[index];
      const std::string stepPath = path + ".script[" + std::to_string(index) + "]";
      expectObject(step, stepPath, {"press", "release", "keyCode", "modifierFlags"});
      const bool isPress = step.contains("press");
      const bool isRelease = step.contains("release");
      const bool isChange = step.contains("keyCode");
      if (int(isPress) + int(isRelease) + int(isChange) != 1) {
        fail(stepPath, "expected exactly one of press, release or keyCode");
      }
      ScriptedChange scripted;
      if (isPress) {
        scripted.kind = ScriptedChange::Kind::press;
        scripted.keyCode = keyCodeAt(step, stepPath, "press");
      } else if (isRelease) {
        scripted.kind = ScriptedChange::Kind::release;
        scripted.keyCode = keyCodeAt(step, stepPath, "release");
      } else {
        scripted.kind = ScriptedChange::Kind::change;
        scripted.keyCode = keyCodeAt(step, stepPath, "keyCode");
        const auto flags = step.find("modifierFlags");
        if (flags == step.end()) {
          fail(stepPath + ".modifierFlags", "required with keyCode");
        }
        if (!flags->is_number_unsigned()) {
          fail(stepPath + ".modifierFlags", "expected a non-negative integer");
        }
        scripted.modifierFlags = flags->get<std::uint64_t>();
      }
      if (!isChange && step.contains("modifierFlags")) {
        fail(stepPath + ".modifierFlags", "only allowed with keyCode");
      }
      script.push_back(scripted);
    }
  }
  refuseListening_ = refuseListening;
  refuseIntercepting_ = refuseIntercepting;
  script_ = std::move(script);
}

std::size_t SimulatedKeyboard::playScript() {
  // Taken out first: a listener may load or play another script.
  const std::vector<ScriptedChange> script = std::exchange(script_, {});
  for (const ScriptedChange& scripted : script) {
    switch (scripted.kind) {
      case ScriptedChange::Kind::press:
        press(scripted.keyCode);
        break;
      case ScriptedChange::Kind::release:
        release(scripted.keyCode);
        break;
      case ScriptedChange::Kind::change:
        change(scripted.keyCode, scripted.modifierFlags);
        break;
    }
  }
  return script.size();
}

}  // namespace Sablekit
