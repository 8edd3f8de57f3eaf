#include "Sablekit/context/browser/BrowserPrivateVerdictCache.h"

#include <algorithm>

namespace Sablekit {

std::optional<PrivateVerdictCacheEntry> BrowserPrivateVerdictCache::lookup(const AccessibilityElement& window) {
  // Monotonic time, so a clock set back cannot keep a guess alive.
  const double now = clock_.monotonicNow();
  std::erase_if(entries_, [&](const PrivateVerdictCacheEntry& entry) {
    return !entry.authoritative && now - entry.insertedAt > heuristicLifetime;
  });
  const auto found = std::find_if(entries_.rbegin(), entries_.rend(),
                                  [&](const PrivateVerdictCacheEntry& entry) { return entry.window == window; });
  if (found == entries_.rend()) {
    return std::nullopt;
  }
  return *found;
}

void BrowserPrivateVerdictCache::store(const AccessibilityElement& window,
                                       BrowserPrivacyVerdict verdict,
                                       bool authoritative) {
  std::erase_if(entries_, [&](const PrivateVerdictCacheEntry& entry) { return entry.window == window; });
  if (entries_.size() >= capacity) {
    // Private and authoritative answers are the costly ones to lose.
    auto victim = std::find_if(entries_.begin(), entries_.end(), [](const PrivateVerdictCacheEntry& entry) {
      return !entry.authoritative && entry.verdict != BrowserPrivacyVerdict::privateWindow;
    });
    entries_.erase(victim != entries_.end() ? victim : entries_.begin());
  }
  entries_.push_back(
      {.window = window, .verdict = verdict, .authoritative = authoritative, .insertedAt = clock_.monotonicNow()});
}

void BrowserPrivateVerdictCache::removeHeuristic(const AccessibilityElement& window) {
  std::erase_if(entries_,
                [&](const PrivateVerdictCacheEntry& entry) { return !entry.authoritative && entry.window == window; });
}

void BrowserPrivateVerdictCache::removeAuthoritative() {
  std::erase_if(entries_, [](const PrivateVerdictCacheEntry& entry) { return entry.authoritative; });
}

}  // namespace Sablekit
