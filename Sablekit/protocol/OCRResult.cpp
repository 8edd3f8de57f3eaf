// Encoding and decoding of a frame's recognised text.
#include "Sablekit/protocol/OCRResult.h"

namespace Sablekit {

OCRResult OCRResult::decode(const JsonCodec::Value& value, const std::string& path) {
  const JsonCodec::ObjectReader reader(value, path);
  OCRResult result{
      .status = reader.requiredString("status"),
      .mode = reader.requiredString("mode"),
      .reusedPreviousSegments = reader.requiredBool("reusedPreviousSegments"),
      .segments = {},
      .fullText = reader.requiredString("fullText"),
  };
  const JsonCodec::Value* segments = reader.optionalMember("segments");
  const std::string segmentsPath = reader.pathOf("segments");
  if (segments == nullptr) {
    throw JsonCodec::DecodingError(segmentsPath + ": required member is missing");
  }
  if (!segments->is_array()) {
    throw JsonCodec::DecodingError(segmentsPath + ": expected an array");
  }
  result.segments.reserve(segments->size());
  for (std::size_t index = 0; index < segments->size(); ++index) {
    result.segments.push_back(
        OCRSegmentResult::decode((*segments)[index], segmentsPath + "[" + std::to_string(index) + "]"));
  }
  return result;
}

void to_json(JsonCodec::Value& out, const OCRResult& result) {
  JsonCodec::Value json = JsonCodec::Value::object();
  json["status"] = result.status;
  json["mode"] = result.mode;
  json["reusedPreviousSegments"] = result.reusedPreviousSegments;
  json["segments"] = result.segments;
  json["fullText"] = result.fullText;
  out = std::move(json);
}

}  // namespace Sablekit
