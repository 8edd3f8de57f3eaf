// A workspace driven by a test or a scenario: running applications in the
// system's order, the frontmost process, the pointer, and desktop switches
// that reach every live subscription.
#pragma once

#include <array>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string_view>
#include <thread>
#include <vector>

#include <nlohmann/json_fwd.hpp>

#include "Sablekit/platform/Workspace.h"
#include "Sablekit/platform/simulated/FaultInjector.h"

namespace Sablekit {

namespace SimulatedOperation {
// fail or empty: the list cannot be read; runningApplications answers an empty list.
inline constexpr std::string_view runningApplications = "workspace.runningApplications";
// fail or empty: the process has no application; application answers absent.
inline constexpr std::string_view application = "workspace.application";
// fail or empty: the bundle cannot be read; the next application answer (from
// application, or every entry of one runningApplications answer) lacks both version keys.
inline constexpr std::string_view bundleVersions = "workspace.bundleVersions";
// fail or empty: no application is frontmost; frontmostProcessID answers absent.
inline constexpr std::string_view frontmostProcessID = "workspace.frontmostProcessID";
}  // namespace SimulatedOperation

// Builders and queries run on the thread playing the main thread.
// switchDesktop() may run on any thread; subscriptions may be destroyed on any
// thread. The fault injector must outlive the workspace, and the workspace
// every subscription it handed out.
class SimulatedWorkspace final : public Workspace {
 public:
  // The scenario sections this workspace reads (format in docs/scenario-windows.md).
  static constexpr std::array<std::string_view, 3> scenarioSections = {"applications", "frontmostProcessID", "pointer"};

  explicit SimulatedWorkspace(FaultInjector& faults);
  ~SimulatedWorkspace() override;
  SimulatedWorkspace(const SimulatedWorkspace&) = delete;
  SimulatedWorkspace& operator=(const SimulatedWorkspace&) = delete;

  // Appends an application in the system's order, or replaces the one of the
  // same process in place.
  SimulatedWorkspace& addApplication(RunningApplication application);
  SimulatedWorkspace& removeApplication(std::int32_t processID);
  // Any process, with an application or not; absent: nothing is frontmost.
  SimulatedWorkspace& setFrontmostProcessID(std::optional<std::int32_t> processID);
  // Global points (top-left origin); absent, as at first: the platform cannot tell.
  SimulatedWorkspace& setPointer(std::optional<Point> pointer);

  // The applications as built, without consulting faults.
  const std::vector<RunningApplication>& applications() const { return applications_; }

  // The user switches desktops: every live subscription's handler runs once,
  // on the calling thread.
  void switchDesktop();
  std::size_t desktopObserverCount() const;

  // Reads one of scenarioSections, replacing what it describes. Throws
  // ScenarioError naming the offending path, also for a section it does not own.
  void loadScenario(std::string_view sectionName, const nlohmann::json& section);

  // Workspace
  std::vector<RunningApplication> runningApplications() override;
  std::optional<RunningApplication> application(std::int32_t processID) override;
  std::optional<std::int32_t> frontmostProcessID() override;
  std::optional<Point> pointerLocation() override;
  std::unique_ptr<Subscription> observeDesktopChanges(std::function<void()> handler) override;

 private:
  // One registration: its handler never starts after the subscription's
  // destructor returned, and that destructor waits for runs on other threads.
  struct Observer {
    std::function<void()> handler;
    std::mutex mutex;  // guards active and runners
    std::condition_variable idle;
    bool active = true;
    std::vector<std::thread::id> runners;
  };
  class ObserverSubscription;

  void loadApplications(const nlohmann::json& section);
  RunningApplication withBundleFaults(RunningApplication application, bool bundleUnreadable) const;

  FaultInjector& faults_;
  std::vector<RunningApplication> applications_;
  std::optional<std::int32_t> frontmostProcessID_;
  std::optional<Point> pointer_;
  mutable std::mutex observersMutex_;  // guards observers_
  std::vector<std::weak_ptr<Observer>> observers_;
};

}  // namespace Sablekit
