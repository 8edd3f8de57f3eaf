// The error member of a failed response.
#pragma once

#include <string>

#include "Sablekit/protocol/JsonCodec.h"

namespace Sablekit {

struct HostErrorPayload {
  std::string code;  // the name of the CaptureHostError case
  std::string message;
  bool retryable = false;

  static HostErrorPayload decode(const JsonCodec::Value& value, const std::string& path = "");
  bool operator==(const HostErrorPayload&) const = default;
};

void to_json(JsonCodec::Value& json, const HostErrorPayload& payload);

}  // namespace Sablekit
