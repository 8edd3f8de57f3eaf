// The fault sweep: every platform call a capture request makes on a simulated
// desktop is made to fail, then to return nothing, one at a time; each run must
// still answer by the protocol and leave the host serving.
#include <algorithm>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "Sablekit/common/RawValue.h"
#include "Sablekit/platform/simulated/SimulatedDesktop.h"
#include "Sablekit/platform/simulated/SimulatedScreenCapture.h"
#include "Sablekit/protocol/CaptureHostError.h"
#include "Sablekit/protocol/HostHealth.h"
#include "Sablekit/protocol/JsonCodec.h"
#include "Vistrel/VistrelMain.h"
#include "tests/support/MemoryStreams.h"

namespace Sablekit {
namespace {

using Testing::MemoryLineSource;
using Testing::RecordingByteSink;

// What every swept desktop shares: one display, the parent's window (pid 300)
// at the back, and one line of scripted text.
constexpr std::string_view sharedDesktop = R"({
  "process": {"processID": 100, "parentProcessID": 300},
  "displays": [{"displayID": 1, "frame": {"x": 0, "y": 0, "width": 400, "height": 300}, "pixelsPerPoint": 1}],
  "windows": [
    {"windowNumber": 31, "ownerPID": 300, "title": "Assistant", "bounds": {"x": 0, "y": 0, "width": 400, "height": 300}}
  ],
  "applications": [{"processID": 300, "bundleID": "app.example.Parent", "localizedName": "Parent"}],
  "textRecognition": {"lines": [
    {"text": "hello frame", "confidence": 0.5, "box": {"x": 0.1, "y": 0.5, "width": 0.4, "height": 0.05}}
  ]}
})";

// Editor (pid 7) in front, with a small accessibility tree.
constexpr std::string_view editorInFront = R"({
  "windows": [
    {"windowNumber": 11, "ownerPID": 7, "title": "notes.txt", "bounds": {"x": 20, "y": 20, "width": 300, "height": 200}}
  ],
  "applications": [{"processID": 7, "bundleID": "com.example.Editor", "localizedName": "Editor"}],
  "frontmostProcessID": 7,
  "accessibility": {"applications": [
    {"processID": 7, "id": "editor", "attributes": {"AXRole": "AXApplication"},
     "children": [{"id": "editor.window", "attributes": {"AXRole": "AXWindow", "AXTitle": "notes.txt"}}]}
  ]}
})";

// Firefox in front of the editor, its page address read from the address field.
constexpr std::string_view browserInFront = R"({
  "windows": [
    {"windowNumber": 21, "ownerPID": 612, "title": "Today's news — Mozilla Firefox",
     "bounds": {"x": 20, "y": 20, "width": 300, "height": 200}},
    {"windowNumber": 11, "ownerPID": 7, "title": "notes.txt", "bounds": {"x": 40, "y": 40, "width": 300, "height": 200}}
  ],
  "applications": [
    {"processID": 7, "bundleID": "com.example.Editor", "localizedName": "Editor"},
    {"processID": 612, "bundleID": "org.mozilla.firefox", "localizedName": "Firefox", "shortVersionString": "128.0"}
  ],
  "frontmostProcessID": 612,
  "accessibility": {"applications": [
    {"processID": 612, "id": "firefox",
     "attributes": {"AXRole": "AXApplication", "AXFocusedWindow": {"element": "firefox.window"}},
     "children": [
       {"id": "firefox.window", "attributes": {"AXRole": "AXWindow", "AXTitle": "Today's news — Mozilla Firefox"},
        "children": [
          {"attributes": {"AXRole": "AXToolbar"},
           "children": [{"attributes": {"AXRole": "AXTextField", "AXValue": "https://news.example.org/today"}}]},
          {"attributes": {"AXRole": "AXWebArea", "AXTitle": "Today's news — Mozilla Firefox"}}
        ]}
     ]}
  ]}
})";

// Finder in front, its front folder read by script.
constexpr std::string_view finderInFront = R"({
  "windows": [
    {"windowNumber": 41, "ownerPID": 400, "title": "Documents", "bounds": {"x": 20, "y": 20, "width": 300, "height": 200}}
  ],
  "applications": [{"processID": 400, "bundleID": "com.apple.finder", "localizedName": "Finder"}],
  "frontmostProcessID": 400,
  "scripting": {"applications": [
    {"bundleID": "com.apple.finder", "windowCount": 1, "frontFolder": "/Users/me/Documents/"}
  ]},
  "accessibility": {"applications": [
    {"processID": 400, "id": "finder", "attributes": {"AXRole": "AXApplication"},
     "children": [{"id": "finder.window", "attributes": {"AXRole": "AXWindow", "AXTitle": "Documents"}}]}
  ]}
})";

// A fresh desktop: the shared one with `inFront`'s windows in front of the
// parent's, its applications added and its other sections as given.
std::unique_ptr<SimulatedDesktop> makeDesktop(std::string_view inFront) {
  JsonCodec::Value scenario = JsonCodec::parse(sharedDesktop);
  JsonCodec::Value front = JsonCodec::parse(inFront);
  JsonCodec::Value windows = std::move(front["windows"]);
  windows.insert(windows.end(), scenario["windows"].begin(), scenario["windows"].end());
  scenario["windows"] = std::move(windows);
  for (JsonCodec::Value& application : front["applications"]) {
    scenario["applications"].push_back(std::move(application));
  }
  front.erase("windows");
  front.erase("applications");
  scenario.update(front);
  return SimulatedDesktop::fromScenario(scenario.dump());
}

