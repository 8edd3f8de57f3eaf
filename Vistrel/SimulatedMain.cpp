// vistrel-sim: the capture host's very loop on a simulated desktop, for tests,
// demos and evaluation. `vistrel-sim [SCENARIO.json]`; without a scenario it
// runs the built-in demo desktop.
#include <iostream>

#include "Sablekit/platform/posix/PosixStandardStreams.h"
#include "Sablekit/platform/simulated/SimulatedDesktop.h"
#include "Sablekit/protocol/HostRequest.h"
#include "Vistrel/VistrelMain.h"

namespace {
// A scenario can make the encoding of responses fail, to exercise the loop's
// diagnostic path before anything in a real response can be unencodable.
constexpr std::string_view encodeResponseOperation = "protocol.encodeResponse";
}  // namespace

int main(int argc, char** argv) {
  using namespace Sablekit;
  if (argc > 2) {
    std::cerr << "usage: vistrel-sim [SCENARIO.json]\n";
    return 2;
  }
  std::unique_ptr<SimulatedDesktop> desktop;
  try {
    desktop = argc == 2 ? SimulatedDesktop::fromScenarioFile(argv[1]) : SimulatedDesktop::demo();
  } catch (const ScenarioError& error) {
    std::cerr << "vistrel-sim: " << error.what() << '\n';
    return 2;
  }
  ignoreBrokenPipeSignal();
  FileDescriptorLineSource input(0, HostRequest::maximumLineBytes);
  FileDescriptorByteSink output(1);
  FileDescriptorByteSink diagnostics(2);
  FaultInjector& faults = desktop->faults();
  const VistrelMain::ResponseEncoder encoder = [&faults](const HostResponse& response) {
    if (faults.take(encodeResponseOperation)) {
      throw JsonCodec::EncodingError("injected encoding failure");
    }
    return encodeResponse(response);
  };
  return VistrelMain::main(*desktop, {input, output, diagnostics}, encoder);
}
