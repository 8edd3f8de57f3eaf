// In-memory standard streams for driving a host loop inside a test.
#pragma once

#include <deque>
#include <string>
#include <vector>

#include "Sablekit/platform/StandardStreams.h"

namespace Sablekit::Testing {

// Hands out the given lines, then reports end of input.
class MemoryLineSource final : public LineSource {
 public:
  explicit MemoryLineSource(std::vector<std::string> lines) : lines_(lines.begin(), lines.end()) {}
  std::optional<std::string> readLine() override;

 private:
  std::deque<std::string> lines_;
};

// Records every write separately, so tests can check how output was split.
class RecordingByteSink final : public ByteSink {
 public:
  void write(std::string_view bytes) override { writes.emplace_back(bytes); }
  std::string text() const;

  std::vector<std::string> writes;
};

}  // namespace Sablekit::Testing
