// The running applications, which one is in front, where the pointer is, and
// when the user switches desktops.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "Sablekit/platform/Geometry.h"

namespace Sablekit {

struct RunningApplication {
  std::int32_t processID = 0;
  std::optional<std::string> bundleID;  // as the platform reports it, not normalised
  std::optional<std::string> localizedName;
  // The two version keys of the application's bundle, each absent when the
  // key is missing, is not a string, or the bundle cannot be read.
  std::optional<std::string> shortVersionString;  // "CFBundleShortVersionString"
  std::optional<std::string> bundleVersion;       // "CFBundleVersion"
  bool operator==(const RunningApplication&) const = default;
};

// Keeps a notification registration alive; destroying it unregisters, and no
// call of the handler starts after the destructor returns.
class Subscription {
 public:
  virtual ~Subscription() = default;
};

class Workspace {
 public:
  virtual ~Workspace() = default;

  // Every running application, in the order the system gives. Main thread.
  virtual std::vector<RunningApplication> runningApplications() = 0;

  // The running application of one process; absent when the process has none.
  virtual std::optional<RunningApplication> application(std::int32_t processID) = 0;

  // The process of the application the system reports as frontmost; absent when none.
  virtual std::optional<std::int32_t> frontmostProcessID() = 0;

  // Where the pointer is, in global points like window bounds (origin at the
  // main display's top-left corner, y growing downwards); absent when the
  // platform cannot tell (a Wayland client is never told). Main thread.
  virtual std::optional<Point> pointerLocation() = 0;

  // Calls `handler` after every switch of the visible desktop, on a thread of
  // the platform's choosing (callers hop to their own loop) until the
  // returned subscription is destroyed.
  virtual std::unique_ptr<Subscription> observeDesktopChanges(std::function<void()> handler) = 0;
};

}  // namespace Sablekit
