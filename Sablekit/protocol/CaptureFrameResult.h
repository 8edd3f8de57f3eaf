// The answer to "capture.frame": the capture description, the encoded image
// with its digest, the recognised text and the accessibility snapshot.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "Sablekit/protocol/AccessibilitySnapshotResult.h"
#include "Sablekit/protocol/CaptureProbeResult.h"
#include "Sablekit/protocol/JsonCodec.h"
#include "Sablekit/protocol/OCRResult.h"

namespace Sablekit {

struct CaptureFrameResult {
  static constexpr std::string_view encodingHEIC = "heic";

  CaptureProbeResult capture;  // with pixelDataRetained true
  std::string encoding = std::string(encodingHEIC);
  std::int64_t byteLength = 0;  // bytes of the encoded image
  std::string sha256;           // of the encoded bytes, 64 lowercase hexadecimal digits
  std::string imageBase64;      // the encoded bytes, standard Base64, padded, one line
  OCRResult ocr;
  AccessibilitySnapshotResult accessibility;  // the snapshot, or a placeholder when none was taken

  bool operator==(const CaptureFrameResult&) const = default;
};

// Throws JsonCodec::EncodingError for a non-finite number anywhere inside.
void to_json(JsonCodec::Value& json, const CaptureFrameResult& result);

}  // namespace Sablekit
