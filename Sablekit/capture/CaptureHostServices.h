// The capture host's service graph on one platform, built in a fixed order
// and kept for the life of the host. The request loop uses only the two
// capture services; tests drive the whole graph on any platform.
#pragma once

#include "Sablekit/accessibility/AccessibilityObserverCoordinator.h"
#include "Sablekit/accessibility/AccessibilitySnapshotCache.h"
#include "Sablekit/accessibility/AccessibilitySnapshotService.h"
#include "Sablekit/accessibility/AccessibilityWakeService.h"
#include "Sablekit/capture/CaptureFrameService.h"
#include "Sablekit/capture/CaptureProbeService.h"
#include "Sablekit/context/AutomationPermissionProbeService.h"
#include "Sablekit/context/FinderContextService.h"
#include "Sablekit/context/automation/BrowserAutomationCapabilityCache.h"
#include "Sablekit/context/automation/BrowserAutomationProbeCoordinator.h"
#include "Sablekit/context/automation/BrowserURLReadHealthMonitor.h"
#include "Sablekit/context/browser/BrowserContextService.h"
#include "Sablekit/ocr/OCRService.h"
#include "Sablekit/platform/Platform.h"

namespace Sablekit {

class CaptureHostServices {
 public:
  // The platform must outlive the services.
  explicit CaptureHostServices(Platform& platform);

  CaptureHostServices(const CaptureHostServices&) = delete;
  CaptureHostServices& operator=(const CaptureHostServices&) = delete;

  CaptureProbeService& captureProbeService() { return captureProbeService_; }
  CaptureFrameService& captureFrameService() { return captureFrameService_; }

 private:
  // Declared, and so built, in the order each depends on the ones before.
  BrowserURLReadHealthMonitor readHealthMonitor_;
  BrowserAutomationCapabilityCache automationCapabilityCache_;
  BrowserAutomationProbeCoordinator automationProbeCoordinator_;
  BrowserContextService browserContextService_;
  FinderContextService finderContextService_;
  AccessibilityWakeService accessibilityWakeService_;
  AutomationPermissionProbeService automationPermissionProbeService_;
  CaptureProbeService captureProbeService_;
  AccessibilityObserverCoordinator observerCoordinator_;
  AccessibilitySnapshotService snapshotService_;
  AccessibilitySnapshotCache snapshotCache_;
  OCRService ocrService_;
  CaptureFrameService captureFrameService_;
};

}  // namespace Sablekit
