// The health report: versions, process identity, permission state and the
// two automation flags, read fresh for every request.
#pragma once

#include <cstdint>
#include <string>

#include "Sablekit/protocol/JsonCodec.h"

namespace Sablekit {

inline constexpr std::int64_t vistrelProtocolVersion = 2;
inline constexpr std::string_view vistrelHostVersion = "0.1.0";

struct HostHealth {
  std::int64_t protocolVersion = vistrelProtocolVersion;
  std::string hostVersion{vistrelHostVersion};
  std::int32_t processID = 0;
  bool screenRecordingPreflight = false;
  bool accessibilityTrusted = false;
  bool captureProbeSupported = true;
  bool browserAutomationProbeBusy = false;
  bool finderAutomationUnavailable = false;

  static HostHealth decode(const JsonCodec::Value& value, const std::string& path = "");
  bool operator==(const HostHealth&) const = default;
};

void to_json(JsonCodec::Value& json, const HostHealth& health);

}  // namespace Sablekit
