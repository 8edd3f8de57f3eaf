// Permission checks whose answers a test sets: screen recording always
// granted, accessibility trust as `trusted` says (any thread may flip it).
#pragma once

#include <atomic>

#include "Sablekit/platform/PermissionChecks.h"

namespace Sablekit::Testing {

class FixedPermissions final : public PermissionChecks {
 public:
  bool screenRecordingPreflight() override { return true; }
  bool accessibilityTrusted() override { return trusted.load(); }
  std::atomic<bool> trusted{true};
};

}  // namespace Sablekit::Testing
