#include <limits>

#include <gtest/gtest.h>

#include "Sablekit/protocol/CaptureHostError.h"
#include "Sablekit/protocol/HostResponse.h"

namespace Sablekit {
namespace {

HostHealth sampleHealth() {
  return HostHealth{.processID = 77, .screenRecordingPreflight = true, .accessibilityTrusted = false};
}

TEST(HostResponse, HealthAnswerHasItsKeysInCodePointOrder) {
  EXPECT_EQ(encodeResponse(HostResponse(1, sampleHealth())),
            R"({"id":1,"ok":true,"result":{"accessibilityTrusted":false,"browserAutomationProbeBusy":false,)"
            R"("captureProbeSupported":true,"finderAutomationUnavailable":false,"hostVersion":"0.1.0",)"
            R"("processID":77,"protocolVersion":2,"screenRecordingPreflight":true}})");
  EXPECT_EQ(HostHealth::decode(JsonCodec::parse(encodeResponse(HostResponse(1, sampleHealth())))["result"]),
            sampleHealth());
}

TEST(HostResponse, ErrorAnswerHasNoResultKey) {
  const HostResponse response(9, CaptureHostError::captureFailed("path/to").payload());
  EXPECT_FALSE(response.ok());
  EXPECT_EQ(encodeResponse(response),
            R"({"error":{"code":"captureFailed","message":"path/to","retryable":true},"id":9,"ok":false})");
}

TEST(HostResponse, AutomationProbeResultLeavesAbsentOptionalsOut) {
  EXPECT_EQ(encodeResponse(HostResponse(5, AutomationProbeResult::invalidTarget())),
            R"({"id":5,"ok":true,"result":{"message":"Automation probe target is invalid.","status":"failed",)"
            R"("target":"browser"}})");
  const AutomationProbeResult full{AutomationProbeTarget::finder, AutomationProbeStatus::notRunning, "com.apple.finder",
                                   "Finder", "Finder is not running."};
  const JsonCodec::Value encoded(full);
  EXPECT_EQ(encoded["status"], "notRunning");
  EXPECT_EQ(AutomationProbeResult::decode(encoded), full);
  JsonCodec::Value unknownStatus = encoded;
  unknownStatus["status"] = "Operational";
  EXPECT_THROW(AutomationProbeResult::decode(unknownStatus), JsonCodec::DecodingError);
}

CaptureProbeResult sampleCapture() {
  return CaptureProbeResult{
      .capturedAtMilliseconds = 1767225600123,
      .displayID = 4294967295u,
      .width = 1512,
      .height = 982,
      .displayPointWidth = 1512,
      .displayPointHeight = 982,
      .focusedBundleID = "com.apple.safari",
      .focusedWindowTitle = "Docs / Home",
      .focusedApplicationName = "Safari",
      .focusedProcessID = 501,
      .focusedWindowID = 88,
      .mouseX = 10.5,
      .mouseY = -3.25,
      .visibleWindowCount = 1,
      .contextLevel = "enriched",
      .accessibilityWake = {AccessibilityWakeKind::appleWebKit, true, true, false},
      .windows = {VisibleWindowResult{.windowID = 88,
                                      .bundleID = "com.apple.safari",
                                      .title = "Docs / Home",
                                      .width = 800,
                                      .height = 600,
                                      .focused = true}},
  };
}

TEST(HostResponse, CaptureWithoutContextHasNoneOfTheContextKeys) {
  const JsonCodec::Value json = JsonCodec::parse(encodeResponse(HostResponse(2, sampleCapture())));
  const JsonCodec::Value& result = json["result"];
  for (const char* key : {"contextURL", "normalizedDomain", "browserReadStatus", "browserPrivacy",
                          "browserPrivacyAuthoritative", "finderReadStatus"}) {
    EXPECT_FALSE(result.contains(key)) << key;
  }
  EXPECT_EQ(result.size(), 24u);
  EXPECT_EQ(result["displayID"], 4294967295u);
  EXPECT_EQ(result["accessibilityWake"], JsonCodec::parse(R"({"attempted":true,"cached":false,"kind":"appleWebKit",)"
                                                          R"("succeeded":true})"));
  EXPECT_EQ(result["windows"][0].size(), 11u);
  EXPECT_NE(encodeResponse(HostResponse(2, sampleCapture())).find("Docs / Home"), std::string::npos);
}

TEST(HostResponse, CaptureWithBrowserContextWritesEnumerationsAsTheirNames) {
  CaptureProbeResult capture = sampleCapture();
  capture.contextURL = "https://example.com/a";
  capture.normalizedDomain = "example.com";
  capture.browserReadStatus = BrowserReadStatus::pageURL;
  capture.browserPrivacy = BrowserPrivacyVerdict::privateWindow;
  capture.browserPrivacyAuthoritative = true;
  capture.finderReadStatus = FinderReadStatus::automationUnavailable;
  const std::string line = encodeResponse(HostResponse(2, capture));
  for (const char* fragment :
       {R"("browserPrivacy":"private")", R"("browserReadStatus":"pageURL")", R"("contextURL":"https://example.com/a")",
        R"("browserPrivacyAuthoritative":true)", R"("finderReadStatus":"automationUnavailable")"}) {
    EXPECT_NE(line.find(fragment), std::string::npos) << fragment;
  }
}

TEST(HostResponse, ANonFiniteNumberAnywhereFailsTheWholeEncoding) {
  CaptureProbeResult topLevel = sampleCapture();
  topLevel.displayX = std::numeric_limits<double>::quiet_NaN();
  EXPECT_THROW(encodeResponse(HostResponse(1, topLevel)), JsonCodec::EncodingError);
  CaptureProbeResult nested = sampleCapture();
  nested.windows[0].height = std::numeric_limits<double>::infinity();
  EXPECT_THROW(encodeResponse(HostResponse(1, nested)), JsonCodec::EncodingError);
}

}  // namespace
}  // namespace Sablekit
