// One request line from the parent.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "Sablekit/protocol/CaptureProbeParameters.h"
#include "Sablekit/protocol/JsonCodec.h"

namespace Sablekit {

struct HostRequest {
  std::int64_t id = 0;
  std::string method;
  std::optional<CaptureProbeParameters> params;  // absent or null: no parameters

  // Decodes one line (its terminator already removed; a trailing carriage
  // return is white space). Throws JsonCodec::DecodingError describing the fault.
  static HostRequest decodeLine(std::string_view line);
  static HostRequest decode(const JsonCodec::Value& value);
  bool operator==(const HostRequest&) const = default;
};

void to_json(JsonCodec::Value& json, const HostRequest& request);

}  // namespace Sablekit
