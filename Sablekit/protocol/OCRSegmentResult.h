// One recognised word of a frame and where it is.
#pragma once

#include <string>

#include "Sablekit/protocol/JsonCodec.h"

namespace Sablekit {

struct OCRSegmentResult {
  // The word (a run of non-white-space characters), or a whole line when the
  // recogniser could not place any word of it.
  std::string text;
  // The confidence of the line the word belongs to, 0 to 1.
  float confidence = 0;
  // The word's box as fractions of the image's width and height, origin at
  // the image's bottom-left corner, y upwards.
  double x = 0;
  double y = 0;
  double width = 0;
  double height = 0;

  // Throws JsonCodec::DecodingError naming the path of the first fault.
  static OCRSegmentResult decode(const JsonCodec::Value& value, const std::string& path);
  bool operator==(const OCRSegmentResult&) const = default;
};

// Throws JsonCodec::EncodingError for a non-finite number.
void to_json(JsonCodec::Value& json, const OCRSegmentResult& segment);

}  // namespace Sablekit
