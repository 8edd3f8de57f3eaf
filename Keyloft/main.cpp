// Keyloft, the shortcut host: owns the Command-chord shortcut for its parent
// and reports on standard output until the parent closes standard input.
// It runs on the platform chosen when it was built (the simulated desktop's
// idle keyboard until a real keyboard backend exists).
#include "Keyloft/KeyloftMain.h"
#include "Keyloft/KeyloftServices.h"
#include "Sablekit/platform/PlatformBackends.h"
#include "Sablekit/platform/posix/PosixStandardStreams.h"

int main(int argc, char** argv) {
  using namespace Sablekit;
  ignoreBrokenPipeSignal();
  const std::unique_ptr<Platform> platform = createDefaultPlatform();
  RunLoop runLoop;
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
