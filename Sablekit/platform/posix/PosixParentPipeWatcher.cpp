#include "Sablekit/platform/posix/PosixParentPipeWatcher.h"

#include <cerrno>
#include <system_error>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

namespace Sablekit {

PosixParentPipeWatcher::PosixParentPipeWatcher(int fileDescriptor, std::function<void()> onClosed)
    : fileDescriptor_(fileDescriptor), onClosed_(std::move(onClosed)) {}

PosixParentPipeWatcher::~PosixParentPipeWatcher() {
  stop();
  {
    std::lock_guard lock(mutex_);
    if (worker_.joinable()) {
      // Only left here when we are the worker, inside onClosed: it touches
      // nothing of ours after the handler returns.
      worker_.detach();
    }
  }
  if (wakeRead_ >= 0) {
    ::close(wakeRead_);
    ::close(wakeWrite_);
  }
}

void PosixParentPipeWatcher::start() {
  std::lock_guard lock(mutex_);
  if (started_ || closed_) {
    return;
  }
  int wake[2];
  if (::pipe2(wake, O_CLOEXEC) != 0) {
    throw std::system_error(errno, std::generic_category(), "parent pipe watcher wake pipe");
  }
  wakeRead_ = wake[0];
  wakeWrite_ = wake[1];
  worker_ = std::thread([this] { run(); });
  started_ = true;
}

void PosixParentPipeWatcher::stop() {
  std::thread worker;
  {
    std::lock_guard lock(mutex_);
    if (!closed_) {
      closed_ = true;
      if (wakeWrite_ >= 0) {
        const char byte = 0;
        // One byte is enough; a full pipe already means "wake up".
        [[maybe_unused]] const auto written = ::write(wakeWrite_, &byte, 1);
      }
    }
    if (worker_.joinable() && worker_.get_id() != std::this_thread::get_id()) {
      worker = std::move(worker_);
    }
  }
  if (worker.joinable()) {
    worker.join();
  }
}

bool PosixParentPipeWatcher::isClosed() const {
  std::lock_guard lock(mutex_);
  return closed_;
}

bool PosixParentPipeWatcher::closeOnce() {
  std::lock_guard lock(mutex_);
  if (closed_) {
    return false;
  }
  closed_ = true;
  return true;
}

void PosixParentPipeWatcher::run() {
  std::vector<char> scratch(64 * 1024);
  for (;;) {
    pollfd watched[2] = {{fileDescriptor_, POLLIN, 0}, {wakeRead_, POLLIN, 0}};
    const int ready = ::poll(watched, 2, -1);
    if (ready < 0 && errno == EINTR) {
      continue;
    }
    if (ready > 0) {
      if (watched[1].revents != 0) {
        return;  // stopped by the owner
      }
      if (watched[0].revents == 0) {
        continue;
      }
      // Data, end of file and errors all wake us; one read tells them apart.
      // Whatever the parent sends is ignored, drained a block at a time (a
      // byte per wake-up took a minute for a megabyte under load).
      const auto count = ::read(fileDescriptor_, scratch.data(), scratch.size());
      if (count > 0 || (count < 0 && errno == EINTR)) {
        continue;
      }
    }
    // End of file, or a failed read or poll: the parent is gone for us.
    if (closeOnce()) {
      // A copy: onClosed may destroy this watcher while it runs.
      const auto handler = onClosed_;
      if (handler) {
        handler();
      }
    }
    return;
  }
}

}  // namespace Sablekit
