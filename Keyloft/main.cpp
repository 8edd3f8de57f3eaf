// Keyloft, the shortcut host: owns the Command-chord shortcut for its parent
// and reports on standard output until the parent closes standard input.
// It runs on the platform the backend rule chooses (see PlatformBackends.h),
// whose keyboard is the session's own.
#include "Keyloft/KeyloftMain.h"
#include "Keyloft/KeyloftServices.h"
#include "Sablekit/platform/PlatformBackends.h"
#include "Sablekit/platform/posix/PosixStandardStreams.h"

int main(int argc, char** argv) {
  using namespace Sablekit;
  ignoreBrokenPipeSignal();
  RunLoop runLoop;
  const std::unique_ptr<Platform> platform = createPlatform({.mainLoop = runLoop});
  FileDescriptorByteSink output(1);
  return KeyloftMain::main(std::vector<std::string>(argv, argv + argc),
                           {.keyboard = platform->keyboard(),
                            .permissions = platform->permissions(),
                            .accessibilityPrompt = platform->accessibilityPrompt(),
                            .runLoop = runLoop,
                            .output = output,
                            .acquireLease = KeyloftServices::userLease(),
                            .watchParentPipe = KeyloftServices::standardInputWatcher()});
}
