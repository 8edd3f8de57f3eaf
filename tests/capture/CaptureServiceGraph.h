// The capture service with the real context services it holds, built on one
// simulated desktop, for tests that drive the whole pipeline.
#pragma once

#include "Sablekit/accessibility/AccessibilityWakeService.h"
#include "Sablekit/capture/CaptureProbeService.h"
#include "Sablekit/context/AutomationPermissionProbeService.h"
#include "Sablekit/context/FinderContextService.h"
#include "Sablekit/context/automation/BrowserAutomationCapabilityCache.h"
#include "Sablekit/context/automation/BrowserAutomationProbeCoordinator.h"
#include "Sablekit/context/automation/BrowserURLReadHealthMonitor.h"
#include "Sablekit/context/browser/BrowserContextService.h"
#include "Sablekit/platform/simulated/SimulatedDesktop.h"

namespace Sablekit::Testing {

// The desktop must outlive the graph.
struct CaptureServiceGraph {
  explicit CaptureServiceGraph(SimulatedDesktop& desktop)
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
                desktop.screenCapture(),
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
