// Lets only one scripted browser query run at a time in the whole process, and
// lets a reset invalidate queries still running so that their late outcomes
// are discarded rather than recorded or used.
#pragma once

#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "Sablekit/context/automation/BrowserAutomationProbeToken.h"

namespace Sablekit {

class BrowserAutomationProbeCoordinator {
 public:
  BrowserAutomationProbeCoordinator() = default;

  BrowserAutomationProbeCoordinator(const BrowserAutomationProbeCoordinator&) = delete;
  BrowserAutomationProbeCoordinator& operator=(const BrowserAutomationProbeCoordinator&) = delete;

  // A token for a new query, or absent while any query (of any browser) runs.
  std::optional<BrowserAutomationProbeToken> begin(std::string_view bundleID);

  // Ends the query holding `token`. True exactly when that query was active
  // and its browser has not been invalidated since it began, that is when its
  // outcome is still wanted. A token that is not the active one changes nothing.
  bool complete(const BrowserAutomationProbeToken& token);

  // Invalidates running and future-completing queries of one browser, or of
  // all browsers when `bundleID` is absent. A running query keeps the
  // coordinator busy until it completes.
  void invalidate(const std::optional<std::string>& bundleID);

  bool isBusy() const;

 private:
  std::uint64_t generationOf(const std::string& bundleID) const;

  mutable std::mutex lock_;  // guards activeToken_ and generations_
  std::optional<BrowserAutomationProbeToken> activeToken_;
  std::map<std::string, std::uint64_t> generations_;  // a missing key counts as 0
};

}  // namespace Sablekit
