// Tests for the wire form of recognised text: encoding, decoding and the
// paths named by decoding faults.
#include <limits>

#include <gtest/gtest.h>

#include "Sablekit/protocol/OCRResult.h"

namespace Sablekit {
namespace {

TEST(OCRResultTest, EncodesWithSortedKeysAndFloatConfidenceAndDecodesBack) {
  const OCRResult result{"success",
                         "differential",
                         false,
                         {{"Hello", 0.1f, 0.25, 0.5, 0.125, 0.0625}, {"w\u00f6rld/x", 1.0f, 0, 0, 1, 1}},
                         "Hello\nw\u00f6rld/x"};
  const std::string text = JsonCodec::serialize(JsonCodec::Value(result));
  EXPECT_EQ(text,
            R"({"fullText":"Hello\nwörld/x","mode":"differential","reusedPreviousSegments":false,"segments":[)"
            R"({"confidence":0.1,"height":0.0625,"text":"Hello","width":0.125,"x":0.25,"y":0.5},)"
            R"({"confidence":1.0,"height":1.0,"text":"wörld/x","width":1.0,"x":0.0,"y":0.0}],"status":"success"})");
  EXPECT_EQ(OCRResult::decode(JsonCodec::parse(text), "ocr"), result);
}

TEST(OCRResultTest, NonFiniteNumbersFailTheEncoding) {
  const OCRResult result{"success", "full", false, {{"a", std::numeric_limits<float>::quiet_NaN(), 0, 0, 1, 1}}, "a"};
  EXPECT_THROW(JsonCodec::Value{result}, JsonCodec::EncodingError);
}

TEST(OCRResultTest, DecodingFaultsNameTheirPath) {
  struct Case {
    const char* json;
    const char* message;
  };
  const Case cases[] = {
      {R"({"status":"success","mode":"full","reusedPreviousSegments":false,"fullText":""})",
       "ocr.segments: required member is missing"},
      {R"({"status":"success","mode":"full","reusedPreviousSegments":false,"fullText":"","segments":{}})",
       "ocr.segments: expected an array"},
      {R"({"status":"success","mode":"full","reusedPreviousSegments":false,"fullText":"",)"
       R"("segments":[{"text":"a","confidence":1,"x":0,"y":0,"width":1,"height":1},)"
       R"({"text":"b","confidence":1,"x":"0","y":0,"width":1,"height":1}]})",
       "ocr.segments[1].x: expected a number"},
      {R"({"status":"success","mode":"full","reusedPreviousSegments":false,"fullText":"",)"
       R"("segments":[{"text":"a","x":0,"y":0,"width":1,"height":1}]})",
       "ocr.segments[0].confidence: required member is missing"},
  };
  for (const Case& each : cases) {
    SCOPED_TRACE(each.json);
    try {
      OCRResult::decode(JsonCodec::parse(each.json), "ocr");
      ADD_FAILURE() << "decoded";
    } catch (const JsonCodec::DecodingError& error) {
      EXPECT_EQ(std::string(error.what()), each.message);
    }
  }
}

}  // namespace
}  // namespace Sablekit
