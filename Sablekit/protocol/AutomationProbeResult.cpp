#include "Sablekit/protocol/AutomationProbeResult.h"

namespace Sablekit {

AutomationProbeResult AutomationProbeResult::invalidTarget() {
  return AutomationProbeResult{
      .target = AutomationProbeTarget::browser,
      .status = AutomationProbeStatus::failed,
      .bundleID = std::nullopt,
      .applicationName = std::nullopt,
      .message = "Automation probe target is invalid.",
  };
}

void to_json(JsonCodec::Value& json, const AutomationProbeResult& result) {
  json = JsonCodec::Value::object();
  json["target"] = JsonCodec::enumeration(result.target);
  json["status"] = JsonCodec::enumeration(result.status);
  JsonCodec::putIfPresent(json, "bundleID", result.bundleID);
  JsonCodec::putIfPresent(json, "applicationName", result.applicationName);
  json["message"] = result.message;
}

AutomationProbeResult AutomationProbeResult::decode(const JsonCodec::Value& value, const std::string& path) {
  const JsonCodec::ObjectReader reader(value, path);
  return AutomationProbeResult{
      .target = reader.requiredEnumeration<AutomationProbeTarget>("target"),
      .status = reader.requiredEnumeration<AutomationProbeStatus>("status"),
      .bundleID = reader.optionalString("bundleID"),
      .applicationName = reader.optionalString("applicationName"),
      .message = reader.requiredString("message"),
  };
}

}  // namespace Sablekit
