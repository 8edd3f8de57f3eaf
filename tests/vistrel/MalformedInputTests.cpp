// Request lines a careless or hostile parent could send, each through one
// running vistrel-sim: every line gets exactly one well-formed answer and the
// host goes on serving. docs/malformed-input.md lists what each case yields.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "Sablekit/protocol/HostRequest.h"
#include "Sablekit/protocol/JsonCodec.h"
#include "tests/support/RunningChild.h"

namespace Sablekit {
namespace {

using Testing::RunningChild;

struct Expected {
  std::int64_t id = 0;
  // Absent: the request succeeds. Otherwise the error code.
  std::optional<std::string> code;
  // A piece the error message must hold, when it matters.
  std::string messagePart = {};
};

struct MalformedCase {
  std::string name;
  std::string line;  // without its line feed
  Expected expected;
};

const Expected undecodable{0, "invalidRequest"};
const Expected healthOne{1, std::nullopt};

std::string withNul(const std::string& before, const std::string& after) {
  return before + std::string(1, '\0') + after;
}

std::string repeated(const std::string& piece, std::size_t count) {
  std::string text;
  text.reserve(piece.size() * count);
  for (std::size_t index = 0; index < count; ++index) {
    text += piece;
  }
  return text;
}

// A health request whose ignored member "x" holds `value`.
std::string healthWith(const std::string& value) {
  return R"({"id":1,"method":"health","x":)" + value + "}";
}

// A request with id 1, `method` and `params` as given (raw JSON).
std::string requestWithParams(const std::string& method, const std::string& params) {
  return R"({"id":1,"method":")" + method + R"(","params":)" + params + "}";
}

// A health request padded with an ignored string to exactly `size` bytes.
std::string paddedHealth(std::size_t size) {
  const std::string head = R"({"id":1,"method":"health","pad":")";
  const std::string tail = R"("})";
  return head + std::string(size - head.size() - tail.size(), 'p') + tail;
}

std::string stringArray(const std::string& prefix, std::size_t count) {
  std::string text = "[";
  for (std::size_t index = 0; index < count; ++index) {
    text += (index == 0 ? "\"" : ",\"") + prefix + std::to_string(index) + "\"";
  }
  return text + "]";
}