constexpr std::string_view healthLine = R"({"id":2,"method":"health"})";

struct LoopRun {
  RecordingByteSink output;
  RecordingByteSink diagnostics;
};

LoopRun serve(SimulatedDesktop& desktop, std::vector<std::string> lines) {
  LoopRun run;
  MemoryLineSource input(std::move(lines));
  EXPECT_EQ(VistrelMain::main(desktop, {input, run.output, run.diagnostics}), 0);
  return run;
}

bool isCaptureHostErrorCode(const std::string& code) {
  return fromRawValue<CaptureHostError::Code>(code).has_value();
}

// The answer to request id 1 is a success carrying `resultKey`, or an error
// with a capture error code (never invalidRequest: the request is valid, so
// that code would mean a fault escaped as an unexpected exception); the
// health request after it is answered too.
void expectAnsweredAndStillServing(const LoopRun& run, const std::string& resultKey) {
  // Each response is written as its JSON, then a line feed.
  ASSERT_EQ(run.output.writes.size(), 4u);
  EXPECT_TRUE(run.diagnostics.writes.empty());
  EXPECT_EQ(run.output.writes[1], "\n");
  EXPECT_EQ(run.output.writes[3], "\n");

  const JsonCodec::Value answer = JsonCodec::parse(run.output.writes[0]);
  EXPECT_EQ(answer["id"], 1);
  ASSERT_TRUE(answer["ok"].is_boolean());
  if (answer["ok"].get<bool>()) {
    EXPECT_FALSE(answer.contains("error"));
    ASSERT_TRUE(answer["result"].is_object());
    EXPECT_TRUE(answer["result"].contains(resultKey));
  } else {
    EXPECT_FALSE(answer.contains("result"));
    ASSERT_TRUE(answer["error"].is_object());
    ASSERT_TRUE(answer["error"]["code"].is_string());
    const std::string code = answer["error"]["code"].get<std::string>();
    EXPECT_TRUE(isCaptureHostErrorCode(code)) << code;
    EXPECT_NE(code, rawValue(CaptureHostError::Code::invalidRequest)) << answer["error"].dump();
  }

  const JsonCodec::Value health = JsonCodec::parse(run.output.writes[2]);
  EXPECT_EQ(health["id"], 2);
  EXPECT_EQ(health["ok"], true);
  EXPECT_NO_THROW(HostHealth::decode(health["result"]));
}

struct SweptDesktop {
  const char* name;
  std::string_view inFront;           // the scenario part put in front of the shared desktop
  std::string_view contextOperation;  // how the focused application's context is read; empty: not read
};

struct SweptRequest {
  const char* method;
  const char* line;
  const char* resultKey;  // a key every successful answer carries
};

constexpr SweptDesktop desktops[] = {
    {"editor", editorInFront, {}},
    {"browser", browserInFront, SimulatedOperation::accessibilityReadAttribute},
    {"finder", finderInFront, "scripting.run"},
};

constexpr SweptRequest requests[] = {
    {"capture.frame",
     R"({"id":1,"method":"capture.frame","params":{"maximumDimension":200,"allowFinderAutomation":true}})", "capture"},
    {"capture.probe",
     R"({"id":1,"method":"capture.probe","params":{"maximumDimension":200,"allowFinderAutomation":true}})", "windows"},
};

// The operations the desktop's fault injector is asked while serving `request`
// without faults; that healthy run must succeed.
std::vector<std::string> operationsAsked(std::string_view inFront, const SweptRequest& request) {
  const auto desktop = makeDesktop(inFront);
  desktop->faults().startRecording();
  const LoopRun run = serve(*desktop, {request.line});
  std::vector<std::string> operations = desktop->faults().recordedOperations();
  EXPECT_EQ(run.output.writes.size(), 2u);
  if (!run.output.writes.empty()) {
    EXPECT_EQ(JsonCodec::parse(run.output.writes[0])["ok"], true) << run.output.writes[0];
  }
  return operations;
}

TEST(FaultSweep, EveryOperationOfACaptureFailingOrEmptyStillGetsAProtocolAnswer) {
  std::size_t swept = 0;
  for (const SweptDesktop& desktop : desktops) {
    for (const SweptRequest& request : requests) {
      SCOPED_TRACE(std::string(desktop.name) + " " + request.method);
      const std::vector<std::string> operations = operationsAsked(desktop.inFront, request);
      // The sweep must not silently sweep nothing.
      ASSERT_FALSE(operations.empty());
      for (const std::string_view required :
           {SimulatedOperation::screenshot, SimulatedOperation::shareableContent, desktop.contextOperation}) {
        if (required.empty()) {
          continue;
        }
        EXPECT_NE(std::find(operations.begin(), operations.end(), required), operations.end()) << required;
      }

      for (const std::string& operation : operations) {
        for (const FaultKind kind : {FaultKind::fail, FaultKind::empty}) {
          SCOPED_TRACE(operation + (kind == FaultKind::fail ? " fail" : " empty"));
          const auto faulted = makeDesktop(desktop.inFront);
          faulted->faults().arm(operation, kind, 0);
          const LoopRun run = serve(*faulted, {request.line, std::string(healthLine)});
          expectAnsweredAndStillServing(run, request.resultKey);
          ++swept;
        }
      }
    }
  }
  std::cout << "[ fault sweep ] " << swept << " faulted runs\n";
}

}  // namespace
}  // namespace Sablekit
