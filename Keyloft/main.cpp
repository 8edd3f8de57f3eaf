// Keyloft, the shortcut host: owns the Command-chord shortcut for its parent
// and reports on standard output until the parent closes standard input.
// Until a real keyboard backend exists it listens to an idle simulated one.
#include "Keyloft/KeyloftMain.h"
#include "Keyloft/KeyloftServices.h"
#include "Sablekit/platform/PlatformBackends.h"
#include "Sablekit/platform/posix/PosixStandardStreams.h"
#include "Sablekit/platform/simulated/SimulatedAccessibilityPrompt.h"
#include "Sablekit/platform/simulated/SimulatedKeyboard.h"

int main(int argc, char** argv) {
  using namespace Sablekit;
  ignoreBrokenPipeSignal();
  const std::unique_ptr<Platform> platform = createDefaultPlatform();
  SimulatedKeyboard keyboard;
  SimulatedAccessibilityPrompt prompt;
  RunLoop runLoop;
  FileDescriptorByteSink output(1);
  return KeyloftMain::main(std::vector<std::string>(argv, argv + argc),
                           {.keyboard = keyboard,
                            .permissions = platform->permissions(),
                            .accessibilityPrompt = prompt,
                            .runLoop = runLoop,
                            .output = output,
                            .acquireLease = KeyloftServices::userLease(),
                            .watchParentPipe = KeyloftServices::standardInputWatcher()});
}
