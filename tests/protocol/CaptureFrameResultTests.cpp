// The frame record on the wire: exactly its seven keys, nested records in their own forms, slashes kept.
#include <limits>
#include <vector>

#include <gtest/gtest.h>

#include "Sablekit/protocol/CaptureFrameResult.h"

namespace Sablekit {
namespace {

CaptureFrameResult frame() {
  CaptureFrameResult result;
  result.capture.capturedAtMilliseconds = 1765382400123;
  result.capture.width = 1512;
  result.capture.height = 982;
  result.capture.focusedBundleID = "org.example.editor";
  result.capture.pixelDataRetained = true;
  result.capture.contextLevel = "enriched";
  result.byteLength = 6;
  result.sha256 = "0123456789abcdef0123456789abcdef0123456789abcdef0123456789abcdef";
  result.imageBase64 = "+/8A/w==";
  result.ocr.status = "success";
  result.ocr.mode = "full";
  result.ocr.segments = {{"Hello", 0.5f, 0.25, 0.5, 0.125, 0.0625}};
  result.ocr.fullText = "Hello";
  result.accessibility.capturedAtMilliseconds = 1765382400123;
  result.accessibility.applicationName = "Editor";
  result.accessibility.bundleID = "org.example.editor";
  result.accessibility.processID = 42;
  return result;
}

TEST(CaptureFrameResultTests, writesItsSevenKeysWithNestedRecordsInTheirOwnForm) {
  const CaptureFrameResult result = frame();
  const std::string text = JsonCodec::serialize(JsonCodec::Value(result));
  const JsonCodec::Value json = JsonCodec::parse(text);

  std::vector<std::string> keys;
  for (const auto& [key, value] : json.items()) {
    keys.push_back(key);
  }
  EXPECT_EQ(keys, (std::vector<std::string>{"accessibility", "byteLength", "capture", "encoding", "imageBase64", "ocr",
                                            "sha256"}));
  EXPECT_EQ(json["encoding"], "heic");
  EXPECT_EQ(json["byteLength"], 6);
  EXPECT_EQ(json["sha256"], result.sha256);
  EXPECT_EQ(json["imageBase64"], "+/8A/w==");
  // Base64's "/" travels unescaped, so the text on the line is the Base64 text itself.
  EXPECT_NE(text.find("\"imageBase64\":\"+/8A/w==\""), std::string::npos);
  EXPECT_EQ(json["capture"], JsonCodec::Value(result.capture));
  EXPECT_EQ(json["capture"]["pixelDataRetained"], true);
  EXPECT_EQ(json["ocr"], JsonCodec::Value(result.ocr));
  EXPECT_EQ(json["accessibility"], JsonCodec::Value(result.accessibility));
}

TEST(CaptureFrameResultTests, aNonFiniteNumberInsideFailsTheWholeEncoding) {
  CaptureFrameResult result = frame();
  result.ocr.segments[0].x = std::numeric_limits<double>::infinity();
  EXPECT_THROW(static_cast<void>(JsonCodec::Value(result)), JsonCodec::EncodingError);
}

}  // namespace
}  // namespace Sablekit
