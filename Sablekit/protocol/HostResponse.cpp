#include "Sablekit/protocol/HostResponse.h"

namespace Sablekit {

void to_json(JsonCodec::Value& out, const HostResponse& response) {
  // Built locally and moved out at the end: a converting constructor that
  // throws half-way (a non-finite number) would otherwise leak the object.
  JsonCodec::Value json = JsonCodec::Value::object();
  json["id"] = response.id();
  json["ok"] = response.ok();
  if (response.result()) {
    std::visit([&](const auto& record) { json["result"] = record; }, *response.result());
  }
  if (response.error()) {
    json["error"] = *response.error();
  }
  out = std::move(json);
}

std::string encodeResponse(const HostResponse& response) {
  return JsonCodec::serialize(JsonCodec::Value(response));
}

}  // namespace Sablekit
