// One line of the shortcut host's output: the health report at start-up, or
// the action of a chord the user just pressed.
#pragma once

#include <optional>
#include <string>

#include "Sablekit/platform/StandardStreams.h"
#include "Sablekit/protocol/JsonCodec.h"
#include "Sablekit/shortcut/ShortcutAction.h"

namespace Sablekit {

struct ShortcutEvent {
  static constexpr std::string_view healthEvent = "health";
  static constexpr std::string_view ownerUnavailableReason = "ownerUnavailable";

  // "health", or the raw value of the action that was triggered.
  std::string event;
  // Health events only.
  std::optional<bool> accessibilityTrusted;
  std::optional<bool> monitorInstalled;
  // Only when another instance owns the shortcut.
  std::optional<std::string> reason;

  static ShortcutEvent health(bool accessibilityTrusted, bool monitorInstalled);
  // The health report of an instance that did not get the shortcut.
  static ShortcutEvent ownerUnavailable(bool accessibilityTrusted);
  static ShortcutEvent triggered(ShortcutAction action);

  bool operator==(const ShortcutEvent&) const = default;
};

void to_json(JsonCodec::Value& json, const ShortcutEvent& event);

// Writes `event` as one line: the JSON text, then a line feed of its own. An
// event that cannot be encoded is dropped without a word.
void writeLine(ByteSink& sink, const ShortcutEvent& event);

}  // namespace Sablekit
