#include "tests/support/MemoryStreams.h"

namespace Sablekit::Testing {

std::optional<std::string> MemoryLineSource::readLine() {
  if (lines_.empty()) {
    return std::nullopt;
  }
  std::string line = std::move(lines_.front());
  lines_.pop_front();
  return line;
}

std::string RecordingByteSink::text() const {
  std::string all;
  for (const std::string& write : writes) {
    all += write;
  }
  return all;
}

}  // namespace Sablekit::Testing
