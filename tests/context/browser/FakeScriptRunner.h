// A script runner for tests: records each source, answers a set outcome, and
// can hold a script "running" until the test lets it end.
#pragma once

#include <condition_variable>
#include <mutex>
#include <string>
#include <vector>

#include "Sablekit/platform/ScriptRunner.h"

namespace Sablekit {

class FakeScriptRunner final : public ScriptRunner {
 public:
  void answer(ScriptRunOutcome outcome) {
    const std::lock_guard lock(mutex_);
    outcome_ = std::move(outcome);
  }
  // Scripts started from now on wait for release().
  void hold() {
    const std::lock_guard lock(mutex_);
    held_ = true;
  }
  void release() {
    {
      const std::lock_guard lock(mutex_);
      held_ = false;
    }
    changed_.notify_all();
  }
  void waitUntilStarted(std::size_t count) {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return sources_.size() >= count; });
  }
  std::vector<std::string> sources() const {
    const std::lock_guard lock(mutex_);
    return sources_;
  }

  ScriptRunOutcome run(std::string_view source) override {
    std::unique_lock lock(mutex_);
    sources_.emplace_back(source);
    changed_.notify_all();
    changed_.wait(lock, [&] { return !held_; });
    return outcome_;
  }

 private:
  mutable std::mutex mutex_;  // guards everything below
  std::condition_variable changed_;
  ScriptRunOutcome outcome_ = ScriptRunOutcome::success("normal");
  bool held_ = false;
  std::vector<std::string> sources_;
};

}  // namespace Sablekit
