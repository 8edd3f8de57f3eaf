// File URLs of directories built from POSIX paths.
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "Sablekit/common/WebURL.h"

namespace Sablekit {
namespace {

TEST(DirectoryFileURL, EncodesEachSegmentAndEndsInASlash) {
  struct Case {
    std::string path;
    std::optional<std::string> url;
  };
  const std::vector<Case> cases{
      {"/", "file:///"},
      {"/Users/me/", "file:///Users/me/"},
      {"/Users/me", "file:///Users/me/"},
      {"/Users/me/My Folder/", "file:///Users/me/My%20Folder/"},
      {"/tmp/100%/#1?/", "file:///tmp/100%25/%231%3F/"},
      {"/Users/me/Caf\xC3\xA9/", "file:///Users/me/Caf%C3%A9/"},
      {"relative/path", std::nullopt},
      {"", std::nullopt},
      {std::string("/tmp/a\0b", 8), std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    const auto url = WebURL::directoryFileURL(c.path);
    EXPECT_EQ(url, c.url);
    if (url) {
      // What is built must read back as a file URL with the same path.
      const auto parsed = WebURL::parse(*url);
      ASSERT_TRUE(parsed.has_value());
      EXPECT_EQ(parsed->scheme(), "file");
      EXPECT_EQ(parsed->percentEncodedHost(), "");
    }
  }
}

}  // namespace
}  // namespace Sablekit
