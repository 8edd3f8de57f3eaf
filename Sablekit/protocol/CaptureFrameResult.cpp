// Wire form of a frame.
#include "Sablekit/protocol/CaptureFrameResult.h"

namespace Sablekit {

void to_json(JsonCodec::Value& out, const CaptureFrameResult& result) {
  // Built locally and moved out at the end: a nested record that throws
  // half-way (a non-finite number) would otherwise leave a partial object.
  JsonCodec::Value json = JsonCodec::Value::object();
  json["capture"] = result.capture;
  json["encoding"] = result.encoding;
  json["byteLength"] = result.byteLength;
  json["sha256"] = result.sha256;
  json["imageBase64"] = result.imageBase64;
  json["ocr"] = result.ocr;
  json["accessibility"] = result.accessibility;
  out = std::move(json);
}

}  // namespace Sablekit
