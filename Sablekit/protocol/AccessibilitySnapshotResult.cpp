// Wire form of an accessibility snapshot.
#include "Sablekit/protocol/AccessibilitySnapshotResult.h"

namespace Sablekit {

void to_json(JsonCodec::Value& out, const AccessibilitySnapshotResult& snapshot) {
  JsonCodec::Value json = JsonCodec::Value::object();
  json["status"] = JsonCodec::enumeration(snapshot.status);
  JsonCodec::putIfPresent(json, "rootHash", snapshot.rootHash);
  json["capturedAtMilliseconds"] = snapshot.capturedAtMilliseconds;
  json["applicationName"] = snapshot.applicationName;
  json["bundleID"] = snapshot.bundleID;
  json["processID"] = snapshot.processID;
  json["extractionMode"] = JsonCodec::enumeration(snapshot.extractionMode);
  json["partial"] = snapshot.partial;
  JsonCodec::Value nodes = JsonCodec::Value::array();
  for (const auto& node : snapshot.nodes) {
    nodes.push_back(node);
  }
  json["nodes"] = std::move(nodes);
  json["searchableText"] = snapshot.searchableText;
  out = std::move(json);
}

}  // namespace Sablekit
