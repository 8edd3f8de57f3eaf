// The main thread's loop: work posted from any thread runs here, one task at a
// time, in posting order. Keyloft runs it until its parent goes; tests drain it.
#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>

namespace Sablekit {

class RunLoop {
 public:
  // Queues `task`; safe from any thread, including from inside a task.
  void post(std::function<void()> task);

  // Runs tasks as they arrive until stop() is called; returns after the task
  // that called stop(), leaving later tasks queued.
  void run();
  void stop();

  // Runs the tasks queued now and those they post, until none is left; for
  // tests and for draining. Returns how many ran.
  int runUntilIdle();

 private:
  std::mutex mutex_;  // guards tasks_ and stopping_
  std::condition_variable wake_;
  std::deque<std::function<void()>> tasks_;
  bool stopping_ = false;
};

}  // namespace Sablekit
