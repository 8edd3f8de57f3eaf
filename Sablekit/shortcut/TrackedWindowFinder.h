// Follows the main window of one process: polls the window list at a fixed
// interval and after every desktop switch, and tells its owner, on the main
// thread, whenever the window or its bounds change.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "Sablekit/platform/RunLoop.h"
#include "Sablekit/platform/TimerScheduler.h"
#include "Sablekit/platform/WindowServer.h"
#include "Sablekit/platform/Workspace.h"
#include "Sablekit/shortcut/TrackedWindowState.h"

namespace Sablekit {

// Main thread only: construct, start, stop and destroy it on the thread that
// runs `runLoop`. Timer ticks and desktop switches hop to that loop before
// polling, and a hop that arrives after stop() or destruction does nothing.
class TrackedWindowFinder {
 public:
  // Handed each changed result on the main thread; absent: no suitable window.
  using Callback = std::function<void(const std::optional<TrackedWindowState>&)>;

  static constexpr double minimumInterval = 0.05;

  // Intervals of 0.05 seconds or less (or not a number) become 0.05. Nothing
  // starts until start(). The references must outlive the finder.
  TrackedWindowFinder(WindowServer& windowServer,
                      Workspace& workspace,
                      TimerScheduler& timers,
                      RunLoop& runLoop,
                      std::int32_t processID,
                      double interval,
                      Callback callback);
  ~TrackedWindowFinder();
  TrackedWindowFinder(const TrackedWindowFinder&) = delete;
  TrackedWindowFinder& operator=(const TrackedWindowFinder&) = delete;

  // Begins following and delivers a result at once if it is the first or a
  // change. Does nothing when already started.
  void start();
  // Ends the polling and the desktop observation; the last delivered result
  // is kept, so a later start() delivers only a change.
  void stop();

  std::int32_t processID() const { return processID_; }
  double interval() const { return interval_; }
  bool isStarted() const { return ticker_ != nullptr; }

  // One look at the window list (without desktop elements); absent when the
  // list cannot be read or the process has no suitable window. Main thread.
  static std::optional<TrackedWindowState> findWindow(WindowServer& windowServer, std::int32_t processID);

  // The process's main window in a front-to-back list: among its layer-0
  // windows with a number and bounds larger than 1 × 1 point, the frontmost
  // of at least 200 × 150, else the largest (the frontmost among equals).
  static std::optional<TrackedWindowState> selectWindow(const std::vector<WindowListEntry>& windows,
                                                        std::int32_t processID);

 private:
  class Ticker;

  // Polls and calls back when the result is the first or differs from the last.
  void deliver();
  // Run-loop tasks reach the finder only through this, and only while the
  // start that posted them is current.
  std::function<void()> hopToMainThread();

  WindowServer& windowServer_;
  Workspace& workspace_;
  TimerScheduler& timers_;
  RunLoop& runLoop_;
  std::int32_t processID_;
  double interval_;
  Callback callback_;
  std::shared_ptr<Ticker> ticker_;               // present while started
  std::unique_ptr<Subscription> spaceObserver_;  // present while started
  std::optional<TrackedWindowState> lastState_;
  bool deliveredInitialResult_ = false;
  // Weakly held by every queued hop; a new one per start, dropped by stop().
  std::shared_ptr<TrackedWindowFinder*> currentStart_;
};

}  // namespace Sablekit
