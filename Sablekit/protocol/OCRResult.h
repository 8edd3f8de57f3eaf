// The text recognised in one frame: its words, how they were obtained, and
// the whole text.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "Sablekit/protocol/JsonCodec.h"
#include "Sablekit/protocol/OCRSegmentResult.h"

namespace Sablekit {

struct OCRResult {
  static constexpr std::string_view statusSuccess = "success";
  static constexpr std::string_view statusVisionFailed = "visionFailed";
  static constexpr std::string_view modeFull = "full";
  static constexpr std::string_view modeDifferential = "differential";
  static constexpr std::string_view modeReused = "reused";
  static constexpr std::string_view modeNone = "none";

  std::string status;                   // statusSuccess or statusVisionFailed
  std::string mode;                     // full, differential, reused; none when recognition failed
  bool reusedPreviousSegments = false;  // true only in mode reused
  std::vector<OCRSegmentResult> segments;
  // The text of every segment in order, joined with "\n"; "" without segments.
  std::string fullText;

  // Throws JsonCodec::DecodingError naming the path of the first fault.
  static OCRResult decode(const JsonCodec::Value& value, const std::string& path);
  bool operator==(const OCRResult&) const = default;
};

// Throws JsonCodec::EncodingError for a non-finite number in a segment.
void to_json(JsonCodec::Value& json, const OCRResult& result);

}  // namespace Sablekit
