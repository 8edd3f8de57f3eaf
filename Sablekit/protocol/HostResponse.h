// One response line: either a result of the method's shape or an error payload.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <variant>

#include "Sablekit/protocol/AutomationProbeResult.h"
#include "Sablekit/protocol/CaptureFrameResult.h"
#include "Sablekit/protocol/CaptureProbeResult.h"
#include "Sablekit/protocol/HostErrorPayload.h"
#include "Sablekit/protocol/HostHealth.h"
#include "Sablekit/protocol/JsonCodec.h"

namespace Sablekit {

// Written untagged: the result key holds the carried record's own object.
using HostResult = std::variant<HostHealth, CaptureProbeResult, CaptureFrameResult, AutomationProbeResult>;

class HostResponse {
 public:
  // A success: ok true, no error.
  HostResponse(std::int64_t id, HostResult result) : id_(id), result_(std::move(result)) {}
  // A failure: ok false, no result.
  HostResponse(std::int64_t id, HostErrorPayload error) : id_(id), error_(std::move(error)) {}

  std::int64_t id() const { return id_; }
  bool ok() const { return result_.has_value(); }
  const std::optional<HostResult>& result() const { return result_; }
  const std::optional<HostErrorPayload>& error() const { return error_; }

 private:
  std::int64_t id_;
  std::optional<HostResult> result_;
  std::optional<HostErrorPayload> error_;
};

void to_json(JsonCodec::Value& json, const HostResponse& response);

// The response as one line of bytes without its line feed. Throws
// JsonCodec::EncodingError when the response cannot be encoded.
std::string encodeResponse(const HostResponse& response);

}  // namespace Sablekit
