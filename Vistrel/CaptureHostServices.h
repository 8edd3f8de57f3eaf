// The capture host's service graph, built once at start-up in a fixed order
// and kept for the life of the process. The capture service holds the only
// references to the others.
#pragma once

#include "Sablekit/capture/CaptureProbeService.h"
#include "Sablekit/platform/Platform.h"

namespace Sablekit {

class CaptureHostServices {
 public:
  // The platform must outlive the services.
  explicit CaptureHostServices(Platform& platform);

  CaptureProbeService& captureProbeService() { return captureProbeService_; }

 private:
  CaptureProbeService captureProbeService_;
};

}  // namespace Sablekit
