// Vistrel, the capture host: serves its parent over standard input and output
// on the platform the backend rule chooses (see PlatformBackends.h). Takes no
// arguments.
#include "Sablekit/platform/PlatformBackends.h"
#include "Sablekit/platform/posix/PosixStandardStreams.h"
#include "Sablekit/protocol/HostRequest.h"
#include "Vistrel/VistrelMain.h"

int main() {
  using namespace Sablekit;
  ignoreBrokenPipeSignal();
  // Requests are served on this thread without a loop; the platform is given
  // one all the same, and nothing the capture host uses posts to it.
  RunLoop mainLoop;
  const std::unique_ptr<Platform> platform = createPlatform({.mainLoop = mainLoop});
  FileDescriptorLineSource input(0, HostRequest::maximumLineBytes);
  FileDescriptorByteSink output(1);
  FileDescriptorByteSink diagnostics(2);
  return VistrelMain::main(*platform, {input, output, diagnostics});
}
