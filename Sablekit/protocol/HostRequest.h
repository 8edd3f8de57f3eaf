// One request line from the parent.
#pragma once

#include <cstddef>
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

  // The longest request line decoded, terminator excluded. Real requests are
  // a few kilobytes; the bound keeps a hostile line from costing the host
  // many times its size in parsed values.
  static constexpr std::size_t maximumLineBytes = 4 * 1024 * 1024;

  // Decodes one line (its terminator already removed; a trailing carriage
  // return is white space). Throws JsonCodec::DecodingError describing the
  // fault, also for a line longer than maximumLineBytes.
  static HostRequest decodeLine(std::string_view line);
  static HostRequest decode(const JsonCodec::Value& value);
  bool operator==(const HostRequest&) const = default;
};

void to_json(JsonCodec::Value& json, const HostRequest& request);

}  // namespace Sablekit
