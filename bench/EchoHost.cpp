// The baseline for the throughput benchmark: reads lines exactly as the capture
// host does and makes the same two unbuffered writes per line, doing no work.
#include "Sablekit/platform/posix/PosixStandardStreams.h"
#include "Sablekit/protocol/HostRequest.h"

int main() {
  using namespace Sablekit;
  FileDescriptorLineSource input(0, HostRequest::maximumLineBytes);
  FileDescriptorByteSink output(1);
  while (const auto line = input.readLine()) {
    output.write(*line);
    output.write("\n");
  }
  return 0;
}
