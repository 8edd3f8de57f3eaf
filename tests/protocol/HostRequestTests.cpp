#include <string>

#include <gtest/gtest.h>

#include "Sablekit/protocol/HostRequest.h"

namespace Sablekit {
namespace {

struct Case {
  const char* name;
  std::string line;
  bool decodes;
};

// A health request padded with an ignored member to exactly `size` bytes.
std::string longLine(std::size_t size) {
  const std::string head = R"({"id":1,"method":"health","pad":")";
  const std::string tail = R"("})";
  return head + std::string(size - head.size() - tail.size(), 'p') + tail;
}

const std::string nul(1, '\0');

TEST(HostRequest, DecodesStrictlyAndFailsTheWholeLineOnAnyFault) {
  const Case cases[] = {
      {"minimal", R"({"id":1,"method":"health"})", true},
      {"unknown keys ignored", R"({"id":4,"method":"health","extra":true,"params":null})", true},
      {"carriage return before the line feed", "{\"id\":1,\"method\":\"health\"}\r", true},
      {"integral float id", R"({"id":2.0,"method":"health"})", true},
      {"params with every member", R"({"id":1,"method":"capture.probe","params":{"maximumDimension":800,
        "inactive":true,"excludedBundleIDs":["a"],"excludedDomains":[],"excludedParentWindowTitles":["t"],
        "recordUnknownBundleIDs":false,"excludeProtectedApplications":false,"excludePrivateBrowsing":false,
        "allowBrowserAutomation":true,"allowFinderAutomation":true,"enabledExclusionGroups":["siri","x"],
        "automationTarget":"finder","browserBundleID":"com.google.chrome"}})",
       true},
      {"null members inside params", R"({"id":1,"method":"x","params":{"inactive":null,"excludedDomains":null}})",
       true},
      {"not JSON", "not json", false},
      {"empty line", "", false},
      {"array", "[1]", false},
      {"missing id", R"({"method":"health"})", false},
      {"null id", R"({"id":null,"method":"health"})", false},
      {"missing method", R"({"id":1})", false},
      {"string id", R"({"id":"1","method":"health"})", false},
      {"fractional id", R"({"id":1.5,"method":"health"})", false},
      {"id beyond 64 bits", R"({"id":9223372036854775808,"method":"health"})", false},
      {"method not a string", R"({"id":1,"method":7})", false},
      {"params not an object", R"({"id":1,"method":"health","params":[]})", false},
      {"wrong type inside params", R"({"id":3,"method":"capture.probe","params":{"maximumDimension":"800"}})", false},
      {"boolean as string", R"({"id":3,"method":"capture.probe","params":{"inactive":"true"}})", false},
      {"non-string in a string array", R"({"id":3,"method":"capture.probe","params":{"excludedDomains":["a",1]}})",
       false},
      {"null in a string array", R"({"id":3,"method":"capture.probe","params":{"excludedBundleIDs":[null]}})", false},
      {"trailing garbage", R"({"id":1,"method":"health"} x)", false},
      {"two objects", R"({"id":1,"method":"health"}{"id":2,"method":"health"})", false},
      {"NUL byte after the object", R"({"id":1,"method":"health"})" + nul + "x", false},
      {"NUL byte inside a string", R"({"id":1,"method":"he)" + nul + R"(lth"})", false},
      {"escaped NUL inside a string", R"({"id":1,"method":"he\u0000lth"})", true},
      {"longest line", longLine(HostRequest::maximumLineBytes), true},
      {"one byte too long", longLine(HostRequest::maximumLineBytes + 1), false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    if (c.decodes) {
      EXPECT_NO_THROW(HostRequest::decodeLine(c.line));
    } else {
      EXPECT_THROW(HostRequest::decodeLine(c.line), JsonCodec::DecodingError);
    }
  }
}

TEST(HostRequest, AbsentAndNullParamsAreTheSame) {
  EXPECT_FALSE(HostRequest::decodeLine(R"({"id":1,"method":"health"})").params.has_value());
  EXPECT_FALSE(HostRequest::decodeLine(R"({"id":1,"method":"health","params":null})").params.has_value());
  const HostRequest request = HostRequest::decodeLine(R"({"id":-9,"method":"capture.probe","params":{}})");
  EXPECT_EQ(request.id, -9);
  ASSERT_TRUE(request.params.has_value());
  EXPECT_EQ(*request.params, CaptureProbeParameters{});
}

TEST(HostRequest, EncodesAndDecodesToTheSameRecord) {
  const HostRequest request{
      .id = 42,
      .method = "capture.probe",
      .params = CaptureProbeParameters{.maximumDimension = 1024,
                                       .excludedDomains = std::vector<std::string>{"example.com/x"},
                                       .automationTarget = "browser"},
  };
  const std::string text = JsonCodec::serialize(JsonCodec::Value(request));
  EXPECT_EQ(
      text,
      R"({"id":42,"method":"capture.probe","params":{"automationTarget":"browser","excludedDomains":["example.com/x"],"maximumDimension":1024}})");
  EXPECT_EQ(HostRequest::decodeLine(text), request);
}

}  // namespace
}  // namespace Sablekit
