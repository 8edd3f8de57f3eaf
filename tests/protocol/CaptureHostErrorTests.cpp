#include <gtest/gtest.h>

#include "Sablekit/protocol/CaptureHostError.h"

namespace Sablekit {
namespace {

struct Case {
  CaptureHostError error;
  const char* code;
  const char* message;
  bool retryable;
};

TEST(CaptureHostError, PayloadFollowsTheFixedTable) {
  const Case cases[] = {
      {CaptureHostError::invalidRequest("bad/line"), "invalidRequest", "bad/line", false},
      {CaptureHostError::focusedApplicationExcluded("passwordManager"), "focusedApplicationExcluded",
       "The focused application is protected by policy: passwordManager", false},
      {CaptureHostError::focusedWindowExcluded("parentWindow"), "focusedWindowExcluded",
       "The focused window is excluded from capture: parentWindow", false},
      // A carried text is put in once and kept as it is, braces and all.
      {CaptureHostError::focusedWindowExcluded("Notes {} {draft}"), "focusedWindowExcluded",
       "The focused window is excluded from capture: Notes {} {draft}", false},
      {CaptureHostError::captureFailed(""), "captureFailed", "", true},
      {CaptureHostError::browserContextUnavailable("com.google.chrome"), "browserContextUnavailable",
       "Browser privacy context is unreadable for: com.google.chrome", true},
      {CaptureHostError::privateBrowserWindow("com.apple.safari"), "privateBrowserWindow",
       "The focused browser window is private: com.apple.safari", false},
      {CaptureHostError::excludedDomain("example.com"), "excludedDomain",
       "The focused browser domain is excluded: example.com", false},
      {CaptureHostError::unmatchedExclusion(3), "unmatchedExclusion",
       "3 excluded window identifiers were absent from ScreenCaptureKit", true},
      {CaptureHostError::unmatchedExclusion(-1), "unmatchedExclusion",
       "-1 excluded window identifiers were absent from ScreenCaptureKit", true},
      {CaptureHostError::captureFailed("stream/failed"), "captureFailed", "stream/failed", true},
      {CaptureHostError::permissionDenied(), "permissionDenied", "Screen Recording permission is not available", true},
      {CaptureHostError::noShareableDisplay(), "noShareableDisplay", "ScreenCaptureKit returned no usable display",
       true},
      {CaptureHostError::noEligibleWindow(), "noEligibleWindow", "No eligible application window was found", true},
      {CaptureHostError::captureContextChanged(), "captureContextChanged",
       "The display, focused window, or exclusion set changed during capture", true},
      {CaptureHostError::noAllowedContent(), "noAllowedContent", "Privacy filtering left no allowed capture content",
       true},
      {CaptureHostError::imageEncodingFailed(), "imageEncodingFailed", "The captured image could not be encoded", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.code);
    const HostErrorPayload payload = c.error.payload();
    EXPECT_EQ(payload.code, c.code);
    EXPECT_EQ(payload.message, c.message);
    EXPECT_EQ(payload.retryable, c.retryable);
    EXPECT_EQ(payload.code, rawValue(c.error.code()));
    EXPECT_EQ(payload.message, c.error.what());
  }
}

TEST(CaptureHostError, PayloadRoundTripsThroughJsonWithKeysInOrder) {
  const HostErrorPayload payload = CaptureHostError::captureFailed("a/b").payload();
  const std::string text = JsonCodec::serialize(JsonCodec::Value(payload));
  EXPECT_EQ(text, R"({"code":"captureFailed","message":"a/b","retryable":true})");
  EXPECT_EQ(HostErrorPayload::decode(JsonCodec::parse(text)), payload);
}

}  // namespace
}  // namespace Sablekit
