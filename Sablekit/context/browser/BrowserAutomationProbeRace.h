// Lets the first of two parties (the scripted query and its timer) deliver
// the result of a scripted browser query to the one thread waiting for it.
#pragma once

#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <optional>

#include "Sablekit/protocol/ContextStatuses.h"

namespace Sablekit {

class BrowserAutomationProbeRace : public std::enable_shared_from_this<BrowserAutomationProbeRace> {
 public:
  // Races are shared by the waiter, the query and the timer, and live until
  // the last of them lets go.
  static std::shared_ptr<BrowserAutomationProbeRace> make();

  BrowserAutomationProbeRace(const BrowserAutomationProbeRace&) = delete;
  BrowserAutomationProbeRace& operator=(const BrowserAutomationProbeRace&) = delete;

  // Blocks the calling thread until the first finish(). `start` is called
  // once, on the calling thread, after the waiter is registered, so a finish
  // from inside `start` is not lost. Call at most once per race.
  std::optional<BrowserPrivacyVerdict> wait(
      const std::function<void(const std::shared_ptr<BrowserAutomationProbeRace>&)>& start);

  // Delivers `verdict` if no finish did before and a waiter is registered;
  // otherwise does nothing. Safe from any thread.
  void finish(std::optional<BrowserPrivacyVerdict> verdict);

 private:
  BrowserAutomationProbeRace() = default;

  std::mutex lock_;  // guards continuation_ and finished_
  std::optional<std::promise<std::optional<BrowserPrivacyVerdict>>> continuation_;
  bool finished_ = false;
};

}  // namespace Sablekit
