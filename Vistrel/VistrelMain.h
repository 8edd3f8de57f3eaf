// The capture host's request loop: one request line in, one response line
// out, strictly in order, until the input ends.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "Sablekit/capture/CaptureHostServices.h"
#include "Sablekit/platform/Platform.h"
#include "Sablekit/platform/StandardStreams.h"
#include "Sablekit/protocol/HostResponse.h"

namespace Sablekit {

class VistrelMain {
 public:
  // Turns a response into its line; throws JsonCodec::EncodingError when it
  // cannot. The hosts use encodeResponse; the harness may wrap it.
  using ResponseEncoder = std::function<std::string(const HostResponse&)>;

  struct Streams {
    LineSource& input;
    ByteSink& output;
    ByteSink& diagnostics;
  };

  // Builds the service graph on `platform`, answers every line of the input
  // and returns the exit status, 0, once the input has ended.
  static int main(Platform& platform, Streams streams, const ResponseEncoder& encoder = encodeResponse);

  // The response to one request line. Never throws.
  static HostResponse respond(CaptureHostServices& services, std::string_view line);

  static constexpr std::string_view encodingFailureDiagnostic = "Failed to encode host response\n";
};

}  // namespace Sablekit
