// Vistrel, the capture host: serves its parent over standard input and output
// on the platform chosen when it was built. Takes no arguments.
#include "Sablekit/platform/PlatformBackends.h"
#include "Sablekit/platform/posix/PosixStandardStreams.h"
#include "Sablekit/protocol/HostRequest.h"
#include "Vistrel/VistrelMain.h"

int main() {
  using namespace Sablekit;
  ignoreBrokenPipeSignal();
  const std::unique_ptr<Platform> platform = createDefaultPlatform();
  FileDescriptorLineSource input(0, HostRequest::maximumLineBytes);
  FileDescriptorByteSink output(1);
  FileDescriptorByteSink diagnostics(2);
  return VistrelMain::main(*platform, {input, output, diagnostics});
}
