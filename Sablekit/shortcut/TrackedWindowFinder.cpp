// Choosing a process's main window from the window list, and following it
// with a repeating timer and desktop-change notifications.
#include "Sablekit/shortcut/TrackedWindowFinder.h"

#include <condition_variable>
#include <limits>
#include <mutex>

namespace Sablekit {

namespace {

constexpr double comfortableWidth = 200;
constexpr double comfortableHeight = 150;

}  // namespace

// A repeating timer made of one-shot ones: each tick schedules the next, so
// the ticks keep their interval on the scheduler's clock. Once ended, no tick
// starts and none is scheduled again.
class TrackedWindowFinder::Ticker : public std::enable_shared_from_this<Ticker> {
 public:
  Ticker(TimerScheduler& timers, double interval, std::function<void()> tick)
      : timers_(timers), interval_(interval), tick_(std::move(tick)) {}

  void begin() { scheduleNext(); }

  // Waits for a tick running on another thread, so that once end() returns
  // nothing here touches the scheduler or the run loop again.
  void end() {
    TimerHandle pending;
    {
      std::unique_lock lock(mutex_);
      ended_ = true;
      finished_.wait(lock, [this] { return firing_ == 0; });
      pending = handle_;
    }
    pending.cancel();
  }

 private:
  void scheduleNext() {
    const std::weak_ptr<Ticker> weak = weak_from_this();
    TimerHandle handle = timers_.scheduleAfter(interval_, [weak] {
      if (const auto self = weak.lock()) {
        self->fire();
      }
    });
    bool ended = false;
    {
      const std::lock_guard lock(mutex_);
      ended = ended_;
      if (!ended) {
        handle_ = handle;
      }
    }
    if (ended) {
      handle.cancel();
    }
  }

  void fire() {
    {
      const std::lock_guard lock(mutex_);
      if (ended_) {
        return;
      }
      ++firing_;
    }
    tick_();
    scheduleNext();
    {
      const std::lock_guard lock(mutex_);
      --firing_;
    }
    finished_.notify_all();
  }

  TimerScheduler& timers_;
  const double interval_;
  const std::function<void()> tick_;  // only posts to the run loop; safe from the timer's thread
  std::mutex mutex_;                  // guards handle_, ended_ and firing_
  std::condition_variable finished_;
  TimerHandle handle_;
  bool ended_ = false;
  int firing_ = 0;  // ticks between their start and their rescheduling
};

TrackedWindowFinder::TrackedWindowFinder(WindowServer& windowServer,
                                         Workspace& workspace,
                                         TimerScheduler& timers,
                                         RunLoop& runLoop,
                                         std::int32_t processID,
                                         double interval,
                                         Callback callback)
    : windowServer_(windowServer),
      workspace_(workspace),
      timers_(timers),
      runLoop_(runLoop),
      processID_(processID),
      interval_(interval > minimumInterval ? interval : minimumInterval),
      callback_(std::move(callback)) {}

TrackedWindowFinder::~TrackedWindowFinder() {
  stop();
}

void TrackedWindowFinder::start() {
  if (ticker_) {
    return;
  }
  currentStart_ = std::make_shared<TrackedWindowFinder*>(this);
  const std::function<void()> hop = hopToMainThread();
  ticker_ = std::make_shared<Ticker>(timers_, interval_, hop);
  ticker_->begin();
  spaceObserver_ = workspace_.observeDesktopChanges(hop);
  // Last, so that a callback that stops or restarts the finder finds it whole.
  deliver();
}

void TrackedWindowFinder::stop() {
  if (ticker_) {
    ticker_->end();
    ticker_.reset();
  }
  spaceObserver_.reset();
  currentStart_.reset();
}

std::function<void()> TrackedWindowFinder::hopToMainThread() {
  std::weak_ptr<TrackedWindowFinder*> start = currentStart_;
  RunLoop& runLoop = runLoop_;
  return [start = std::move(start), &runLoop] {
    runLoop.post([start] {
      if (const auto finder = start.lock()) {
        (*finder)->deliver();
      }
    });
  };
}

void TrackedWindowFinder::deliver() {
  std::optional<TrackedWindowState> result = findWindow(windowServer_, processID_);
  if (deliveredInitialResult_ && result == lastState_) {
    return;
  }
  deliveredInitialResult_ = true;
  lastState_ = result;
  // A copy: the owner may stop or destroy the finder from inside the callback.
  const Callback callback = callback_;
  callback(result);
}

std::optional<TrackedWindowState> TrackedWindowFinder::findWindow(WindowServer& windowServer, std::int32_t processID) {
  return selectWindow(windowServer.onScreenWindows(false), processID);
}

std::optional<TrackedWindowState> TrackedWindowFinder::selectWindow(const std::vector<WindowListEntry>& windows,
                                                                    std::int32_t processID) {
  std::vector<TrackedWindowState> candidates;
  for (const WindowListEntry& window : windows) {
    // A number outside 32 bits names no window; it is skipped like a missing one.
    const bool numbered = window.windowNumber && *window.windowNumber >= 0 &&
                          *window.windowNumber <= std::int64_t{std::numeric_limits<std::uint32_t>::max()};
    if (window.ownerPID != processID || window.layer != 0 || !numbered || !window.bounds ||
        !(window.bounds->width > 1) || !(window.bounds->height > 1)) {
      continue;
    }
    const Rect& bounds = *window.bounds;
    candidates.push_back(
        {static_cast<std::uint32_t>(*window.windowNumber), bounds.x, bounds.y, bounds.width, bounds.height});
  }
  const TrackedWindowState* largest = nullptr;
  for (const TrackedWindowState& candidate : candidates) {
    if (candidate.width >= comfortableWidth && candidate.height >= comfortableHeight) {
      return candidate;
    }
    if (!largest || candidate.width * candidate.height > largest->width * largest->height) {
      largest = &candidate;
    }
  }
  if (!largest) {
    return std::nullopt;
  }
  return *largest;
}

}  // namespace Sablekit
