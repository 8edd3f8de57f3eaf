#include "Sablekit/platform/PlatformBackends.h"

#include <array>

#include "Sablekit/platform/simulated/SimulatedDesktop.h"

namespace Sablekit {

namespace {

std::unique_ptr<Platform> createSimulatedDemo() {
  return SimulatedDesktop::demo();
}

constexpr std::array backends{
    PlatformBackend{"simulated", "deterministic simulated desktop (built-in demo)", createSimulatedDemo},
};

static_assert(std::string_view(SABLEKIT_DEFAULT_PLATFORM) == backends[0].name,
              "the default platform must be compiled in and listed first");

}  // namespace

std::span<const PlatformBackend> platformBackends() {
  return backends;
}

std::unique_ptr<Platform> createDefaultPlatform() {
  return backends.front().create();
}

}  // namespace Sablekit
