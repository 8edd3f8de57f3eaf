// SHA-256 as lowercase hexadecimal: the FIPS 180-2 test vectors, bytes and text alike.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "Sablekit/common/Digest.h"

namespace Sablekit {
namespace {

TEST(DigestTests, sha256HexGivesTheStandardVectorsInLowercase) {
  const struct {
    const char* name;
    std::string input;
    const char* expected;
  } cases[] = {
      {"empty", "", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
      {"abc", "abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
      {"two blocks", "abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
       "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
      {"a million a", std::string(1'000'000, 'a'), "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
      {"embedded NUL counts", std::string("a\0b", 3),
       "59b271ae1bbcb1d31d41929817f4b16fb439eb4f31520b5ad1d5ce98920a7138"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(sha256Hex(c.input), c.expected);
    const std::vector<std::uint8_t> bytes(c.input.begin(), c.input.end());
    EXPECT_EQ(sha256Hex(bytes), c.expected);
  }
}

}  // namespace
}  // namespace Sablekit
