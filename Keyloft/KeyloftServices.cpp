#include "Keyloft/KeyloftServices.h"

#include "Sablekit/platform/posix/PosixHostLease.h"
#include "Sablekit/platform/posix/PosixParentPipeWatcher.h"
#include "Sablekit/platform/posix/UserTemporaryDirectory.h"

namespace Sablekit {

KeyloftMain::LeaseAcquirer KeyloftServices::userLease() {
  return []() -> std::unique_ptr<HostLease> {
    const std::optional<std::filesystem::path> path = PosixHostLease::defaultPath(processEnvironment());
    if (!path) {
      return nullptr;
    }
    return PosixHostLease::acquire(*path);
  };
}

KeyloftMain::PipeWatcherFactory KeyloftServices::standardInputWatcher() {
  return [](std::function<void()> onClosed) -> std::unique_ptr<ParentPipeWatcher> {
    return std::make_unique<PosixParentPipeWatcher>(0, std::move(onClosed));
  };
}

}  // namespace Sablekit
