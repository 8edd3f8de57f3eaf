// One generated desktop of the privacy-leak harness: the simulated desktop
// itself, the secret windows on it, and the few facts the expected outcome of
// a capture is computed from.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "Sablekit/platform/simulated/SimulatedDesktop.h"
#include "Sablekit/protocol/CaptureProbeParameters.h"
#include "tests/leak/SecretMarker.h"

namespace Sablekit::Leak {

// One capture request of the desktop's run.
struct LeakRequest {
  std::string method;  // "capture.probe" or "capture.frame"
  std::optional<CaptureProbeParameters> parameters;
  bool listsSecrets = false;  // the request names the explicit identifiers, domains and parent titles
};

struct LeakDesktop {
  std::uint64_t seed = 0;
  std::unique_ptr<SimulatedDesktop> desktop;
  std::vector<SecretMarker> secrets;
  std::vector<LeakRequest> requests;

  // The window the inventory must pick, and the secret it carries if any.
  std::uint32_t focusedWindowNumber = 0;
  std::optional<std::size_t> focusedSecret;  // index into secrets

  // What a request that lists secrets names, exactly as it is sent (with
  // case and white space the service must normalise away).
  std::vector<std::string> explicitIdentifiers;
  std::vector<std::string> excludedDomains;
  std::vector<std::string> parentTitles;

  // Words of allowed windows, for the check that text recognition reads
  // anything at all.
  std::vector<std::string> allowedWords;
};

}  // namespace Sablekit::Leak
