// The shortcut host when its parent never reads its events: the writes into
// the pipe without a reader must not kill it; it keeps reading (and
// discarding) its input and ends, with status 0, only when that input ends.
#include <cerrno>
#include <fstream>
#include <map>
#include <optional>
#include <string>

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include "tests/support/ScratchDirectory.h"
#include "tests/support/RunningChild.h"

namespace Sablekit {
namespace {

using Testing::RunningChild;

// A named pipe the host's standard error goes to, so the test learns when the
// host has got past a point; opened for reading before the host starts.
class ErrorPipe {
 public:
  explicit ErrorPipe(std::string path) : path_(std::move(path)) {
    if (::mkfifo(path_.c_str(), 0600) != 0) {
      throw std::runtime_error("mkfifo failed");
    }
    fd_ = ::open(path_.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  }
  ~ErrorPipe() {
    if (fd_ >= 0) {
      ::close(fd_);
    }
  }
  ErrorPipe(const ErrorPipe&) = delete;
  ErrorPipe& operator=(const ErrorPipe&) = delete;

  const std::string& path() const { return path_; }

  // The next line, absent at end of input or when `safetySeconds` pass.
  std::optional<std::string> readLine(double safetySeconds = 30.0) {
    for (;;) {
      if (const std::size_t end = buffered_.find('\n'); end != std::string::npos) {
        std::string line = buffered_.substr(0, end);
        buffered_.erase(0, end + 1);
        return line;
      }
      pollfd watched{fd_, POLLIN, 0};
      const int ready = ::poll(&watched, 1, static_cast<int>(safetySeconds * 1000));
      if (ready < 0 && errno == EINTR) {
        continue;
      }
      if (ready <= 0) {
        return std::nullopt;
      }
      char buffer[4096];
      const ssize_t count = ::read(fd_, buffer, sizeof buffer);
      if (count < 0 && (errno == EINTR || errno == EAGAIN)) {
        continue;
      }
      if (count <= 0) {
        return std::nullopt;
      }
      buffered_.append(buffer, static_cast<std::size_t>(count));
    }
  }

 private:
  std::string path_;
  int fd_ = -1;
  std::string buffered_;
};

TEST(KeyloftPipes, EventsWrittenIntoAPipeWithoutReaderDoNotEndTheHost) {
  const testing::ScratchDirectory scratch;
  const std::string scenario = (scratch.path() / "scenario.json").string();
  // A chord, then a change the exclusive interception swallows and reports on
  // standard error once the chord's event line has been written.
  std::ofstream(scenario)
      << R"({"keyboard": {"script": [{"press": 55}, {"press": 54}, {"release": 54}, {"release": 55}]}})";
  ErrorPipe errors((scratch.path() / "errors").string());
  RunningChild host(KEYLOFT_SIM_PATH, {scenario, "--exclusive", "--command-command=primary"},
                    {{"XDG_RUNTIME_DIR", scratch.path().string()}}, errors.path(), /*outputReaderGone=*/true);

  // By the time the swallowed change is reported, the health line and the
  // chord's event line have both met the broken pipe.
  const std::optional<std::string> dropped = errors.readLine();
  ASSERT_TRUE(dropped.has_value()) << "the host died before replaying the keyboard script";
  EXPECT_EQ(dropped->rfind(R"({"dropped":)", 0), 0u) << *dropped;

  // More than the pipe holds (64 KiB): the write completes only while the
  // host reads. Kept small, since the watcher reads one byte at a time.
  EXPECT_NO_THROW(host.write(std::string(96 * 1024, 'x')));
  EXPECT_FALSE(host.hasExited()) << "only the end of input ends the host";
  host.closeInput();
  EXPECT_EQ(host.waitForExit(), 0) << "128 + 13 would be death by SIGPIPE";
}

}  // namespace
}  // namespace Sablekit
