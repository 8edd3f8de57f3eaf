// Named faults for the simulated desktop: a test or scenario arms a fault on
// an operation, and the simulated service that performs the operation asks
// here before answering. Each operation documents what a fault means for it.
#pragma once

#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace Sablekit {

enum class FaultKind {
  fail,   // the operation fails the way the real platform fails
  empty,  // the operation succeeds but returns nothing
};

class FaultInjector {
 public:
  // Arms `kind` on `operation` for the next `times` calls (0 = every call from now on).
  void arm(std::string operation, FaultKind kind, unsigned times = 0);
  void clear(std::string_view operation);

  // The fault to apply to this call of `operation`, if one is armed; counts it off.
  // Safe from any thread.
  std::optional<FaultKind> take(std::string_view operation);

  // From now on, remembers every operation asked through take(), armed or not,
  // so a test can sweep faults over exactly the calls a request makes.
  // Forgets what an earlier recording saw. Safe from any thread.
  void startRecording();
  // The distinct operations asked since startRecording(), in first-asked
  // order; empty when recording never started. Safe from any thread.
  std::vector<std::string> recordedOperations() const;

 private:
  struct Armed {
    FaultKind kind;
    unsigned remaining;  // 0: unlimited
  };
  mutable std::mutex mutex_;  // guards armed_, recording_, recorded_
  std::map<std::string, Armed, std::less<>> armed_;
  bool recording_ = false;
  std::vector<std::string> recorded_;
};

}  // namespace Sablekit
