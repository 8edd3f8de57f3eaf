#include "Sablekit/shortcut/ShortcutEvent.h"

namespace Sablekit {

ShortcutEvent ShortcutEvent::health(bool accessibilityTrusted, bool monitorInstalled) {
  return ShortcutEvent{
      .event = std::string(healthEvent),
      .accessibilityTrusted = accessibilityTrusted,
      .monitorInstalled = monitorInstalled,
      .reason = std::nullopt,
  };
}

ShortcutEvent ShortcutEvent::ownerUnavailable(bool accessibilityTrusted) {
  ShortcutEvent event = health(accessibilityTrusted, false);
  event.reason = std::string(ownerUnavailableReason);
  return event;
}

ShortcutEvent ShortcutEvent::triggered(ShortcutAction action) {
  return ShortcutEvent{.event = std::string(rawValue(action))};
}

void to_json(JsonCodec::Value& json, const ShortcutEvent& event) {
  json = JsonCodec::Value::object();
  json["event"] = event.event;
  JsonCodec::putIfPresent(json, "accessibilityTrusted", event.accessibilityTrusted);
  JsonCodec::putIfPresent(json, "monitorInstalled", event.monitorInstalled);
  JsonCodec::putIfPresent(json, "reason", event.reason);
}

void writeLine(ByteSink& sink, const ShortcutEvent& event) {
  std::string text;
  try {
    text = JsonCodec::serialize(JsonCodec::Value(event));
  } catch (const std::exception&) {
    return;
  }
  sink.write(text);
  sink.write("\n");
}

}  // namespace Sablekit
