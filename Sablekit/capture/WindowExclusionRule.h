// The rule that decides which windows a capture cuts out, for one request
// and the parent process read for it. The first look and the post-capture
// re-check apply the same rule, so their excluded sets compare.
#pragma once

#include <cstdint>
#include <set>
#include <vector>

#include "Sablekit/capture/CaptureRequest.h"
#include "Sablekit/capture/WindowRecord.h"

namespace Sablekit {

// Pure and cheap to copy; `request` must outlive the rule.
class WindowExclusionRule {
 public:
  WindowExclusionRule(const CaptureRequest& request, std::int32_t parentProcessID)
      : request_(request), parentProcessID_(parentProcessID) {}

  // A window of the parent process whose title the request lists.
  bool isListedParentWindow(const WindowRecord& window) const;

  // Whether `window` is cut out while `focused` is the focused window, by the
  // first of: a listed parent window; an application the policy excludes; not
  // for the focused window itself or a non-browser; a browser window behind
  // the focused one whenever private windows or domains are excluded (only
  // the focused browser window is ever read).
  bool excludes(const WindowRecord& window, const WindowRecord& focused) const;

  // The identifiers of the windows among `windows` that excludes() cuts out.
  std::set<std::uint32_t> excludedWindowIDs(const std::vector<WindowRecord>& windows,
                                            const WindowRecord& focused) const;

  // True when the parent owns the focused window and lists titles of its own:
  // a snapshot of the parent could carry the windows the request protects.
  bool protectsParentOf(const WindowRecord& focused) const;

  const CaptureRequest& request() const { return request_; }

 private:
  const CaptureRequest& request_;
  std::int32_t parentProcessID_;
};

}  // namespace Sablekit
