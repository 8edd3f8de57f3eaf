// Keyloft, the shortcut host: owns the Command-chord shortcut for its parent
// and reports on standard output until the parent closes standard input.
// It runs on the platform chosen when it was built; where the X11 keyboard is
// built in and a display is named ($DISPLAY), the keyboard is the X server's.
#include <cstdlib>

#include "Keyloft/KeyloftMain.h"
#include "Keyloft/KeyloftServices.h"
#include "Sablekit/platform/PlatformBackends.h"
#include "Sablekit/platform/posix/PosixStandardStreams.h"
#ifdef SABLEKIT_WITH_X11_KEYBOARD
#include "Sablekit/platform/x11/keyboard/X11Keyboard.h"
#endif

int main(int argc, char** argv) {
  using namespace Sablekit;
  ignoreBrokenPipeSignal();
  const std::unique_ptr<Platform> platform = createDefaultPlatform();
  RunLoop runLoop;
  FileDescriptorByteSink output(1);
  std::unique_ptr<Keyboard> displayKeyboard;
#ifdef SABLEKIT_WITH_X11_KEYBOARD
  if (const char* display = std::getenv("DISPLAY"); display != nullptr && *display != '\0') {
    displayKeyboard = std::make_unique<X11Keyboard>(runLoop);
  }
#endif
  return KeyloftMain::main(std::vector<std::string>(argv, argv + argc),
                           {.keyboard = displayKeyboard ? *displayKeyboard : platform->keyboard(),
                            .permissions = platform->permissions(),
                            .accessibilityPrompt = platform->accessibilityPrompt(),
                            .runLoop = runLoop,
                            .output = output,
                            .acquireLease = KeyloftServices::userLease(),
                            .watchParentPipe = KeyloftServices::standardInputWatcher()});
}
