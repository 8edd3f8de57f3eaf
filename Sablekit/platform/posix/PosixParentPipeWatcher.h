// The parent-pipe watcher on a POSIX descriptor, with its own worker thread.
#pragma once

#include <functional>
#include <mutex>
#include <thread>

#include "Sablekit/platform/ParentPipeWatcher.h"

namespace Sablekit {

class PosixParentPipeWatcher final : public ParentPipeWatcher {
 public:
  // Watches `fileDescriptor` (0 in the shortcut host), which stays the caller's.
  // `onClosed` runs on the worker thread, at most once, after the watcher has
  // closed itself on end of file or a read failure other than an interruption.
  // It may stop or destroy the watcher. Nothing is watched until start().
  PosixParentPipeWatcher(int fileDescriptor, std::function<void()> onClosed);

  // Stops; waits for the worker unless called from `onClosed` itself.
  ~PosixParentPipeWatcher() override;
  PosixParentPipeWatcher(const PosixParentPipeWatcher&) = delete;
  PosixParentPipeWatcher& operator=(const PosixParentPipeWatcher&) = delete;

  // Throws std::system_error when the system refuses a thread or a pipe.
  void start() override;
  // Must not be called from another thread while `onClosed` waits for that
  // thread: it waits for `onClosed` to return.
  void stop() override;
  bool isClosed() const override;

 private:
  void run();
  // True only for the one caller that moved the watcher to closed.
  bool closeOnce();

  const int fileDescriptor_;
  const std::function<void()> onClosed_;

  mutable std::mutex mutex_;
  bool started_ = false;
  bool closed_ = false;
  // Self-pipe: written by stop() so a worker blocked in poll() wakes up.
  int wakeRead_ = -1;
  int wakeWrite_ = -1;
  std::thread worker_;
};

}  // namespace Sablekit
