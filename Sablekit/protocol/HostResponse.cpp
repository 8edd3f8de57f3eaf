#include "Sablekit/protocol/HostResponse.h"

namespace Sablekit {

void to_json(JsonCodec::Value& json, const HostResponse& response) {
  json = JsonCodec::Value::object();
  json["id"] = response.id();
  json["ok"] = response.ok();
  if (response.result()) {
    std::visit([&](const auto& record) { json["result"] = record; }, *response.result());
  }
  if (response.error()) {
    json["error"] = *response.error();
  }
}

std::string encodeResponse(const HostResponse& response) {
  return JsonCodec::serialize(JsonCodec::Value(response));
}

}  // namespace Sablekit
