#include <gtest/gtest.h>
#include <unistd.h>

#include "Sablekit/platform/posix/PosixStandardStreams.h"

namespace Sablekit {
namespace {

// Feeds `input` through a real pipe and collects every line the source returns.
std::vector<std::string> linesThroughPipe(const std::string& input) {
  int fds[2];
  EXPECT_EQ(::pipe(fds), 0);
  FileDescriptorByteSink(fds[1]).write(input);
  ::close(fds[1]);
  FileDescriptorLineSource source(fds[0]);
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
  FileDescriptorLineSource source(fds[0]);
  EXPECT_EQ(source.readLine(), longLine);
  EXPECT_EQ(source.readLine(), "short");
  EXPECT_EQ(source.readLine(), longLine);
  EXPECT_FALSE(source.readLine().has_value());
  writer.join();
  ::close(fds[0]);
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
