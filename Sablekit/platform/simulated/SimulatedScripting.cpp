// The simulated scripting engine: recognises the fixed scripts by text and
// answers them from the described applications.
#include "Sablekit/platform/simulated/SimulatedScripting.h"

#include <algorithm>
#include <chrono>
#include <limits>
#include <memory>

#include <nlohmann/json.hpp>

#include "Sablekit/common/TextRules.h"
#include "Sablekit/platform/simulated/ScenarioFields.h"
#include "Sablekit/platform/simulated/SimulatedDesktop.h"

namespace Sablekit {

namespace {

using ScenarioFields::expectObject;
using ScenarioFields::fail;

using Json = nlohmann::json;

// The scripts this engine knows. They are written out here on their own, not
// taken from the services that send them, so that a service whose text drifts
// gets a failure rather than an answer.
constexpr std::string_view finderFrontFolderScript =
    "with timeout of 1 seconds\n"
    "  tell application id \"com.apple.finder\"\n"
    "    if (count of windows) is 0 then return \"\"\n"
    "    return POSIX path of (target of front window as alias)\n"
    "  end tell\n"
    "end timeout";
constexpr std::string_view finderWindowCountScript =
    "with timeout of 120 seconds\n"
    "  tell application id \"com.apple.finder\"\n"
    "    return (count of windows) as integer\n"
    "  end tell\n"
    "end timeout";
constexpr std::string_view chromiumModePrefix =
    "with timeout of 1 seconds\n"
    "  tell application id \"";
constexpr std::string_view chromiumModeSuffix =
    "\"\n"
    "    if (count of windows) is 0 then return \"unknown\"\n"
    "    return (mode of front window) as text\n"
    "  end tell\n"
    "end timeout";
constexpr std::string_view chromiumProbePrefix =
    "with timeout of 120 seconds\n"
    "  tell application id \"";
constexpr std::string_view chromiumProbeSuffix =
    "\"\n"
    "    if (count of windows) is 0 then return \"no-windows\"\n"
    "    return (mode of front window) as text\n"
    "  end tell\n"
    "end timeout";

constexpr std::int32_t cannotGetObject = -1728;
constexpr std::int32_t unknownScript = -2700;

std::optional<std::string> bundleBetween(std::string_view source, std::string_view prefix, std::string_view suffix) {
  if (source.size() <= prefix.size() + suffix.size() || !source.starts_with(prefix) || !source.ends_with(suffix)) {
    return std::nullopt;
  }
  const std::string_view bundle = source.substr(prefix.size(), source.size() - prefix.size() - suffix.size());
  if (bundle.find_first_of("\"\\\n\r") != std::string_view::npos) {
    return std::nullopt;
  }
  return std::string(bundle);
}

double scriptTimeout(SimulatedScripting::ScriptKind kind) {
  switch (kind) {
    case SimulatedScripting::ScriptKind::chromiumWindowMode:
    case SimulatedScripting::ScriptKind::finderFrontFolder:
      return 1.0;
    case SimulatedScripting::ScriptKind::chromiumProbe:
    case SimulatedScripting::ScriptKind::finderWindowCount:
      return 120.0;
    case SimulatedScripting::ScriptKind::unrecognised:
      break;
  }
  // The platform's default Apple-event timeout.
  return 120.0;
}

const Json* member(const Json& object, const char* key) {
  const auto found = object.find(key);
  return found == object.end() ? nullptr : &*found;
}

std::optional<std::string> stringAt(const Json& object, const std::string& path, const char* key) {
  const Json* value = member(object, key);
  if (value == nullptr) {
    return std::nullopt;
  }
  if (!value->is_string()) {
    fail(path + "." + key, "expected a string");
  }
  return value->get<std::string>();
}

std::optional<bool> boolAt(const Json& object, const std::string& path, const char* key) {
  const Json* value = member(object, key);
  if (value == nullptr) {
    return std::nullopt;
  }
  if (!value->is_boolean()) {
    fail(path + "." + key, "expected true or false");
  }
  return value->get<bool>();
}

std::optional<std::int32_t> int32At(const Json& object, const std::string& path, const char* key) {
  const Json* value = member(object, key);
  if (value == nullptr) {
    return std::nullopt;
  }
  if (!value->is_number_integer()) {
    fail(path + "." + key, "expected an integer");
  }
  if (value->is_number_unsigned()
          ? value->get<std::uint64_t>() > std::uint64_t(std::numeric_limits<std::int32_t>::max())
          : (value->get<std::int64_t>() < std::numeric_limits<std::int32_t>::min() ||
             value->get<std::int64_t>() > std::numeric_limits<std::int32_t>::max())) {
    fail(path + "." + key, "integer out of range");
  }
  return static_cast<std::int32_t>(value->get<std::int64_t>());
}

std::optional<double> numberAt(const Json& object, const std::string& path, const char* key) {
  const Json* value = member(object, key);
  if (value == nullptr) {
    return std::nullopt;
  }
  if (!value->is_number()) {
    fail(path + "." + key, "expected a number");
  }
  return value->get<double>();
}

SimulatedScripting::Application loadApplication(const Json& object, const std::string& path) {
  expectObject(object, path,
               {"bundleID", "windowCount", "frontWindowMode", "frontFolder", "errorNumber", "errorMessage",
                "noStringResult", "delaySeconds"});
  SimulatedScripting::Application application;
  const auto bundleID = stringAt(object, path, "bundleID");
  if (!bundleID || bundleID->empty()) {
    fail(path + ".bundleID", "a non-empty string is required");
  }
  application.bundleID = *bundleID;
  if (const auto count = int32At(object, path, "windowCount")) {
    if (*count < 0) {
      fail(path + ".windowCount", "must not be negative");
    }
    application.windowCount = *count;
  }
  if (auto mode = stringAt(object, path, "frontWindowMode")) {
    application.frontWindowMode = std::move(*mode);
  }
  application.frontFolder = stringAt(object, path, "frontFolder");
  application.errorNumber = int32At(object, path, "errorNumber");
  application.errorMessage = stringAt(object, path, "errorMessage").value_or("");
  application.noStringResult = boolAt(object, path, "noStringResult").value_or(false);
  if (const auto delay = numberAt(object, path, "delaySeconds")) {
    if (!(*delay >= 0.0) || *delay > 1e9) {
      fail(path + ".delaySeconds", "expected a number of seconds from 0");
    }
    application.delaySeconds = *delay;
  }
  return application;
}

}  // namespace

SimulatedScripting::SimulatedScripting(TimerScheduler& timers, FaultInjector& faults)
    : timers_(timers), faults_(faults) {}

SimulatedScripting& SimulatedScripting::setApplication(Application application) {
  const std::lock_guard lock(mutex_);
  const std::string key = asciiLowercase(application.bundleID);
  const auto found = std::find_if(applications_.begin(), applications_.end(),
                                  [&](const Application& known) { return asciiLowercase(known.bundleID) == key; });
  if (found != applications_.end()) {
    *found = std::move(application);
  } else {
    applications_.push_back(std::move(application));
  }
  return *this;
}

SimulatedScripting& SimulatedScripting::removeApplication(std::string_view bundleID) {
  const std::lock_guard lock(mutex_);
  const std::string key = asciiLowercase(bundleID);
  std::erase_if(applications_, [&](const Application& known) { return asciiLowercase(known.bundleID) == key; });
  return *this;
}

SimulatedScripting& SimulatedScripting::refuseCompile(bool refuse) {
  const std::lock_guard lock(mutex_);
  refuseCompile_ = refuse;
  return *this;
}

void SimulatedScripting::holdScripts() {
  const std::lock_guard lock(mutex_);
  held_ = true;
}

void SimulatedScripting::releaseScripts() {
  {
    const std::lock_guard lock(mutex_);
    held_ = false;
    ++releases_;
  }
  changed_.notify_all();
}

bool SimulatedScripting::waitForWaitingScripts(std::size_t count) {
  std::unique_lock lock(mutex_);
  return changed_.wait_for(lock, std::chrono::seconds(10), [&] { return waiting_ >= count; });
}

std::vector<SimulatedScripting::RanScript> SimulatedScripting::ranScripts() const {
  const std::lock_guard lock(mutex_);
  return ran_;
}

void SimulatedScripting::loadScenario(const nlohmann::json& section) {
  const std::string path = "scripting";
  expectObject(section, path, {"refuseCompile", "applications"});
  std::vector<Application> applications;
  if (const Json* list = member(section, "applications")) {
    if (!list->is_array()) {
      fail(path + ".applications", "expected an array");
    }
    for (std::size_t index = 0; index < list->size(); ++index) {
      applications.push_back(loadApplication((*list)[index], path + ".applications[" + std::to_string(index) + "]"));
    }
  }
  const bool refuse = boolAt(section, path, "refuseCompile").value_or(false);
  // Applied only once the whole section has been read, so a faulty scenario changes nothing.
  refuseCompile(refuse);
  for (Application& application : applications) {
    setApplication(std::move(application));
  }
}

std::pair<SimulatedScripting::ScriptKind, std::optional<std::string>> SimulatedScripting::recognise(
    std::string_view source) {
  if (source == finderFrontFolderScript) {
    return {ScriptKind::finderFrontFolder, "com.apple.finder"};
  }
  if (source == finderWindowCountScript) {
    return {ScriptKind::finderWindowCount, "com.apple.finder"};
  }
  if (auto bundle = bundleBetween(source, chromiumModePrefix, chromiumModeSuffix)) {
    return {ScriptKind::chromiumWindowMode, std::move(bundle)};
  }
  if (auto bundle = bundleBetween(source, chromiumProbePrefix, chromiumProbeSuffix)) {
    return {ScriptKind::chromiumProbe, std::move(bundle)};
  }
  return {ScriptKind::unrecognised, std::nullopt};
}

ScriptRunOutcome SimulatedScripting::run(std::string_view source) {
  auto [kind, bundleID] = recognise(source);

  bool compileRefused = false;
  {
    const std::lock_guard lock(mutex_);
    compileRefused = refuseCompile_;
  }
  compileRefused = faults_.take("scripting.compile").has_value() || compileRefused;

  ScriptRunOutcome outcome;
  if (compileRefused) {
    outcome = ScriptRunOutcome::creationFailure("The script could not be compiled.");
  } else {
    waitWhileHeld();
    std::optional<Application> application;
    if (bundleID) {
      const std::lock_guard lock(mutex_);
      const std::string key = asciiLowercase(*bundleID);
      const auto found = std::find_if(applications_.begin(), applications_.end(),
                                      [&](const Application& known) { return asciiLowercase(known.bundleID) == key; });
      if (found != applications_.end()) {
        application = *found;
      }
    }
    const double timeout = scriptTimeout(kind);
    const double delay = application ? application->delaySeconds : 0.0;
    if (delay > 0.0) {
      waitFor(std::min(delay, timeout));
    }
    if (kind == ScriptKind::unrecognised) {
      outcome = ScriptRunOutcome::failure(unknownScript, "The simulated scripting engine does not know this script.");
    } else if (delay > timeout) {
      outcome = ScriptRunOutcome::failure(ScriptErrorNumber::timedOut, "AppleEvent timed out.");
    } else if (const auto fault = faults_.take("scripting.run")) {
      outcome = *fault == FaultKind::empty ? ScriptRunOutcome::success(std::nullopt)
                                           : ScriptRunOutcome::failure(std::nullopt, "The script failed.");
    } else {
      outcome = answer(kind, application ? &*application : nullptr);
    }
  }

  {
    const std::lock_guard lock(mutex_);
    ran_.push_back({.source = std::string(source), .kind = kind, .bundleID = bundleID, .outcome = outcome});
  }
  return outcome;
}

ScriptRunOutcome SimulatedScripting::answer(ScriptKind kind, const Application* application) const {
  if (application == nullptr) {
    return ScriptRunOutcome::failure(ScriptErrorNumber::applicationNotRunning, "Application isn't running.");
  }
  if (application->errorNumber) {
    return ScriptRunOutcome::failure(application->errorNumber, application->errorMessage);
  }
  if (application->noStringResult) {
    return ScriptRunOutcome::success(std::nullopt);
  }
  const bool noWindows = application->windowCount == 0;
  switch (kind) {
    case ScriptKind::chromiumWindowMode:
      return ScriptRunOutcome::success(noWindows ? "unknown" : application->frontWindowMode);
    case ScriptKind::chromiumProbe:
      return ScriptRunOutcome::success(noWindows ? "no-windows" : application->frontWindowMode);
    case ScriptKind::finderWindowCount:
      return ScriptRunOutcome::success(std::to_string(application->windowCount));
    case ScriptKind::finderFrontFolder:
      if (noWindows) {
        return ScriptRunOutcome::success("");
      }
      if (!application->frontFolder) {
        return ScriptRunOutcome::failure(cannotGetObject, "Can't get target of front window.");
      }
      return ScriptRunOutcome::success(*application->frontFolder);
    case ScriptKind::unrecognised:
      break;
  }
  return ScriptRunOutcome::failure(unknownScript, "The simulated scripting engine does not know this script.");
}

void SimulatedScripting::waitWhileHeld() {
  std::unique_lock lock(mutex_);
  if (!held_) {
    return;
  }
  const std::uint64_t release = releases_;
  ++waiting_;
  changed_.notify_all();
  changed_.wait(lock, [&] { return releases_ != release; });
  --waiting_;
}

void SimulatedScripting::waitFor(double seconds) {
  struct Gate {
    std::mutex mutex;  // guards done
    std::condition_variable opened;
    bool done = false;
  };
  auto gate = std::make_shared<Gate>();
  // Counted as waiting only once the timer exists, so a test that advances the
  // clock after waitForWaitingScripts() cannot miss it.
  timers_.scheduleAfter(seconds, [gate] {
    {
      const std::lock_guard lock(gate->mutex);
      gate->done = true;
    }
    gate->opened.notify_all();
  });
  {
    const std::lock_guard lock(mutex_);
    ++waiting_;
  }
  changed_.notify_all();
  {
    std::unique_lock lock(gate->mutex);
    gate->opened.wait(lock, [&] { return gate->done; });
  }
  const std::lock_guard lock(mutex_);
  --waiting_;
}

}  // namespace Sablekit
