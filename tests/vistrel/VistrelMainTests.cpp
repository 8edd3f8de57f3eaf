#include <gtest/gtest.h>

#include "Sablekit/platform/simulated/SimulatedDesktop.h"
#include "Vistrel/VistrelMain.h"
#include "tests/support/MemoryStreams.h"

namespace Sablekit {
namespace {

using Testing::MemoryLineSource;
using Testing::RecordingByteSink;

struct LoopRun {
  RecordingByteSink output;
  RecordingByteSink diagnostics;
  int status = -1;
};

LoopRun serve(SimulatedDesktop& desktop,
              std::vector<std::string> lines,
              const VistrelMain::ResponseEncoder& encoder = encodeResponse) {
  LoopRun run;
  MemoryLineSource input(std::move(lines));
  run.status = VistrelMain::main(desktop, {input, run.output, run.diagnostics}, encoder);
  return run;
}

JsonCodec::Value response(const std::string& line) {
  SimulatedDesktop desktop;
  LoopRun run = serve(desktop, {line});
  EXPECT_EQ(run.output.writes.size(), 2u);
  return JsonCodec::parse(run.output.writes.at(0));
}

TEST(VistrelMain, AnswersEachRequestWithTheRightIdAndShape) {
  struct Case {
    const char* name;
    const char* line;
    std::int64_t id;
    bool ok;
    const char* code;  // for errors
    const char* message;
  };
  const Case cases[] = {
      {"health", R"({"id":1,"method":"health"})", 1, true, nullptr, nullptr},
      {"unknown keys and null params", R"({"id":4,"method":"health","extra":true,"params":null})", 4, true, nullptr,
       nullptr},
      {"unknown method keeps the id", R"({"id":7,"method":"Health"})", 7, false, "invalidRequest",
       "Unknown method: Health"},
      {"method with slash and spaces", R"({"id":8,"method":" a/b "})", 8, false, "invalidRequest",
       "Unknown method:  a/b "},
      {"not JSON", "not json", 0, false, "invalidRequest", nullptr},
      {"empty line", "", 0, false, "invalidRequest", nullptr},
      {"missing id", R"({"method":"health"})", 0, false, "invalidRequest", nullptr},
      {"bad params lose the id", R"({"id":3,"method":"capture.probe","params":{"maximumDimension":"800"}})", 0, false,
       "invalidRequest", nullptr},
      {"inactive as a string", R"({"id":3,"method":"capture.probe","params":{"inactive":"yes"}})", 0, false,
       "invalidRequest", nullptr},
      // The empty desktop has no display to capture.
      {"capture error keeps the id", R"({"id":11,"method":"capture.probe"})", 11, false, "noShareableDisplay", nullptr},
      {"frame error keeps the id", R"({"id":12,"method":"capture.frame","params":{}})", 12, false,
       "noShareableDisplay", nullptr},
      {"invalid automation target still succeeds", R"({"id":13,"method":"automation.probe"})", 13, true, nullptr,
       nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const JsonCodec::Value answer = response(c.line);
    EXPECT_EQ(answer["id"], c.id);
    EXPECT_EQ(answer["ok"], c.ok);
    EXPECT_EQ(answer.contains("result"), c.ok);
    EXPECT_EQ(answer.contains("error"), !c.ok);
    if (!c.ok) {
      EXPECT_EQ(answer["error"]["code"], c.code);
      if (c.message) {
        EXPECT_EQ(answer["error"]["message"], c.message);
      }
      if (std::string(c.code) == "invalidRequest") {
        EXPECT_EQ(answer["error"]["retryable"], false);
      }
    }
  }
}

TEST(VistrelMain, HealthReportsTheDesktopsProcessAndPermissions) {
  SimulatedDesktop desktop;
  desktop.setProcess(4321, 1).setScreenRecordingGranted(false).setAccessibilityTrusted(true);
  LoopRun run = serve(desktop, {R"({"id":1,"method":"health"})", R"({"id":2,"method":"automation.reset"})"});
  ASSERT_EQ(run.output.writes.size(), 4u);
  for (const int index : {0, 2}) {
    const JsonCodec::Value health = JsonCodec::parse(run.output.writes[static_cast<std::size_t>(index)])["result"];
    EXPECT_EQ(HostHealth::decode(health),
              (HostHealth{.processID = 4321, .screenRecordingPreflight = false, .accessibilityTrusted = true}));
  }
}

TEST(VistrelMain, AutomationProbeTargetIsComparedExactly) {
  for (const char* target : {"Finder", "BROWSER", "", " finder"}) {
    SCOPED_TRACE(target);
    const JsonCodec::Value params = {{"automationTarget", target}};
    const JsonCodec::Value request = {{"id", 5}, {"method", "automation.probe"}, {"params", params}};
    const JsonCodec::Value answer = response(request.dump());
    EXPECT_EQ(answer["ok"], true);
    EXPECT_EQ(answer["result"], JsonCodec::parse(R"({"message":"Automation probe target is invalid.",)"
                                                 R"("status":"failed","target":"browser"})"));
  }
}

TEST(VistrelMain, CaptureProbeOnTheDemoDesktopDescribesTheEditorAndCutsOutTheBrowser) {
  const auto desktop = SimulatedDesktop::demo();
  LoopRun run = serve(*desktop, {R"({"id":1,"method":"capture.probe","params":{"maximumDimension":800}})"});
  ASSERT_EQ(run.output.writes.size(), 2u);
  const JsonCodec::Value result = JsonCodec::parse(run.output.writes[0])["result"];
  EXPECT_EQ(result["focusedBundleID"], "com.example.Editor");
  EXPECT_EQ(result["width"], 800);
  EXPECT_EQ(result["height"], 520);
  // Firefox's two windows, Slack and 1Password are cut out.
  EXPECT_EQ(result["excludedWindowCount"], 4);
  EXPECT_EQ(result["visibleWindowCount"], 9);
}

TEST(VistrelMain, TheDemoBrowserReportsItsPageWhenFocused) {
  const auto desktop = SimulatedDesktop::demo();
  auto windows = desktop->simulatedWindowServer().windows();
  std::swap(windows[0], windows[1]);  // Firefox comes to the front
  desktop->simulatedWindowServer().setWindows(windows);
  desktop->simulatedWorkspace().setFrontmostProcessID(612);
  LoopRun run = serve(*desktop, {R"({"id":1,"method":"capture.probe"})"});
  ASSERT_EQ(run.output.writes.size(), 2u);
  const JsonCodec::Value result = JsonCodec::parse(run.output.writes[0])["result"];
  EXPECT_EQ(result["focusedBundleID"], "org.mozilla.firefox");
  EXPECT_EQ(result["contextURL"], "https://news.example.org/today");
  EXPECT_EQ(result["normalizedDomain"], "example.org");
  EXPECT_EQ(result["browserReadStatus"], "pageURL");
}

TEST(VistrelMain, WritesJsonAndLineFeedAsTwoWritesInRequestOrder) {
  SimulatedDesktop desktop;
  LoopRun run = serve(desktop, {R"({"id":1,"method":"health"})", "garbage", R"({"id":3,"method":"nope"})"});
  EXPECT_EQ(run.status, 0);
  ASSERT_EQ(run.output.writes.size(), 6u);
  for (std::size_t index = 0; index < 6; index += 2) {
    EXPECT_EQ(run.output.writes[index].find('\n'), std::string::npos);
    EXPECT_EQ(run.output.writes[index + 1], "\n");
  }
  EXPECT_EQ(JsonCodec::parse(run.output.writes[0])["id"], 1);
  EXPECT_EQ(JsonCodec::parse(run.output.writes[2])["id"], 0);
  EXPECT_EQ(JsonCodec::parse(run.output.writes[4])["id"], 3);
  EXPECT_TRUE(run.diagnostics.writes.empty());
}

TEST(VistrelMain, AnUnencodableResponseGetsOnlyTheDiagnosticAndTheLoopGoesOn) {
  SimulatedDesktop desktop;
  int calls = 0;
  const VistrelMain::ResponseEncoder failFirst = [&calls](const HostResponse& answer) {
    if (++calls == 1) {
      throw JsonCodec::EncodingError("non-finite");
    }
    return encodeResponse(answer);
  };
  LoopRun run = serve(desktop, {R"({"id":1,"method":"health"})", R"({"id":2,"method":"health"})"}, failFirst);
  EXPECT_EQ(run.diagnostics.text(), "Failed to encode host response\n");
  EXPECT_EQ(run.diagnostics.text().size(), 31u);
  ASSERT_EQ(run.output.writes.size(), 2u);
  EXPECT_EQ(JsonCodec::parse(run.output.writes[0])["id"], 2);
}

TEST(VistrelMain, EmptyInputWritesNothingAndExitsZero) {
  SimulatedDesktop desktop;
  LoopRun run = serve(desktop, {});
  EXPECT_EQ(run.status, 0);
  EXPECT_TRUE(run.output.writes.empty());
  EXPECT_TRUE(run.diagnostics.writes.empty());
}

}  // namespace
}  // namespace Sablekit
