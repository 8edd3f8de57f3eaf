// The table of backends compiled into this build, and the build's default.
// A host picks its platform here; nothing else in the library knows the
// table exists.
#pragma once

#include <memory>
#include <span>
#include <string_view>

#include "Sablekit/platform/Platform.h"

namespace Sablekit {

struct PlatformBackend {
  std::string_view name;
  std::string_view description;
  std::unique_ptr<Platform> (*create)();
};

// Every backend compiled in, default first.
std::span<const PlatformBackend> platformBackends();

// The backend chosen at build time (SABLEKIT_DEFAULT_PLATFORM).
std::unique_ptr<Platform> createDefaultPlatform();

}  // namespace Sablekit
