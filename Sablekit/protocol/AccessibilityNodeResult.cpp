// Wire form of one accessibility node.
#include "Sablekit/protocol/AccessibilityNodeResult.h"

namespace Sablekit {

void to_json(JsonCodec::Value& out, const AccessibilityNodeResult& node) {
  JsonCodec::Value json = JsonCodec::Value::object();
  json["hash"] = node.hash;
  JsonCodec::putIfPresent(json, "parentHash", node.parentHash);
  // An empty map must still travel as an object, not as null.
  JsonCodec::Value attributes = JsonCodec::Value::object();
  for (const auto& [name, value] : node.attributes) {
    attributes[name] = value;
  }
  json["attributes"] = std::move(attributes);
  json["childHashes"] = JsonCodec::Value::array();
  for (const auto& child : node.childHashes) {
    json["childHashes"].push_back(child);
  }
  out = std::move(json);
}

}  // namespace Sablekit
