// Standard input and output as raw file descriptors: reads in large blocks
// split into lines here, writes go straight to the descriptor.
#pragma once

#include <string>

#include "Sablekit/platform/StandardStreams.h"

namespace Sablekit {

class FileDescriptorLineSource final : public LineSource {
 public:
  static constexpr std::size_t readBlockSize = 64 * 1024;

  // Reads `fileDescriptor`, which stays the caller's. A line longer than
  // `maximumLineBytes` is returned as its first maximumLineBytes + 1 bytes
  // (still too long for whoever set the bound); the rest of it, up to its
  // line feed, is read and dropped without being held, so an endless line
  // costs no more memory than a line at the bound.
  FileDescriptorLineSource(int fileDescriptor, std::size_t maximumLineBytes)
      : fileDescriptor_(fileDescriptor), maximumLineBytes_(maximumLineBytes) {}

  // A read error other than an interruption counts as end of input.
  std::optional<std::string> readLine() override;

  // The bytes the line buffer has room for: what reading holds in memory.
  std::size_t bufferCapacity() const { return buffer_.capacity(); }

 private:
  int fileDescriptor_;
  std::size_t maximumLineBytes_;
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
