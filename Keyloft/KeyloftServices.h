// The real POSIX lease and parent-pipe watcher, as the shortcut host takes
// them: the lock file in the user's temporary directory, and standard input.
#pragma once

#include "Keyloft/KeyloftMain.h"

namespace Sablekit {

struct KeyloftServices {
  // Takes the lease on the lock file in the user's temporary directory, as
  // the process environment names it; null when that directory cannot be
  // established or the lock is refused.
  static KeyloftMain::LeaseAcquirer userLease();
  // Watches standard input (descriptor 0) on a thread of its own.
  static KeyloftMain::PipeWatcherFactory standardInputWatcher();
};

}  // namespace Sablekit
