// The capture service with the real context services it holds, built on one
// desktop (simulated or live), for tests that drive the whole pipeline.
#pragma once

#include "Sablekit/accessibility/AccessibilityWakeService.h"
#include "Sablekit/capture/CaptureProbeService.h"
#include "Sablekit/context/AutomationPermissionProbeService.h"
#include "Sablekit/context/FinderContextService.h"
#include "Sablekit/context/automation/BrowserAutomationCapabilityCache.h"
#include "Sablekit/context/automation/BrowserAutomationProbeCoordinator.h"
#include "Sablekit/context/automation/BrowserURLReadHealthMonitor.h"
#include "Sablekit/context/browser/BrowserContextService.h"
#include "Sablekit/platform/Platform.h"

namespace Sablekit::Testing {

// The desktop (and `screenCapture`, when given) must outlive the graph.
struct CaptureServiceGraph {
  // `screenCapture` stands in for the desktop's own, e.g. to act during a screenshot.
  explicit CaptureServiceGraph(Platform& desktop, ScreenCapture* screenCapture = nullptr)
      : monitor(desktop.clock()),
        capabilityCache(desktop.clock()),
        browserContext(desktop.accessibility(),
                       desktop.permissions(),
                       desktop.clock(),
                       desktop.timers(),
                       desktop.scripting(),
                       monitor,
                       capabilityCache,
                       coordinator),
        finderContext(desktop.scripting()),
        wake(desktop.clock(), desktop.permissions(), desktop.accessibility()),
        automationProbe(desktop.workspace(), desktop.scripting()),
        service(browserContext,
                finderContext,
                wake,
                automationProbe,
                screenCapture ? *screenCapture : desktop.screenCapture(),
                desktop.windowServer(),
                desktop.workspace(),
                desktop.processIdentity(),
                desktop.permissions(),
                desktop.clock()) {}

  BrowserURLReadHealthMonitor monitor;
  BrowserAutomationCapabilityCache capabilityCache;
  BrowserAutomationProbeCoordinator coordinator;
  BrowserContextService browserContext;
  FinderContextService finderContext;
  AccessibilityWakeService wake;
  AutomationPermissionProbeService automationProbe;
  CaptureProbeService service;
};

}  // namespace Sablekit::Testing
