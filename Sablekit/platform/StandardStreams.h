// The byte streams a host talks to its parent over. The hosts never use
// buffered stream objects: a line read is complete, a write has reached the
// file descriptor when it returns.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace Sablekit {

class LineSource {
 public:
  virtual ~LineSource() = default;

  // Blocks until a whole line is available and returns it without its line
  // feed. A last line without a line feed is returned at end of input; after
  // that, and for empty input, the answer is absent.
  virtual std::optional<std::string> readLine() = 0;
};

class ByteSink {
 public:
  virtual ~ByteSink() = default;

  // Writes all of `bytes` straight to the destination, unbuffered. Failures
  // (a reader that went away above all) are swallowed: the hosts keep serving.
  virtual void write(std::string_view bytes) = 0;
};

}  // namespace Sablekit
