// Black-box tests: the built programs, driven through real pipes.
#include <cstdio>
#include <fstream>
#include <sstream>

#include <gtest/gtest.h>

#include "Sablekit/protocol/JsonCodec.h"
#include "tests/support/ChildProcess.h"

namespace Sablekit {
namespace {

using Testing::ChildResult;
using Testing::runChild;

std::vector<std::string> splitLines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    const std::size_t end = text.find('\n', start);
    EXPECT_NE(end, std::string::npos) << "every response ends with a line feed";
    if (end == std::string::npos) {
      break;
    }
    lines.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return lines;
}

class HostProgram : public ::testing::TestWithParam<const char*> {};

TEST_P(HostProgram, EmptyInputWritesNothingAndExitsZero) {
  const ChildResult result = runChild(GetParam(), {}, "");
  EXPECT_EQ(result.exitStatus, 0);
  EXPECT_EQ(result.standardOutput, "");
  EXPECT_EQ(result.standardError, "");
}

TEST_P(HostProgram, AnswersEveryLineInOrderIncludingAFinalLineWithoutLineFeed) {
  const std::string input =
      "{\"id\":1,\"method\":\"health\"}\n"
      "{\"id\":2,\"method\":\"health\"}\r\n"
      "this is not json\n"
      "\n"
      "{\"id\":5,\"method\":\"capture.probe\"}\n"
      "{\"id\":6,\"method\":\"health\"}";
  const ChildResult result = runChild(GetParam(), {}, input);
  EXPECT_EQ(result.exitStatus, 0);
  EXPECT_EQ(result.standardError, "");
  const std::vector<std::string> lines = splitLines(result.standardOutput);
  ASSERT_EQ(lines.size(), 6u);
  const std::int64_t expectedIds[] = {1, 2, 0, 0, 5, 6};
  for (std::size_t index = 0; index < lines.size(); ++index) {
    SCOPED_TRACE(lines[index]);
    const JsonCodec::Value answer = JsonCodec::parse(lines[index]);
    EXPECT_EQ(answer["id"], expectedIds[index]);
    EXPECT_EQ(JsonCodec::serialize(answer), lines[index]) << "compact, sorted keys, nothing unescaped differently";
  }
  EXPECT_EQ(JsonCodec::parse(lines[0])["result"]["processID"], result.processID);
  EXPECT_TRUE(lines[0].starts_with(R"({"id":1,"ok":true,"result":{"accessibilityTrusted":)"));
  EXPECT_TRUE(lines[2].starts_with(R"({"error":{"code":"invalidRequest","message":)"));
}

TEST_P(HostProgram, ServesManyLinesSentAtOnce) {
  std::string input;
  for (int id = 1; id <= 2000; ++id) {
    input += "{\"id\":" + std::to_string(id) + ",\"method\":\"health\"}\n";
  }
  const ChildResult result = runChild(GetParam(), {}, input);
  const std::vector<std::string> lines = splitLines(result.standardOutput);
  ASSERT_EQ(lines.size(), 2000u);
  EXPECT_EQ(JsonCodec::parse(lines.back())["id"], 2000);
}

INSTANTIATE_TEST_SUITE_P(BothEntryPoints, HostProgram, ::testing::Values(VISTREL_PATH, VISTREL_SIM_PATH));

std::string writeScenario(const std::string& name, const std::string& text) {
  const std::string path = ::testing::TempDir() + "/" + name;
  std::ofstream(path) << text;
  return path;
}

TEST(VistrelSim, AnUnencodableResponseGetsTheDiagnosticAndTheNextRequestIsAnswered) {
  const std::string scenario =
      writeScenario("encode-fault.json", R"({"faults": [{"operation": "protocol.encodeResponse", "times": 1}]})");
  const ChildResult result =
      runChild(VISTREL_SIM_PATH, {scenario}, "{\"id\":1,\"method\":\"health\"}\n{\"id\":2,\"method\":\"health\"}\n");
  EXPECT_EQ(result.exitStatus, 0);
  EXPECT_EQ(result.standardError, "Failed to encode host response\n");
  const std::vector<std::string> lines = splitLines(result.standardOutput);
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(JsonCodec::parse(lines[0])["id"], 2);
}

TEST(VistrelSim, ScenarioDecidesTheHealthReport) {
  const std::string scenario = writeScenario("permissions.json",
                                             R"({"process": {"processID": 777, "parentProcessID": 1},
          "permissions": {"screenRecording": false, "accessibilityTrusted": false}})");
  const ChildResult result = runChild(VISTREL_SIM_PATH, {scenario}, "{\"id\":3,\"method\":\"automation.reset\"}\n");
  const JsonCodec::Value health = JsonCodec::parse(result.standardOutput)["result"];
  EXPECT_EQ(health["processID"], 777);
  EXPECT_EQ(health["screenRecordingPreflight"], false);
  EXPECT_EQ(health["accessibilityTrusted"], false);
  EXPECT_EQ(health["finderAutomationUnavailable"], false);
}

TEST(VistrelSim, ABadScenarioIsReportedAndNothingIsServed) {
  const std::string scenario = writeScenario("bad.json", R"({"permissions": {"screenRecording": 1}})");
  const ChildResult result = runChild(VISTREL_SIM_PATH, {scenario}, "{\"id\":1,\"method\":\"health\"}\n");
  EXPECT_EQ(result.exitStatus, 2);
  EXPECT_EQ(result.standardOutput, "");
  EXPECT_NE(result.standardError.find("permissions.screenRecording"), std::string::npos);
}

}  // namespace
}  // namespace Sablekit
