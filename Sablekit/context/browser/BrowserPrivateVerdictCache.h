// Private-window verdicts per browser window: answers from the browser itself
// are kept as long as room allows, guesses from the window's text for 30 s.
#pragma once

#include <cstddef>
#include <optional>
#include <vector>

#include "Sablekit/context/browser/PrivateVerdictCacheEntry.h"
#include "Sablekit/platform/Clock.h"

namespace Sablekit {

// Main thread only; no lock.
class BrowserPrivateVerdictCache {
 public:
  static constexpr std::size_t capacity = 32;
  static constexpr double heuristicLifetime = 30.0;

  // `clock` must outlive the cache.
  explicit BrowserPrivateVerdictCache(const Clock& clock) : clock_(clock) {}

  // Drops expired heuristic entries, then answers the newest entry for the window.
  std::optional<PrivateVerdictCacheEntry> lookup(const AccessibilityElement& window);

  // Replaces the window's entry; when full, evicts the oldest heuristic
  // non-private entry, or else the oldest entry.
  void store(const AccessibilityElement& window, BrowserPrivacyVerdict verdict, bool authoritative);

  // Forgets the window's heuristic entries (the title gives fresh evidence).
  void removeHeuristic(const AccessibilityElement& window);
  // Forgets every answer that came from a browser's scripting.
  void removeAuthoritative();

  // Oldest first.
  const std::vector<PrivateVerdictCacheEntry>& entries() const { return entries_; }

 private:
  const Clock& clock_;
  std::vector<PrivateVerdictCacheEntry> entries_;
};

}  // namespace Sablekit
