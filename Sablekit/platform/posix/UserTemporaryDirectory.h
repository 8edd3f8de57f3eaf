// Where per-user runtime files live on this machine. A shared /tmp is not
// private: another user's file there could block ours, so without a per-user
// directory from the environment we make one of our own under /tmp.
#pragma once

#include <filesystem>
#include <optional>

#include <sys/types.h>

#include "Sablekit/platform/PlatformContext.h"

namespace Sablekit {

class UserTemporaryDirectory {
 public:
  // "$XDG_RUNTIME_DIR" when set and not empty, else "$TMPDIR" likewise, else
  // `privateRoot`/"orvane-<uid>", created with mode 0700 when missing. The
  // private directory is refused (absent) when it is a symbolic link, not a
  // directory, owned by another user, or open to group or others. Directories
  // named by the environment are taken as they are: the user chose them.
  static std::optional<std::filesystem::path> resolve(const EnvironmentLookup& lookup,
                                                      const std::filesystem::path& privateRoot,
                                                      uid_t uid);

  // resolve() with the process environment, "/tmp" and the real user.
  static std::optional<std::filesystem::path> current();
};

}  // namespace Sablekit
