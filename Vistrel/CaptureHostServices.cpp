#include "Vistrel/CaptureHostServices.h"

namespace Sablekit {

CaptureHostServices::CaptureHostServices(Platform& platform)
    : captureProbeService_(platform.processIdentity(), platform.permissions()) {}

}  // namespace Sablekit
