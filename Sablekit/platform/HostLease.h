// A single-instance lease: an exclusive lock between processes on a well-known
// file, held for as long as the lease object lives.
#pragma once

#include <filesystem>

namespace Sablekit {

// File name of the shortcut host's lock, inside the user's temporary directory.
inline constexpr const char* kShortcutHostLeaseFileName = "orvane.keyloft.lock";

class HostLease {
 public:
  // Destroying the lease unlocks the file and closes it; the file itself stays.
  // Must not race with any other call on the same object.
  virtual ~HostLease() = default;

  // The lock file this lease holds. Safe from any thread.
  virtual const std::filesystem::path& path() const = 0;
};

}  // namespace Sablekit