std::vector<MalformedCase> malformedCases() {
  const std::string bom = "\xEF\xBB\xBF";
  const std::size_t deep = 10'000;
  const std::size_t sixtyFourMegabytes = 64 * 1024 * 1024;
  return {
      // Framing and text encoding.
      {"empty line", "", undecodable},
      {"white space only", " \t ", undecodable},
      {"not JSON", "hello", undecodable},
      {"byte order mark before the request", bom + R"({"id":1,"method":"health"})", healthOne},
      {"byte order mark between members", R"({"id":1,)" + bom + R"("method":"health"})", undecodable},
      {"invalid UTF-8 in the method", "{\"id\":1,\"method\":\"he\xFFlth\"}", undecodable},
      {"invalid UTF-8 in an ignored member", healthWith("\"\xC3\x28\""), undecodable},
      {"overlong encoding of a slash", healthWith("\"\xC0\xAF\""), undecodable},
      {"surrogate encoded as UTF-8", healthWith("\"\xED\xA0\x80\""), undecodable},
      {"code point beyond U+10FFFF", healthWith("\"\xF4\x90\x80\x80\""), undecodable},
      {"multibyte sequence cut short", "{\"id\":1,\"method\":\"h\xE2\x82\"}", undecodable},
      {"lone escaped surrogate", healthWith(R"("\ud800")"), undecodable},
      {"escaped surrogate pair in the method",
       R"({"id":1,"method":"\ud83d\ude00"})",
       {1, "invalidRequest", "Unknown method: \xF0\x9F\x98\x80"}},
      {"NUL byte after the object", withNul(R"({"id":1,"method":"health"})", R"({"id":2,"method":"health"})"),
       undecodable},
      {"NUL byte inside a string", withNul(R"({"id":1,"method":"he)", R"(lth"})"), undecodable},
      {"NUL byte alone", std::string(1, '\0'), undecodable},
      {"escaped NUL in the method",
       R"({"id":1,"method":"health\u0000"})",
       {1, "invalidRequest", std::string("Unknown method: health") + '\0'}},
      {"carriage return before the line feed", "{\"id\":1,\"method\":\"health\"}\r", healthOne},
      {"carriage return between members", "{\"id\":1,\r\"method\":\"health\"}", healthOne},
      {"carriage return then a second request", "{\"id\":1,\"method\":\"health\"}\r{\"id\":2,\"method\":\"health\"}",
       undecodable},
      {"two objects on one line", R"({"id":1,"method":"health"}{"id":2,"method":"health"})", undecodable},
      {"form feed is not JSON white space", "{\"id\":1,\f\"method\":\"health\"}", undecodable},
      {"raw tab inside a string", "{\"id\":1,\"method\":\"hea\tlth\"}", undecodable},
      {"comment after the object", R"({"id":1,"method":"health"} // hi)", undecodable},
      {"trailing comma", R"({"id":1,"method":"health",})", undecodable},
      {"single quotes", R"({'id':1,'method':'health'})", undecodable},
      {"unterminated object", R"({"id":1,"method":"health")", undecodable},
      {"unterminated string", R"({"id":1,"method":"health)", undecodable},

      // Numbers.
      {"id with an exponent", R"({"id":1e3,"method":"health"})", {1000, std::nullopt}},
      {"id with a fraction and a capital exponent", R"({"id":2.5E1,"method":"health"})", {25, std::nullopt}},
      {"integral id written with a fraction", R"({"id":7.000,"method":"health"})", {7, std::nullopt}},
      {"largest 64-bit id", R"({"id":9223372036854775807,"method":"health"})", {INT64_MAX, std::nullopt}},
      {"smallest 64-bit id", R"({"id":-9223372036854775808,"method":"health"})", {INT64_MIN, std::nullopt}},
      {"id one past the 64-bit range", R"({"id":9223372036854775808,"method":"health"})", undecodable},
      {"id one below the 64-bit range", R"({"id":-9223372036854775809,"method":"health"})", undecodable},
      {"id a double cannot hold exactly", R"({"id":9007199254740993.0,"method":"health"})", undecodable},
      {"id overflowing a double", R"({"id":1e400,"method":"health"})", undecodable},
      {"id underflowing to zero", R"({"id":1e-400,"method":"health"})", {0, std::nullopt}},
      {"negative zero id", R"({"id":-0,"method":"health"})", {0, std::nullopt}},
      {"fractional id", R"({"id":1.5,"method":"health"})", undecodable},
      {"id with a leading zero", R"({"id":01,"method":"health"})", undecodable},
      {"id with a plus sign", R"({"id":+1,"method":"health"})", undecodable},
      {"hexadecimal id", R"({"id":0x10,"method":"health"})", undecodable},
      {"NaN id", R"({"id":NaN,"method":"health"})", undecodable},
      {"infinite id", R"({"id":Infinity,"method":"health"})", undecodable},
      {"maximum dimension with an exponent", requestWithParams("capture.probe", R"({"maximumDimension":3.2e2})"),
       healthOne},
      {"negative maximum dimension is clamped", requestWithParams("capture.probe", R"({"maximumDimension":-5})"),
       healthOne},
      {"maximum dimension beyond 64 bits", requestWithParams("capture.probe", R"({"maximumDimension":1e30})"),
       undecodable},

      // Duplicate keys: the last occurrence counts.
      {"duplicate id", R"({"id":1,"id":2,"method":"health"})", {2, std::nullopt}},
      {"duplicate method", R"({"id":1,"method":"nope","method":"health"})", healthOne},
      {"duplicate params, the last null", R"({"id":1,"method":"health","params":"bad","params":null})", healthOne},

      // Wrong types at every level.
      {"request is an array", R"([1,"health"])", undecodable},
      {"request is a string", R"("health")", undecodable},
      {"request is null", "null", undecodable},
      {"request is a number", "1", undecodable},
      {"id is a string", R"({"id":"1","method":"health"})", undecodable},
      {"id is a boolean", R"({"id":true,"method":"health"})", undecodable},
      {"id is null", R"({"id":null,"method":"health"})", undecodable},
      {"id is an array", R"({"id":[1],"method":"health"})", undecodable},
      {"id is an object", R"({"id":{"n":1},"method":"health"})", undecodable},
      {"id is missing", R"({"method":"health"})", undecodable},
      {"method is a number", R"({"id":1,"method":5})", undecodable},
      {"method is null", R"({"id":1,"method":null})", undecodable},
      {"method is an array", R"({"id":1,"method":["health"]})", undecodable},
      {"method is missing", R"({"id":1})", undecodable},
      {"params is a string", requestWithParams("capture.probe", R"("x")"), undecodable},
      {"params is an array", requestWithParams("capture.probe", "[]"), undecodable},
      {"params is a number", requestWithParams("health", "5"), undecodable},
      {"params is a boolean", requestWithParams("automation.probe", "true"), undecodable},
      {"maximum dimension is a string", requestWithParams("capture.probe", R"({"maximumDimension":"800"})"),
       undecodable},
      {"maximum dimension is a boolean", requestWithParams("capture.frame", R"({"maximumDimension":true})"),
       undecodable},
      {"inactive is a string", requestWithParams("capture.probe", R"({"inactive":"true"})"), undecodable},
      {"inactive is a number", requestWithParams("capture.probe", R"({"inactive":1})"), undecodable},
      {"excluded identifiers are a string", requestWithParams("capture.probe", R"({"excludedBundleIDs":"a"})"),
       undecodable},
      {"excluded domains hold a number", requestWithParams("capture.probe", R"({"excludedDomains":["a",1]})"),
       undecodable},
      {"excluded titles hold null", requestWithParams("capture.probe", R"({"excludedParentWindowTitles":[null]})"),
       undecodable},
      {"exclusion groups are an object", requestWithParams("capture.probe", R"({"enabledExclusionGroups":{}})"),
       undecodable},
      {"automation target is a number", requestWithParams("automation.probe", R"({"automationTarget":1})"),
       undecodable},
      {"unknown automation target", requestWithParams("automation.probe", R"({"automationTarget":"bogus"})"),
       healthOne},

      // Methods compared exactly.
      {"method in the wrong case", R"({"id":1,"method":"Health"})", {1, "invalidRequest", "Unknown method: Health"}},
      {"method with a leading space",
       R"({"id":1,"method":" health"})",
       {1, "invalidRequest", "Unknown method:  health"}},
      {"empty method", R"({"id":1,"method":""})", {1, "invalidRequest", "Unknown method: "}},

      // Size and nesting.
      {"10,000-deep arrays in an ignored member", healthWith(repeated("[", deep) + repeated("]", deep)), healthOne},
      {"10,000-deep objects in an ignored member", healthWith(repeated(R"({"a":)", deep) + "0" + repeated("}", deep)),
       healthOne},
      {"10,000-deep arrays in a string list",
       requestWithParams("capture.probe", R"({"excludedBundleIDs":)" + repeated("[", deep) + repeated("]", deep) + "}"),
       undecodable},
      {"10,000 brackets never closed", R"({"id":1,"method":"health","x":)" + repeated("[", deep), undecodable},
      {"100,000 excluded identifiers and domains",
       requestWithParams("capture.probe", R"({"excludedBundleIDs":)" + stringArray("com.example.app", 100'000) +
                                              R"(,"excludedDomains":)" + stringArray("d.example", 100'000) + "}"),
       healthOne},
      {"100,000 ignored members", R"({"id":1,"method":"health",)" + repeated(R"("k":0,)", 100'000) + R"("last":0})",
       healthOne},
      {"one-megabyte method",
       R"({"id":1,"method":")" + std::string(1024 * 1024, 'm') + R"("})",
       {1, "invalidRequest", "Unknown method: mmmm"}},
      {"line at the length limit", paddedHealth(HostRequest::maximumLineBytes), healthOne},
      {"line one byte over the limit",
       paddedHealth(HostRequest::maximumLineBytes + 1),
       {0, "invalidRequest", "more than 4194304"}},
      {"64 MB request line", paddedHealth(sixtyFourMegabytes), {0, "invalidRequest", "more than 4194304"}},
      {"64 MB of bytes that are not JSON", std::string(sixtyFourMegabytes, '\x80'), undecodable},
  };
}

// One response line: JSON of exactly the shape the encoder writes (compact,
// keys sorted, '/' unescaped), so re-encoding the parsed line gives it back.
JsonCodec::Value wellFormedResponse(const std::optional<std::string>& line) {
  EXPECT_TRUE(line.has_value()) << "the host answers";
  if (!line) {
    return {};
  }
  const JsonCodec::Value response = JsonCodec::parse(*line);
  EXPECT_EQ(JsonCodec::serialize(response), *line);
  EXPECT_EQ(line->find("\\/"), std::string::npos);
  return response;
}

TEST(MalformedInput, EveryLineGetsExactlyOneAnswerAndTheHostServesTheNext) {
  RunningChild host(VISTREL_SIM_PATH, {});
  // Generous safety margins: the largest lines are parsed on a busy machine.
  const double safetySeconds = 300;
  std::int64_t followUpID = 1'000'000;
  for (const MalformedCase& c : malformedCases()) {
    SCOPED_TRACE(c.name);
    ++followUpID;
    host.write(c.line + "\n" + R"({"id":)" + std::to_string(followUpID) + R"(,"method":"health"})" + "\n");

    const JsonCodec::Value answer = wellFormedResponse(host.readLine(safetySeconds));
    ASSERT_TRUE(answer.is_object());
    EXPECT_EQ(answer["id"], c.expected.id);
    EXPECT_EQ(answer["ok"], !c.expected.code.has_value());
    if (c.expected.code) {
      ASSERT_TRUE(answer.contains("error")) << answer.dump();
      EXPECT_EQ(answer["error"]["code"], *c.expected.code);
      EXPECT_EQ(answer["error"]["retryable"], false);
      EXPECT_NE(answer["error"]["message"].get<std::string>().find(c.expected.messagePart), std::string::npos)
          << answer["error"]["message"];
    } else {
      EXPECT_TRUE(answer.contains("result")) << answer.dump().substr(0, 400);
    }

    const JsonCodec::Value next = wellFormedResponse(host.readLine(safetySeconds));
    ASSERT_TRUE(next.is_object());
    EXPECT_EQ(next["id"], followUpID) << "the answer to the line after";
    EXPECT_EQ(next["ok"], true);
  }
  host.closeInput();
  EXPECT_EQ(host.readToEnd(), "") << "nothing but one answer per line";
  EXPECT_EQ(host.waitForExit(), 0);
}

}  // namespace
}  // namespace Sablekit
