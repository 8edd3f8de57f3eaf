// Builds the capture host's services on one platform, in dependency order.
#include "Sablekit/capture/CaptureHostServices.h"

namespace Sablekit {

CaptureHostServices::CaptureHostServices(Platform& platform)
    : readHealthMonitor_(platform.clock()),
      automationCapabilityCache_(platform.clock()),
      browserContextService_(platform.accessibility(),
                             platform.permissions(),
                             platform.clock(),
                             platform.timers(),
                             platform.scripting(),
                             readHealthMonitor_,
                             automationCapabilityCache_,
                             automationProbeCoordinator_),
      finderContextService_(platform.scripting()),
      accessibilityWakeService_(platform.clock(), platform.permissions(), platform.accessibility()),
      automationPermissionProbeService_(platform.workspace(), platform.scripting()),
      captureProbeService_(browserContextService_,
                           finderContextService_,
                           accessibilityWakeService_,
                           automationPermissionProbeService_,
                           platform.screenCapture(),
                           platform.windowServer(),
                           platform.workspace(),
                           platform.processIdentity(),
                           platform.permissions(),
                           platform.clock(),
                           platform.capabilities()),
      observerCoordinator_(platform.accessibilityObservers(),
                           platform.accessibility(),
                           platform.permissions(),
                           platform.clock()),
      snapshotService_(platform.accessibility(), platform.permissions(), platform.clock()),
      snapshotCache_(snapshotService_, observerCoordinator_, platform.permissions(), platform.clock()),
      ocrService_(platform.textRecognizer(), true),
      captureFrameService_(captureProbeService_, ocrService_, snapshotCache_, platform.imageEncoder()) {}

}  // namespace Sablekit
