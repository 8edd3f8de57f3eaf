// The parent-pipe watcher on real pipes and descriptors.
#include <atomic>
#include <functional>
#include <future>
#include <memory>
#include <string>
#include <string_view>
#include <thread>

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include "Sablekit/platform/posix/PosixParentPipeWatcher.h"
#include "tests/support/ScratchDirectory.h"

namespace Sablekit {
namespace {

// Counts handler calls and lets the test wait for the first one.
struct ClosedRecorder {
  std::atomic<int> calls{0};
  std::promise<std::thread::id> firstCall;

  std::function<void()> handler(std::function<void()> andThen = {}) {
    return [this, andThen] {
      if (andThen) {
        andThen();
      }
      if (calls.fetch_add(1) == 0) {
        firstCall.set_value(std::this_thread::get_id());
      }
    };
  }
};

// Waits (without a clock) until the watcher has read everything written, or
// has wrongly given up watching.
void waitUntilDrained(int readEnd, const ClosedRecorder& recorder) {
  for (;;) {
    int pending = 0;
    ASSERT_EQ(::ioctl(readEnd, FIONREAD, &pending), 0);
    if (pending == 0 || recorder.calls.load() != 0) {
      return;
    }
    std::this_thread::yield();
  }
}

TEST(PosixParentPipeWatcher, IgnoresDataAndReportsEndOfFileExactlyOnceOnItsWorker) {
  const struct {
    const char* name;
    std::size_t bytes;
  } cases[] = {{"a few bytes", 3}, {"megabytes, more than a pipe holds", 4 * 1024 * 1024}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    ClosedRecorder recorder;
    auto firstCall = recorder.firstCall.get_future();
    auto watcher = std::make_unique<PosixParentPipeWatcher>(fds[0], recorder.handler());
    watcher->start();
    watcher->start();

    // Only a reader that keeps draining lets this write return.
    const std::string data(c.bytes, 'd');
    for (std::string_view rest = data; !rest.empty();) {
      const auto written = ::write(fds[1], rest.data(), rest.size());
      ASSERT_GT(written, 0);
      rest.remove_prefix(static_cast<std::size_t>(written));
    }
    waitUntilDrained(fds[0], recorder);
    EXPECT_EQ(recorder.calls.load(), 0) << "data from the parent is not a close";
    EXPECT_FALSE(watcher->isClosed());

    ::close(fds[1]);
    EXPECT_NE(firstCall.get(), std::this_thread::get_id());
    EXPECT_TRUE(watcher->isClosed());
    watcher->start();  // closed is final
    watcher.reset();   // joins the worker: no late second call can hide
    EXPECT_EQ(recorder.calls.load(), 1);
    ::close(fds[0]);
  }
}

TEST(PosixParentPipeWatcher, ReadFailureCountsLikeEndOfFile) {
  testing::ScratchDirectory scratch;
  // Polls as readable, but read() fails with EISDIR.
  const int directory = ::open(scratch.path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  ASSERT_GE(directory, 0);
  ClosedRecorder recorder;
  auto firstCall = recorder.firstCall.get_future();
  auto watcher = std::make_unique<PosixParentPipeWatcher>(directory, recorder.handler());
  watcher->start();
  firstCall.wait();
  watcher.reset();
  EXPECT_EQ(recorder.calls.load(), 1);
  ::close(directory);
}

TEST(PosixParentPipeWatcher, NoHandlerAfterTheOwnerStops) {
  struct Case {
    const char* name;
    bool startFirst;
  };
  for (const Case c : {Case{"stopped while watching", true}, Case{"stopped before start", false}}) {
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    ClosedRecorder recorder;
    PosixParentPipeWatcher watcher(fds[0], recorder.handler());
    if (c.startFirst) {
      watcher.start();
    }
    watcher.stop();
    watcher.start();
    watcher.stop();
    EXPECT_TRUE(watcher.isClosed()) << c.name;
    ::close(fds[1]);
    // stop() waited for the worker, so an end of file now has no one to see it.
    EXPECT_EQ(recorder.calls.load(), 0) << c.name;
    ::close(fds[0]);
  }
}

TEST(PosixParentPipeWatcher, HandlerMayStopOrDestroyTheWatcher) {
  struct Case {
    const char* name;
    bool destroy;
  };
  for (const Case c : {Case{"stop", false}, Case{"destroy", true}}) {
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    ClosedRecorder recorder;
    auto firstCall = recorder.firstCall.get_future();
    std::unique_ptr<PosixParentPipeWatcher> watcher;
    watcher = std::make_unique<PosixParentPipeWatcher>(fds[0], recorder.handler([&] {
      if (c.destroy) {
        watcher.reset();
      } else {
        watcher->stop();
      }
    }));
    watcher->start();
    ::close(fds[1]);
    firstCall.wait();
    EXPECT_EQ(watcher == nullptr, c.destroy) << c.name;
    watcher.reset();
    EXPECT_EQ(recorder.calls.load(), 1) << c.name;
    ::close(fds[0]);
  }
}

}  // namespace
}  // namespace Sablekit
