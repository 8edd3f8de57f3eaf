#include "Sablekit/platform/posix/PosixStandardStreams.h"

#include <cerrno>
#include <csignal>
#include <cstring>

#include <unistd.h>

namespace Sablekit {

std::optional<std::string> FileDescriptorLineSource::readLine() {
  std::size_t searchFrom = start_;
  // Set once the line under way has grown past the bound: the buffer then
  // keeps only its first maximumLineBytes_ + 1 bytes.
  bool overlong = false;
  for (;;) {
    if (const void* found = std::memchr(buffer_.data() + searchFrom, '\n', buffer_.size() - searchFrom)) {
      const auto end = static_cast<std::size_t>(static_cast<const char*>(found) - buffer_.data());
      std::string line = buffer_.substr(start_, overlong ? maximumLineBytes_ + 1 : end - start_);
      start_ = end + 1;
      return line;
    }
    if (buffer_.size() - start_ > maximumLineBytes_) {
      // Searched and without a line feed: only the kept head matters.
      overlong = true;
      buffer_.resize(start_ + maximumLineBytes_ + 1);
    }
    if (ended_) {
      if (start_ < buffer_.size()) {
        std::string line = buffer_.substr(start_);
        start_ = buffer_.size();
        return line;
      }
      return std::nullopt;
    }
    // Drop what has been consumed before growing the buffer.
    buffer_.erase(0, start_);
    start_ = 0;
    searchFrom = buffer_.size();
    const std::size_t oldSize = buffer_.size();
    buffer_.resize(oldSize + readBlockSize);
    ssize_t count;
    do {
      count = ::read(fileDescriptor_, buffer_.data() + oldSize, readBlockSize);
    } while (count < 0 && errno == EINTR);
    buffer_.resize(oldSize + static_cast<std::size_t>(count > 0 ? count : 0));
    if (count <= 0) {
      ended_ = true;
    }
  }
}

void FileDescriptorByteSink::write(std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t written = ::write(fileDescriptor_, bytes.data(), bytes.size());
    if (written < 0) {
      if (errno == EINTR) {
        continue;
      }
      return;
    }
    bytes.remove_prefix(static_cast<std::size_t>(written));
  }
}

void ignoreBrokenPipeSignal() {
  std::signal(SIGPIPE, SIG_IGN);
}

}  // namespace Sablekit
