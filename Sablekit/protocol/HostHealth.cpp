#include "Sablekit/protocol/HostHealth.h"

#include <limits>

namespace Sablekit {

void to_json(JsonCodec::Value& json, const HostHealth& health) {
  json = JsonCodec::Value::object();
  json["protocolVersion"] = health.protocolVersion;
  json["hostVersion"] = health.hostVersion;
  json["processID"] = health.processID;
  json["screenRecordingPreflight"] = health.screenRecordingPreflight;
  json["accessibilityTrusted"] = health.accessibilityTrusted;
  json["captureProbeSupported"] = health.captureProbeSupported;
  json["browserAutomationProbeBusy"] = health.browserAutomationProbeBusy;
  json["finderAutomationUnavailable"] = health.finderAutomationUnavailable;
}

HostHealth HostHealth::decode(const JsonCodec::Value& value, const std::string& path) {
  const JsonCodec::ObjectReader reader(value, path);
  const std::int64_t processID = reader.requiredInt64("processID");
  if (processID < std::numeric_limits<std::int32_t>::min() || processID > std::numeric_limits<std::int32_t>::max()) {
    throw JsonCodec::DecodingError(reader.pathOf("processID") + ": integer out of the 32-bit range");
  }
  return HostHealth{
      .protocolVersion = reader.requiredInt64("protocolVersion"),
      .hostVersion = reader.requiredString("hostVersion"),
      .processID = static_cast<std::int32_t>(processID),
      .screenRecordingPreflight = reader.requiredBool("screenRecordingPreflight"),
      .accessibilityTrusted = reader.requiredBool("accessibilityTrusted"),
      .captureProbeSupported = reader.requiredBool("captureProbeSupported"),
      .browserAutomationProbeBusy = reader.requiredBool("browserAutomationProbeBusy"),
      .finderAutomationUnavailable = reader.requiredBool("finderAutomationUnavailable"),
  };
}

}  // namespace Sablekit
