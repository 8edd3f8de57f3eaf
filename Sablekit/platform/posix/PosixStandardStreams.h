// Standard input and output as raw file descriptors: reads in large blocks
// split into lines here, writes go straight to the descriptor.
#pragma once

#include <string>

#include "Sablekit/platform/StandardStreams.h"

namespace Sablekit {

class FileDescriptorLineSource final : public LineSource {
 public:
  explicit FileDescriptorLineSource(int fileDescriptor) : fileDescriptor_(fileDescriptor) {}

  // A read error other than an interruption counts as end of input.
  std::optional<std::string> readLine() override;

 private:
  int fileDescriptor_;
  std::string buffer_;
  std::size_t start_ = 0;
  bool ended_ = false;
};

class FileDescriptorByteSink final : public ByteSink {
 public:
  explicit FileDescriptorByteSink(int fileDescriptor) : fileDescriptor_(fileDescriptor) {}

  void write(std::string_view bytes) override;

 private:
  int fileDescriptor_;
};

// Makes a write to a pipe whose reader has gone fail with an error instead of
// killing the process: the hosts end only when their input ends.
void ignoreBrokenPipeSignal();

}  // namespace Sablekit
