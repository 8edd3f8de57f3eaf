// The clock contract on the system clock and the timer thread, with real
// time of a few hundredths of a second.
#include <chrono>
#include <thread>

#include "Sablekit/platform/posix/SystemClock.h"
#include "Sablekit/platform/posix/ThreadTimerScheduler.h"
#include "tests/platform/contract/ClockContract.h"

namespace Sablekit::Testing {
namespace {

class PosixClockArranger {
 public:
  Clock& clock() { return clock_; }
  TimerScheduler& timers() { return timers_; }
  void letPass(double seconds) { std::this_thread::sleep_for(std::chrono::duration<double>(seconds)); }
  bool waitUntil(const std::function<bool()>& done) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!done()) {
      if (std::chrono::steady_clock::now() > deadline) {
        return false;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
  }

 private:
  SystemClock clock_;
  ThreadTimerScheduler timers_;  // declared last: its thread stops before the clock goes
};

}  // namespace

INSTANTIATE_TYPED_TEST_SUITE_P(Posix, ClockContract, PosixClockArranger);

}  // namespace Sablekit::Testing
