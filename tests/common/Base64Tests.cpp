// Base64: the RFC 4648 vectors, both ends of the alphabet, and long input in one unbroken line.
#include <algorithm>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "Sablekit/common/Base64.h"

namespace Sablekit {
namespace {

std::vector<std::uint8_t> bytesOf(const std::string& text) {
  return {text.begin(), text.end()};
}

TEST(Base64Tests, encodesTheStandardVectorsWithPadding) {
  const struct {
    const char* name;
    std::vector<std::uint8_t> input;
    const char* expected;
  } cases[] = {
      {"empty", {}, ""},
      {"f", bytesOf("f"), "Zg=="},
      {"fo", bytesOf("fo"), "Zm8="},
      {"foo", bytesOf("foo"), "Zm9v"},
      {"foob", bytesOf("foob"), "Zm9vYg=="},
      {"fooba", bytesOf("fooba"), "Zm9vYmE="},
      {"foobar", bytesOf("foobar"), "Zm9vYmFy"},
      // The last two letters of the standard alphabet, not the URL-safe "-_".
      {"plus and slash", {0xFB, 0xFF, 0xBF}, "+/+/"},
      {"zero bytes", {0, 0, 0, 0}, "AAAAAA=="},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(base64Encode(c.input), c.expected);
  }
}

TEST(Base64Tests, longInputIsOneLineWithoutBreaks) {
  // Several megabytes, so any chunking inside must join seamlessly, and a
  // trailing byte that needs padding after the last whole group.
  constexpr std::size_t repeats = 1'100'000;
  std::vector<std::uint8_t> input;
  std::string expected;
  input.reserve(6 * repeats + 1);
  expected.reserve(8 * repeats + 4);
  for (std::size_t i = 0; i < repeats; ++i) {
    input.insert(input.end(), {'f', 'o', 'o', 'b', 'a', 'r'});
    expected += "Zm9vYmFy";
  }
  input.push_back('f');
  expected += "Zg==";

  const std::string text = base64Encode(input);
  EXPECT_EQ(text.find_first_of("\r\n"), std::string::npos);
  EXPECT_EQ(text.size(), expected.size());
  EXPECT_TRUE(text == expected) << "first difference at "
                                << std::mismatch(text.begin(), text.end(), expected.begin(), expected.end()).first -
                                       text.begin();
}

}  // namespace
}  // namespace Sablekit
