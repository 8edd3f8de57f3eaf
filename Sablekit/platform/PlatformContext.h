// What a host hands the platform it creates: the loop of its main thread, on
// which the platform delivers what must reach that thread, and the process
// environment in which each backend looks for its session.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "Sablekit/platform/RunLoop.h"

namespace Sablekit {

// Looks up one environment variable; absent when it is not set.
using EnvironmentLookup = std::function<std::optional<std::string>(std::string_view name)>;

// Reads the process environment; safe while nobody changes it.
EnvironmentLookup processEnvironment();

struct PlatformContext {
  // The host's main-thread loop; it must outlive the platform. Services that
  // call back into the host (the keyboard's listener) post those calls here.
  // A host that never runs it (Vistrel) starts none of those services.
  RunLoop& mainLoop;
  // Where a backend reads the names of its session (DISPLAY and the like).
  EnvironmentLookup environment = processEnvironment();
};

}  // namespace Sablekit
