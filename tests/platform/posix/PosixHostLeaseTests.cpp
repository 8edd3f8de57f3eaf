#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "Sablekit/platform/posix/PosixHostLease.h"
#include "tests/support/ScratchDirectory.h"

namespace Sablekit {
namespace {

namespace fs = std::filesystem;
using testing::ScratchDirectory;

// lockf locks belong to a process, so every contender lives in a forked child.
// Children use only async-signal-safe calls (open, lockf, read, write, _exit).

// Exit status of a child that tries the lock once: 0 taken, 1 refused, 2 no file.
int childTryLock(const fs::path& path) {
  const char* file = path.c_str();
  const pid_t child = ::fork();
  if (child == 0) {
    const int descriptor = ::open(file, O_RDWR | O_CLOEXEC);
    if (descriptor < 0) {
      ::_exit(2);
    }
    ::_exit(::lockf(descriptor, F_TLOCK, 0) == 0 ? 0 : 1);
  }
  int status = 0;
  EXPECT_EQ(::waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status));
  return WEXITSTATUS(status);
}

TEST(PosixHostLease, CreatesTheLockFileOwnerOnlyAndKeepsItAfterRelease) {
  ScratchDirectory scratch;
  const fs::path path = scratch.path() / kShortcutHostLeaseFileName;
  {
    auto lease = PosixHostLease::acquire(path);
    ASSERT_NE(lease, nullptr);
    EXPECT_EQ(lease->path(), path);
    struct stat status {};
    ASSERT_EQ(::stat(path.c_str(), &status), 0);
    EXPECT_TRUE(S_ISREG(status.st_mode));
    EXPECT_EQ(status.st_mode & 0777, 0600u);
    EXPECT_EQ(status.st_size, 0) << "contents are never written";
  }
  EXPECT_TRUE(fs::exists(path));
}

TEST(PosixHostLease, FailsWhenTheFileCannotBeOpened) {
  ScratchDirectory scratch;
  EXPECT_EQ(PosixHostLease::acquire(scratch.path() / "missing" / kShortcutHostLeaseFileName), nullptr);
  EXPECT_EQ(PosixHostLease::acquire(scratch.path()), nullptr) << "a directory is not a lock file";
}

TEST(PosixHostLease, OtherProcessesAreRefusedWhileHeldAndAdmittedAfterRelease) {
  ScratchDirectory scratch;
  const fs::path path = scratch.path() / kShortcutHostLeaseFileName;
  auto lease = PosixHostLease::acquire(path);
  ASSERT_NE(lease, nullptr);
  EXPECT_EQ(childTryLock(path), 1) << "held";
  lease.reset();
  EXPECT_EQ(childTryLock(path), 0) << "released";
  // Released and taken again in the same process.
  EXPECT_NE(PosixHostLease::acquire(path), nullptr);
}

TEST(PosixHostLease, RefusedWhileAnotherProcessHoldsItUntilThatProcessEnds) {
  ScratchDirectory scratch;
  const fs::path path = scratch.path() / kShortcutHostLeaseFileName;
  const char* file = path.c_str();
  int ready[2];
  int release[2];
  ASSERT_EQ(::pipe(ready), 0);
  ASSERT_EQ(::pipe(release), 0);
  const pid_t child = ::fork();
  if (child == 0) {
    ::close(ready[0]);
    ::close(release[1]);
    const int descriptor = ::open(file, O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    const char report = (descriptor >= 0 && ::lockf(descriptor, F_TLOCK, 0) == 0) ? 'y' : 'n';
    [[maybe_unused]] auto written = ::write(ready[1], &report, 1);
    char ignored = 0;
    [[maybe_unused]] auto read = ::read(release[0], &ignored, 1);  // until the parent closes it
    ::_exit(0);  // the lock goes with the process, never released explicitly
  }
  ::close(ready[1]);
  ::close(release[0]);
  char report = 0;
  ASSERT_EQ(::read(ready[0], &report, 1), 1);
  ::close(ready[0]);
  EXPECT_EQ(report, 'y');

  EXPECT_EQ(PosixHostLease::acquire(path), nullptr) << "second lease while the first lives";
  EXPECT_EQ(PosixHostLease::acquire(path), nullptr) << "no waiting, no retry state";

  ::close(release[1]);
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  EXPECT_NE(PosixHostLease::acquire(path), nullptr) << "free once the holder has ended";
}

TEST(PosixHostLease, DefaultPathIsTheLockFileInTheUserTemporaryDirectory) {
  const EnvironmentLookup lookup = [](std::string_view name) -> std::optional<std::string> {
    if (name == "XDG_RUNTIME_DIR") {
      return "/run/user/42";
    }
    return std::nullopt;
  };
  EXPECT_EQ(PosixHostLease::defaultPath(lookup), fs::path("/run/user/42/orvane.keyloft.lock"));
}

}  // namespace
}  // namespace Sablekit
