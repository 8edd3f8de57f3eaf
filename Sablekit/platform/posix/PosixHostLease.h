// The host lease as a POSIX record lock (lockf) on the lock file.
#pragma once

#include <memory>
#include <optional>

#include "Sablekit/platform/HostLease.h"
#include "Sablekit/platform/posix/UserTemporaryDirectory.h"

namespace Sablekit {

class PosixHostLease final : public HostLease {
 public:
  // Opens `path` (created 0600 when missing, close-on-exec) and locks the whole
  // file without waiting. Null when the file cannot be opened or another
  // process holds the lock; the two are not told apart. lockf locks belong to
  // the process: a second acquire in the process that already holds the lease
  // is not refused. Safe from any thread.
  static std::unique_ptr<PosixHostLease> acquire(const std::filesystem::path& path);

  // The shortcut host's lock file in the user's temporary directory; absent
  // when that directory cannot be established.
  static std::optional<std::filesystem::path> defaultPath(const EnvironmentLookup& lookup);

  ~PosixHostLease() override;
  PosixHostLease(const PosixHostLease&) = delete;
  PosixHostLease& operator=(const PosixHostLease&) = delete;

  const std::filesystem::path& path() const override { return path_; }

 private:
  PosixHostLease(std::filesystem::path path, int fileDescriptor);

  std::filesystem::path path_;
  int fileDescriptor_;
};

}  // namespace Sablekit
