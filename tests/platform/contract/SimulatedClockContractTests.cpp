// The clock contract on the simulated clock: time moves only when advanced,
// and due timers run inside the advance, on the advancing thread.
#include "Sablekit/platform/simulated/SimulatedClock.h"
#include "tests/platform/contract/ClockContract.h"

namespace Sablekit::Testing {
namespace {

class SimulatedClockArranger {
 public:
  Clock& clock() { return clock_; }
  TimerScheduler& timers() { return clock_; }
  void letPass(double seconds) { clock_.advance(seconds); }
  bool waitUntil(const std::function<bool()>& done) { return done(); }

 private:
  SimulatedClock clock_;
};

}  // namespace

INSTANTIATE_TYPED_TEST_SUITE_P(Simulated, ClockContract, SimulatedClockArranger);

}  // namespace Sablekit::Testing
