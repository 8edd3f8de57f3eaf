// Encoding and decoding of one recognised word.
#include "Sablekit/protocol/OCRSegmentResult.h"

namespace Sablekit {

namespace {

double requiredNumber(const JsonCodec::ObjectReader& reader, std::string_view key) {
  const JsonCodec::Value* value = reader.optionalMember(key);
  if (value == nullptr) {
    throw JsonCodec::DecodingError(reader.pathOf(key) + ": required member is missing");
  }
  if (!value->is_number()) {
    throw JsonCodec::DecodingError(reader.pathOf(key) + ": expected a number");
  }
  return value->get<double>();
}

}  // namespace

OCRSegmentResult OCRSegmentResult::decode(const JsonCodec::Value& value, const std::string& path) {
  const JsonCodec::ObjectReader reader(value, path);
  return OCRSegmentResult{
      .text = reader.requiredString("text"),
      .confidence = static_cast<float>(requiredNumber(reader, "confidence")),
      .x = requiredNumber(reader, "x"),
      .y = requiredNumber(reader, "y"),
      .width = requiredNumber(reader, "width"),
      .height = requiredNumber(reader, "height"),
  };
}

void to_json(JsonCodec::Value& out, const OCRSegmentResult& segment) {
  using JsonCodec::number;
  // Built locally and moved out at the end: a converting constructor that
  // throws half-way (a non-finite number) would otherwise leak the object.
  JsonCodec::Value json = JsonCodec::Value::object();
  json["text"] = segment.text;
  json["confidence"] = number(segment.confidence);
  json["x"] = number(segment.x);
  json["y"] = number(segment.y);
  json["width"] = number(segment.width);
  json["height"] = number(segment.height);
  out = std::move(json);
}

}  // namespace Sablekit
