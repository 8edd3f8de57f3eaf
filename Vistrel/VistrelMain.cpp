#include "Vistrel/VistrelMain.h"

#include <optional>

#include "Sablekit/capture/CaptureHostServices.h"
#include "Sablekit/protocol/CaptureHostError.h"
#include "Sablekit/protocol/HostRequest.h"

namespace Sablekit {

namespace {

HostResult dispatch(CaptureHostServices& services, const HostRequest& request) {
  CaptureProbeService& service = services.captureProbeService();
  if (request.method == "health") {
    return service.health();
  }
  if (request.method == "capture.probe") {
    return service.probe(request.params);
  }
  if (request.method == "capture.frame") {
    return services.captureFrameService().captureFrame(request.params);
  }
  if (request.method == "automation.reset") {
    service.resetAutomationState();
    return service.health();
  }
  if (request.method == "automation.probe") {
    return service.probeAutomation(request.params);
  }
  throw CaptureHostError::invalidRequest("Unknown method: " + request.method);
}

HostResponse undecodable(std::string message) {
  return HostResponse(0, HostErrorPayload{"invalidRequest", std::move(message), false});
}

}  // namespace

HostResponse VistrelMain::respond(CaptureHostServices& services, std::string_view line) {
  std::optional<HostRequest> request;
  try {
    request = HostRequest::decodeLine(line);
    return HostResponse(request->id, dispatch(services, *request));
  } catch (const CaptureHostError& error) {
    // Raised only once the line is decoded, so the request's id is known.
    return HostResponse(request ? request->id : 0, error.payload());
  } catch (const std::exception& error) {
    return undecodable(error.what());
  } catch (...) {
    return undecodable("The request failed");
  }
}

int VistrelMain::main(Platform& platform, Streams streams, const ResponseEncoder& encoder) {
  CaptureHostServices services(platform);
  while (const std::optional<std::string> line = streams.input.readLine()) {
    const HostResponse response = respond(services, *line);
    std::string encoded;
    try {
      encoded = encoder(response);
    } catch (const std::exception&) {
      streams.diagnostics.write(encodingFailureDiagnostic);
      continue;
    }
    streams.output.write(encoded);
    streams.output.write("\n");
  }
  return 0;
}

}  // namespace Sablekit
