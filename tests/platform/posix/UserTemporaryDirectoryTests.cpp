#include <fstream>
#include <functional>
#include <map>

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "Sablekit/platform/posix/UserTemporaryDirectory.h"
#include "tests/support/ScratchDirectory.h"

namespace Sablekit {
namespace {

namespace fs = std::filesystem;
using testing::ScratchDirectory;

EnvironmentLookup environment(std::map<std::string, std::string> variables) {
  return [variables = std::move(variables)](std::string_view name) -> std::optional<std::string> {
    auto found = variables.find(std::string(name));
    if (found == variables.end()) {
      return std::nullopt;
    }
    return found->second;
  };
}

TEST(UserTemporaryDirectory, PrefersTheRuntimeDirectoryThenTMPDIR) {
  struct Case {
    const char* name;
    std::map<std::string, std::string> variables;
    const char* expected;
  };
  const Case cases[] = {
      {"both set", {{"XDG_RUNTIME_DIR", "/run/user/7"}, {"TMPDIR", "/var/tmp/me"}}, "/run/user/7"},
      {"only TMPDIR", {{"TMPDIR", "/var/tmp/me"}}, "/var/tmp/me"},
      {"empty runtime directory", {{"XDG_RUNTIME_DIR", ""}, {"TMPDIR", "/var/tmp/me"}}, "/var/tmp/me"},
  };
  ScratchDirectory root;
  for (const auto& c : cases) {
    EXPECT_EQ(UserTemporaryDirectory::resolve(environment(c.variables), root.path(), ::getuid()), fs::path(c.expected))
        << c.name;
  }
  EXPECT_TRUE(fs::is_empty(root.path())) << "no private directory is made when the environment names one";
}

TEST(UserTemporaryDirectory, WithoutEnvironmentCreatesAPrivateDirectoryAndReusesIt) {
  ScratchDirectory root;
  const uid_t uid = ::getuid();
  const fs::path expected = root.path() / ("orvane-" + std::to_string(uid));
  const mode_t previousMask = ::umask(0277);  // would leave the owner unable to write
  const auto first = UserTemporaryDirectory::resolve(environment({{"TMPDIR", ""}}), root.path(), uid);
  ::umask(previousMask);
  ASSERT_EQ(first, expected);

  struct stat status {};
  ASSERT_EQ(::lstat(expected.c_str(), &status), 0);
  EXPECT_TRUE(S_ISDIR(status.st_mode));
  EXPECT_EQ(status.st_mode & 0777, 0700u);
  EXPECT_EQ(UserTemporaryDirectory::resolve(environment({}), root.path(), uid), expected) << "existing one accepted";
}

TEST(UserTemporaryDirectory, RefusesAPrivateDirectoryThatIsNotSafelyOurs) {
  const uid_t uid = ::getuid();
  const std::string own = "orvane-" + std::to_string(uid);
  struct Case {
    const char* name;
    std::function<void(const fs::path& root)> prepare;
    uid_t uid;
  };
  const Case cases[] = {
      {"symbolic link to a private directory",
       [&](const fs::path& root) {
         ASSERT_EQ(::mkdir((root / "elsewhere").c_str(), 0700), 0);
         fs::create_directory_symlink(root / "elsewhere", root / own);
       },
       uid},
      {"open to others",
       [&](const fs::path& root) {
         ASSERT_EQ(::mkdir((root / own).c_str(), 0700), 0);
         ASSERT_EQ(::chmod((root / own).c_str(), 0755), 0);
       },
       uid},
      {"a plain file", [&](const fs::path& root) { std::ofstream(root / own) << "x"; }, uid},
      // Our directory seen from another user: the owner does not match theirs.
      {"owned by someone else",
       [&](const fs::path& root) {
         ASSERT_EQ(::mkdir((root / ("orvane-" + std::to_string(uid + 1))).c_str(), 0700), 0);
       },
       uid + 1},
      {"root missing", [&](const fs::path& root) { fs::remove(root); }, uid},
  };
  for (const auto& c : cases) {
    ScratchDirectory scratch;
    const fs::path root = scratch.path() / "root";
    ASSERT_EQ(::mkdir(root.c_str(), 0700), 0);
    c.prepare(root);
    EXPECT_EQ(UserTemporaryDirectory::resolve(environment({}), root, c.uid), std::nullopt) << c.name;
  }
}

}  // namespace
}  // namespace Sablekit
