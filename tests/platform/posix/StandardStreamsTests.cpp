// The descriptor-backed line source and byte sink on real pipes.
#include <limits>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>
#include <unistd.h>

#include "Sablekit/platform/posix/PosixStandardStreams.h"

namespace Sablekit {
namespace {

constexpr std::size_t noBound = std::numeric_limits<std::size_t>::max();

// Feeds `input` through a real pipe and collects every line the source returns.
std::vector<std::string> linesThroughPipe(const std::string& input) {
  int fds[2];
  EXPECT_EQ(::pipe(fds), 0);
  FileDescriptorByteSink(fds[1]).write(input);
  ::close(fds[1]);
  FileDescriptorLineSource source(fds[0], noBound);
  std::vector<std::string> lines;
  while (auto line = source.readLine()) {
    lines.push_back(*line);
  }
  EXPECT_FALSE(source.readLine().has_value()) << "end of input stays ended";
  ::close(fds[0]);
  return lines;
}

TEST(FileDescriptorLineSource, SplitsLinesAndKeepsAFinalLineWithoutLineFeed) {
  struct Case {
    const char* name;
    std::string input;
    std::vector<std::string> lines;
  };
  const Case cases[] = {
      {"empty input", "", {}},
      {"one line", "a\n", {"a"}},
      {"final line without line feed", "a\nb", {"a", "b"}},
      {"empty lines are lines", "\n\n", {"", ""}},
      {"carriage return is kept for the decoder", "a\r\n", {"a\r"}},
      {"NUL bytes pass through", std::string("a\0b\n", 4), {std::string("a\0b", 3)}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(linesThroughPipe(c.input), c.lines);
  }
}

TEST(FileDescriptorLineSource, ReadsLinesLongerThanItsReadBlock) {
  const std::string longLine(300 * 1024, 'x');
  int fds[2];
  ASSERT_EQ(::pipe(fds), 0);
  std::thread writer([&] {
    FileDescriptorByteSink sink(fds[1]);
    sink.write(longLine + "\nshort\n" + longLine);
    ::close(fds[1]);
  });
  FileDescriptorLineSource source(fds[0], noBound);
  EXPECT_EQ(source.readLine(), longLine);
  EXPECT_EQ(source.readLine(), "short");
  EXPECT_EQ(source.readLine(), longLine);
  EXPECT_FALSE(source.readLine().has_value());
  writer.join();
  ::close(fds[0]);
}

// A parent that never sends a line feed must not make the reader hold all it
// sends: past the bound the line is dropped as it arrives, its head is handed
// out (too long for the bound) when the line feed comes, and the next line is
// found where it begins. Also at end of input without a line feed.
TEST(FileDescriptorLineSource, DropsALineBeyondItsBoundWithoutHoldingIt) {
  constexpr std::size_t bound = 1000;
  constexpr std::size_t sent = 16 * 1024 * 1024;
  const struct {
    const char* name;
    std::string after;
    std::vector<std::string> lines;
  } cases[] = {
      {"line feed, then another line", "\nnext\n", {"next"}},
      {"end of input", "", {}},
      {"line at the bound after it", "\n" + std::string(bound, 'b'), {std::string(bound, 'b')}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    std::thread writer([&] {
      FileDescriptorByteSink sink(fds[1]);
      std::string chunk(1024 * 1024, 'x');
      chunk.front() = 'h';  // marks the head
      for (std::size_t written = 0; written < sent; written += chunk.size()) {
        sink.write(chunk);
        chunk.front() = 'x';
      }
      sink.write(c.after);
      ::close(fds[1]);
    });
    FileDescriptorLineSource source(fds[0], bound);
    EXPECT_EQ(source.readLine(), "h" + std::string(bound, 'x'));
    for (const std::string& line : c.lines) {
      EXPECT_EQ(source.readLine(), line);
    }
    EXPECT_FALSE(source.readLine().has_value());
    writer.join();
    ::close(fds[0]);
    // Room for the kept head and one read block, grown by doubling at worst;
    // holding the line would take the whole 16 MB.
    EXPECT_LE(source.bufferCapacity(), 2 * (bound + 1 + FileDescriptorLineSource::readBlockSize));
  }
}

TEST(FileDescriptorByteSink, AWriteToAClosedPipeIsSwallowedOnceTheSignalIsIgnored) {
  ignoreBrokenPipeSignal();
  int fds[2];
  ASSERT_EQ(::pipe(fds), 0);
  ::close(fds[0]);
  FileDescriptorByteSink(fds[1]).write("nobody reads this\n");
  ::close(fds[1]);
  SUCCEED() << "the process is still alive";
}

}  // namespace
}  // namespace Sablekit
