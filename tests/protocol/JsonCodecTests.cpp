#include <cmath>
#include <limits>

#include <gtest/gtest.h>

#include "Sablekit/protocol/JsonCodec.h"

namespace Sablekit {
namespace {

using JsonCodec::Value;

TEST(JsonCodec, SortsKeysByCodePointAtEveryLevel) {
  Value inner = Value::object();
  inner["b"] = 1;
  inner["B"] = 2;
  inner["a"] = 3;
  Value outer = Value::object();
  outer["z"] = inner;
  outer["Z"] = Value::array({inner});
  outer["m"] = true;
  EXPECT_EQ(JsonCodec::serialize(outer), R"({"Z":[{"B":2,"a":3,"b":1}],"m":true,"z":{"B":2,"a":3,"b":1}})");
}

TEST(JsonCodec, WritesSlashesPlainAndNonAsciiAsUtf8) {
  Value value = Value::object();
  value["url"] = "https://example.com/a/b";
  value["text"] = "caf\u00E9 \u2603 \"quoted\" \\ \n\t\x01";
  EXPECT_EQ(JsonCodec::serialize(value),
            "{\"text\":\"caf\u00E9 \u2603 \\\"quoted\\\" \\\\ \\n\\t\\u0001\",\"url\":\"https://example.com/a/b\"}");
}

TEST(JsonCodec, ReplacesInvalidUtf8RatherThanFailing) {
  const Value value = std::string("bad \xC3 byte");
  EXPECT_EQ(JsonCodec::serialize(value), "\"bad \xEF\xBF\xBD byte\"");
}

TEST(JsonCodec, RefusesNonFiniteNumbers) {
  const double doubles[] = {std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity(),
                            -std::numeric_limits<double>::infinity()};
  for (const double value : doubles) {
    EXPECT_THROW(JsonCodec::number(value), JsonCodec::EncodingError);
    EXPECT_THROW(JsonCodec::number(static_cast<float>(value)), JsonCodec::EncodingError);
  }
}

TEST(JsonCodec, WritesFloatsInTheirShortestRoundTripForm) {
  struct Case {
    float value;
    const char* expected;
  };
  const Case cases[] = {{0.1f, "0.1"},
                        {0.3f, "0.3"},
                        {1.5f, "1.5"},
                        {-2.75f, "-2.75"},
                        {16777216.0f, "16777216.0"},
                        {3.4028235e38f, "3.4028235e+38"},
                        {1e-45f, "1e-45"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.expected);
    EXPECT_EQ(JsonCodec::serialize(JsonCodec::number(c.value)), c.expected);
    EXPECT_EQ(static_cast<float>(JsonCodec::parse(JsonCodec::serialize(JsonCodec::number(c.value))).get<double>()),
              c.value);
  }
}

TEST(JsonCodec, WritesDoublesThatReadBackExactly) {
  for (const double value : {0.1, 1.0 / 3.0, -1234.5, 1e300, 5e-324}) {
    EXPECT_EQ(JsonCodec::parse(JsonCodec::serialize(JsonCodec::number(value))).get<double>(), value);
  }
}

TEST(JsonCodecObjectReader, ReadsIntegersStrictly) {
  struct Case {
    const char* json;
    std::optional<std::int64_t> expected;  // absent: decoding fails
  };
  const Case cases[] = {
      {R"({"n":5})", 5},
      {R"({"n":-5})", -5},
      {R"({"n":5.0})", 5},
      {R"({"n":5e2})", 500},
      {R"({"n":9223372036854775807})", INT64_MAX},
      {R"({"n":-9223372036854775808})", INT64_MIN},
      {R"({"n":5.5})", std::nullopt},
      {R"({"n":9223372036854775808})", std::nullopt},
      {R"({"n":1e19})", std::nullopt},
      {R"({"n":-1e19})", std::nullopt},
      {R"({"n":9007199254740991.0})", 9007199254740991},
      {R"({"n":-1e15})", -1000000000000000},
      // Written with a fraction or exponent and at least 2^53: possibly rounded already.
      {R"({"n":9007199254740993.0})", std::nullopt},
      {R"({"n":1e18})", std::nullopt},
      {R"({"n":-9223372036854775809})", std::nullopt},
      {R"({"n":"5"})", std::nullopt},
      {R"({"n":true})", std::nullopt},
      {R"({"n":[5]})", std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.json);
    const Value value = JsonCodec::parse(c.json);
    const JsonCodec::ObjectReader reader(value, "");
    if (c.expected) {
      EXPECT_EQ(reader.requiredInt64("n"), *c.expected);
    } else {
      EXPECT_THROW(reader.requiredInt64("n"), JsonCodec::DecodingError);
    }
  }
}

TEST(JsonCodecObjectReader, TreatsNullAsAbsentAndNamesThePathOfAFault) {
  const Value value = JsonCodec::parse(R"({"a":null,"list":["x",2],"flag":"yes"})");
  const JsonCodec::ObjectReader reader(value, "params");
  EXPECT_FALSE(reader.optionalBool("a").has_value());
  EXPECT_FALSE(reader.optionalString("missing").has_value());
  EXPECT_THROW(reader.requiredString("a"), JsonCodec::DecodingError);
  try {
    (void)reader.optionalStringArray("list");
    FAIL() << "a number inside an array of strings must fail";
  } catch (const JsonCodec::DecodingError& error) {
    EXPECT_STREQ(error.what(), "params.list[1]: expected a string, found an integer");
  }
  try {
    (void)reader.optionalBool("flag");
    FAIL() << "a string where a boolean belongs must fail";
  } catch (const JsonCodec::DecodingError& error) {
    EXPECT_STREQ(error.what(), "params.flag: expected a boolean, found a string");
  }
}

TEST(JsonCodecObjectReader, RefusesNonObjects) {
  for (const char* text : {"[]", "1", "\"x\"", "null"}) {
    SCOPED_TRACE(text);
    const Value value = JsonCodec::parse(text);
    EXPECT_THROW(JsonCodec::ObjectReader(value, ""), JsonCodec::DecodingError);
  }
}

}  // namespace
}  // namespace Sablekit
