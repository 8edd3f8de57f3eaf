#include "Sablekit/protocol/HostErrorPayload.h"

namespace Sablekit {

void to_json(JsonCodec::Value& json, const HostErrorPayload& payload) {
  json = JsonCodec::Value::object();
  json["code"] = payload.code;
  json["message"] = payload.message;
  json["retryable"] = payload.retryable;
}

HostErrorPayload HostErrorPayload::decode(const JsonCodec::Value& value, const std::string& path) {
  const JsonCodec::ObjectReader reader(value, path);
  return HostErrorPayload{reader.requiredString("code"), reader.requiredString("message"),
                          reader.requiredBool("retryable")};
}

}  // namespace Sablekit
