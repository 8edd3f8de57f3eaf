#include "Sablekit/context/automation/BrowserAutomationProbeCoordinator.h"

#include "Sablekit/common/BundleIDNormalization.h"

namespace Sablekit {

std::uint64_t BrowserAutomationProbeCoordinator::generationOf(const std::string& bundleID) const {
  const auto found = generations_.find(bundleID);
  return found == generations_.end() ? 0 : found->second;
}

std::optional<BrowserAutomationProbeToken> BrowserAutomationProbeCoordinator::begin(std::string_view bundleID) {
  std::string normalized = normalizeBundleID(bundleID);
  // Made before locking so the lock is held only for table work; wasted when busy.
  const UUID identifier = UUID::generate();

  const std::lock_guard guard(lock_);
  if (activeToken_) {
    return std::nullopt;
  }
  const std::uint64_t generation = generationOf(normalized);
  activeToken_ = BrowserAutomationProbeToken{identifier, std::move(normalized), generation};
  return activeToken_;
}

bool BrowserAutomationProbeCoordinator::complete(const BrowserAutomationProbeToken& token) {
  const std::lock_guard guard(lock_);
  if (!activeToken_ || activeToken_->identifier != token.identifier) {
    return false;
  }
  // Judge by the token as issued, not by the copy handed back.
  const BrowserAutomationProbeToken active = std::move(*activeToken_);
  activeToken_.reset();
  return generationOf(active.bundleID) == active.generation;
}

void BrowserAutomationProbeCoordinator::invalidate(const std::optional<std::string>& bundleID) {
  if (bundleID) {
    std::string normalized = normalizeBundleID(*bundleID);
    const std::lock_guard guard(lock_);
    ++generations_[std::move(normalized)];
    return;
  }

  const std::lock_guard guard(lock_);
  for (auto& row : generations_) {
    ++row.second;
  }
  // The running query's browser may never have been invalidated before, so it
  // may have no row yet; add it without bumping a browser twice.
  if (activeToken_ && !generations_.contains(activeToken_->bundleID)) {
    generations_.emplace(activeToken_->bundleID, 1);
  }
}

bool BrowserAutomationProbeCoordinator::isBusy() const {
  const std::lock_guard guard(lock_);
  return activeToken_.has_value();
}

}  // namespace Sablekit
