// Black-box conversations: vistrel-sim runs each scenario file of
// tests/scenarios, gets one capture request and must answer it with exactly
// one line carrying the expected error (or result).
#include <string>

#include <gtest/gtest.h>

#include "Sablekit/protocol/JsonCodec.h"
#include "tests/support/ChildProcess.h"

namespace Sablekit {
namespace {

struct Conversation {
  const char* scenario;  // file name in tests/scenarios
  const char* request;
  const char* expected;  // the whole response, or for a success the members of its result checked
};

const Conversation conversations[] = {
    {"permission-denied.json", R"({"id":1,"method":"capture.probe"})",
     R"({"error":{"code":"permissionDenied","message":"Screen Recording permission is not available",)"
     R"("retryable":true},"id":1,"ok":false})"},
    {"content-fetch-fails.json", R"({"id":2,"method":"capture.probe"})",
     R"({"error":{"code":"captureFailed","message":"The simulated screen capture could not list shareable content.",)"
     R"("retryable":true},"id":2,"ok":false})"},
    {"no-displays.json", R"({"id":3,"method":"capture.probe"})",
     R"({"error":{"code":"noShareableDisplay","message":"ScreenCaptureKit returned no usable display",)"
     R"("retryable":true},"id":3,"ok":false})"},
    {"no-eligible-window.json", R"({"id":4,"method":"capture.probe"})",
     R"({"error":{"code":"noEligibleWindow","message":"No eligible application window was found",)"
     R"("retryable":true},"id":4,"ok":false})"},
    {"parent-window-excluded.json",
     R"({"id":5,"method":"capture.probe","params":{"excludedParentWindowTitles":["Orvane Assistant"]}})",
     R"({"error":{"code":"focusedWindowExcluded","message":"The focused window is excluded from capture: )"
     R"(Orvane Assistant","retryable":false},"id":5,"ok":false})"},
    {"protected-application.json", R"({"id":6,"method":"capture.probe"})",
     R"({"error":{"code":"focusedApplicationExcluded","message":"The focused application is protected by policy: )"
     R"(com.1password.1password","retryable":false},"id":6,"ok":false})"},
    {"private-browser-window.json", R"({"id":7,"method":"capture.probe"})",
     R"({"error":{"code":"privateBrowserWindow","message":"The focused browser window is private: )"
     R"(org.mozilla.firefox","retryable":false},"id":7,"ok":false})"},
    {"browser-context-unavailable.json",
     R"({"id":8,"method":"capture.probe","params":{"excludedDomains":["example.org"]}})",
     R"({"error":{"code":"browserContextUnavailable","message":"Browser privacy context is unreadable for: )"
     R"(org.mozilla.firefox","retryable":true},"id":8,"ok":false})"},
    {"excluded-domain.json", R"({"id":9,"method":"capture.probe","params":{"excludedDomains":["example.org"]}})",
     R"({"error":{"code":"excludedDomain","message":"The focused browser domain is excluded: example.org",)"
     R"("retryable":false},"id":9,"ok":false})"},
    {"unmatched-exclusion.json", R"({"id":10,"method":"capture.probe"})",
     R"({"error":{"code":"unmatchedExclusion","message":"1 excluded window identifiers were absent from )"
     R"(ScreenCaptureKit","retryable":true},"id":10,"ok":false})"},
    {"no-allowed-content.json", R"({"id":11,"method":"capture.probe"})",
     R"({"error":{"code":"noAllowedContent","message":"Privacy filtering left no allowed capture content",)"
     R"("retryable":true},"id":11,"ok":false})"},
    {"screenshot-fails.json", R"({"id":12,"method":"capture.probe"})",
     R"({"error":{"code":"captureFailed","message":"The simulated screen capture could not take a screenshot.",)"
     R"("retryable":true},"id":12,"ok":false})"},
    {"context-changed.json", R"({"id":13,"method":"capture.probe"})",
     R"({"error":{"code":"captureContextChanged","message":"The display, focused window, or exclusion set )"
     R"(changed during capture","retryable":true},"id":13,"ok":false})"},
    {"allowed.json", R"({"id":14,"method":"capture.probe","params":{"maximumDimension":400}})",
     R"({"excludedWindowCount":1,"focusedBundleID":"com.example.Editor","focusedWindowID":11,"height":250,)"
     R"("visibleWindowCount":3,"width":400})"},
};

TEST(ScenarioConversation, EachScenarioFileAnswersItsRequestWithExactlyOneExpectedLine) {
  for (const Conversation& conversation : conversations) {
    SCOPED_TRACE(conversation.scenario);
    const Testing::ChildResult run =
        Testing::runChild(VISTREL_SIM_PATH, {std::string(SCENARIO_DIRECTORY) + "/" + conversation.scenario},
                          std::string(conversation.request) + "\n");
    EXPECT_EQ(run.exitStatus, 0) << run.standardError;
    EXPECT_EQ(run.standardError, "");
    ASSERT_FALSE(run.standardOutput.empty());
    EXPECT_EQ(run.standardOutput.find('\n'), run.standardOutput.size() - 1) << "one line: " << run.standardOutput;
    const JsonCodec::Value response = JsonCodec::parse(run.standardOutput);
    const JsonCodec::Value expected = JsonCodec::parse(conversation.expected);
    if (expected.contains("error")) {
      EXPECT_EQ(response, expected);
      continue;
    }
    EXPECT_EQ(response["ok"], true) << run.standardOutput;
    for (const auto& [key, value] : expected.items()) {
      EXPECT_EQ(response["result"][key], value) << key;
    }
  }
}

}  // namespace
}  // namespace Sablekit
