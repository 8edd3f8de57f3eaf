#include "Sablekit/protocol/HostRequest.h"

#include <string>

namespace Sablekit {

HostRequest HostRequest::decodeLine(std::string_view line) {
  if (line.size() > maximumLineBytes) {
    // No length in the message: the reader keeps only the head of such a line.
    throw JsonCodec::DecodingError("the request line has more than " + std::to_string(maximumLineBytes) + " bytes");
  }
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
