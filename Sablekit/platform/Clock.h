// Time as a service: nothing in the library reads the system time directly,
// so tests can put a simulated clock in its place and move it by hand.
#pragma once

namespace Sablekit {

class Clock {
 public:
  virtual ~Clock() = default;

  // Wall-clock time in seconds since 1970-01-01 00:00 UTC. Safe from any thread.
  virtual double now() const = 0;

  // Seconds on a clock that never goes backwards, with an arbitrary origin;
  // for measuring durations and deadlines. Safe from any thread.
  virtual double monotonicNow() const = 0;
};

// Milliseconds since 1970 truncated toward zero: the wire form of a time.
long long wireMilliseconds(double secondsSince1970);

}  // namespace Sablekit
