#include "Sablekit/protocol/HostRequest.h"

namespace Sablekit {

HostRequest HostRequest::decodeLine(std::string_view line) {
  return decode(JsonCodec::parse(line));
}

HostRequest HostRequest::decode(const JsonCodec::Value& value) {
  const JsonCodec::ObjectReader reader(value, "");
  HostRequest request{.id = reader.requiredInt64("id"), .method = reader.requiredString("method"), .params = {}};
  if (const JsonCodec::Value* params = reader.optionalMember("params")) {
    request.params = CaptureProbeParameters::decode(*params, "params");
  }
  return request;
}

void to_json(JsonCodec::Value& json, const HostRequest& request) {
  json = JsonCodec::Value::object();
  json["id"] = request.id;
  json["method"] = request.method;
  JsonCodec::putIfPresent(json, "params", request.params);
}

}  // namespace Sablekit
