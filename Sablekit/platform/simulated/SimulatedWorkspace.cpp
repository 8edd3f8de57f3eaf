// The simulated workspace's applications, pointer, faults, desktop switches
// and scenario sections.
#include "Sablekit/platform/simulated/SimulatedWorkspace.h"

#include <algorithm>

#include "Sablekit/platform/simulated/ScenarioFields.h"

namespace Sablekit {

using namespace ScenarioFields;

class SimulatedWorkspace::ObserverSubscription final : public Subscription {
 public:
  explicit ObserverSubscription(std::shared_ptr<Observer> observer) : observer_(std::move(observer)) {}
  ~ObserverSubscription() override {
    std::unique_lock lock(observer_->mutex);
    observer_->active = false;
    // A handler may drop its own subscription; only runs on other threads are awaited.
    observer_->idle.wait(lock, [&] {
      const auto& runners = observer_->runners;
      return std::all_of(runners.begin(), runners.end(),
                         [](std::thread::id runner) { return runner == std::this_thread::get_id(); });
    });
  }

 private:
  std::shared_ptr<Observer> observer_;
};

SimulatedWorkspace::SimulatedWorkspace(FaultInjector& faults) : faults_(faults) {}

SimulatedWorkspace::~SimulatedWorkspace() = default;

SimulatedWorkspace& SimulatedWorkspace::addApplication(RunningApplication application) {
  const auto same = std::find_if(applications_.begin(), applications_.end(), [&](const RunningApplication& running) {
    return running.processID == application.processID;
  });
  if (same != applications_.end()) {
    *same = std::move(application);
  } else {
    applications_.push_back(std::move(application));
  }
  return *this;
}

SimulatedWorkspace& SimulatedWorkspace::removeApplication(std::int32_t processID) {
  std::erase_if(applications_, [&](const RunningApplication& running) { return running.processID == processID; });
  return *this;
}

SimulatedWorkspace& SimulatedWorkspace::setFrontmostProcessID(std::optional<std::int32_t> processID) {
  frontmostProcessID_ = processID;
  return *this;
}

SimulatedWorkspace& SimulatedWorkspace::setPointer(std::optional<Point> pointer) {
  pointer_ = pointer;
  return *this;
}

void SimulatedWorkspace::switchDesktop() {
  std::vector<std::shared_ptr<Observer>> live;
  {
    const std::lock_guard lock(observersMutex_);
    std::erase_if(observers_, [](const std::weak_ptr<Observer>& observer) { return observer.expired(); });
    for (const auto& observer : observers_) {
      if (auto locked = observer.lock()) {
        live.push_back(std::move(locked));
      }
    }
  }
  for (const auto& observer : live) {
    {
      const std::lock_guard lock(observer->mutex);
      if (!observer->active) {
        continue;
      }
      observer->runners.push_back(std::this_thread::get_id());
    }
    observer->handler();
    {
      const std::lock_guard lock(observer->mutex);
      observer->runners.erase(
          std::find(observer->runners.begin(), observer->runners.end(), std::this_thread::get_id()));
    }
    observer->idle.notify_all();
  }
}

std::size_t SimulatedWorkspace::desktopObserverCount() const {
  const std::lock_guard lock(observersMutex_);
  return static_cast<std::size_t>(std::count_if(observers_.begin(), observers_.end(), [](const auto& observer) {
    const auto locked = observer.lock();
    if (!locked) {
      return false;
    }
    const std::lock_guard observerLock(locked->mutex);
    return locked->active;
  }));
}

std::vector<RunningApplication> SimulatedWorkspace::runningApplications() {
  if (faults_.take(SimulatedOperation::runningApplications)) {
    return {};
  }
  const bool bundleUnreadable = faults_.take(SimulatedOperation::bundleVersions).has_value();
  std::vector<RunningApplication> answer;
  for (const RunningApplication& running : applications_) {
    answer.push_back(withBundleFaults(running, bundleUnreadable));
  }
  return answer;
}

std::optional<RunningApplication> SimulatedWorkspace::application(std::int32_t processID) {
  if (faults_.take(SimulatedOperation::application)) {
    return std::nullopt;
  }
  const auto found = std::find_if(applications_.begin(), applications_.end(),
                                  [&](const RunningApplication& running) { return running.processID == processID; });
  if (found == applications_.end()) {
    return std::nullopt;
  }
  return withBundleFaults(*found, faults_.take(SimulatedOperation::bundleVersions).has_value());
}

std::optional<std::int32_t> SimulatedWorkspace::frontmostProcessID() {
  if (faults_.take(SimulatedOperation::frontmostProcessID)) {
    return std::nullopt;
  }
  return frontmostProcessID_;
}

std::optional<Point> SimulatedWorkspace::pointerLocation() {
  return pointer_;
}

std::unique_ptr<Subscription> SimulatedWorkspace::observeDesktopChanges(std::function<void()> handler) {
  auto observer = std::make_shared<Observer>();
  observer->handler = std::move(handler);
  {
    const std::lock_guard lock(observersMutex_);
    observers_.push_back(observer);
  }
  return std::make_unique<ObserverSubscription>(std::move(observer));
}

RunningApplication SimulatedWorkspace::withBundleFaults(RunningApplication application, bool bundleUnreadable) const {
  if (bundleUnreadable) {
    application.shortVersionString.reset();
    application.bundleVersion.reset();
  }
  return application;
}

void SimulatedWorkspace::loadScenario(std::string_view sectionName, const nlohmann::json& section) {
  if (sectionName == "applications") {
    loadApplications(section);
  } else if (sectionName == "frontmostProcessID") {
    frontmostProcessID_ = section.is_null()
                              ? std::nullopt
                              : std::optional<std::int32_t>(integer<std::int32_t>(section, "frontmostProcessID"));
  } else if (sectionName == "pointer") {
    pointer_ = point(section, "pointer");
  } else {
    fail(std::string(sectionName), "unknown section");
  }
}

void SimulatedWorkspace::loadApplications(const nlohmann::json& section) {
  expectArray(section, "applications");
  std::vector<RunningApplication> applications;
  for (std::size_t index = 0; index < section.size(); ++index) {
    const std::string path = "applications[" + std::to_string(index) + "]";
    const Json& entry = section[index];
    expectObject(entry, path, {"processID", "bundleID", "localizedName", "shortVersionString", "bundleVersion"});
    RunningApplication application{
        .processID = required(integerAt<std::int32_t>(entry, path, "processID"), path, "processID"),
        .bundleID = stringAt(entry, path, "bundleID"),
        .localizedName = stringAt(entry, path, "localizedName"),
        .shortVersionString = stringAt(entry, path, "shortVersionString"),
        .bundleVersion = stringAt(entry, path, "bundleVersion"),
    };
    const bool repeated = std::any_of(applications.begin(), applications.end(), [&](const RunningApplication& known) {
      return known.processID == application.processID;
    });
    if (repeated) {
      fail(path + ".processID", "another application already has this process");
    }
    applications.push_back(std::move(application));
  }
  applications_ = std::move(applications);
}

}  // namespace Sablekit
