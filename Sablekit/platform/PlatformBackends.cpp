// The table of backends compiled into this build, default first.
#include "Sablekit/platform/PlatformBackends.h"

#include <algorithm>
#include <array>

#include "Sablekit/platform/simulated/SimulatedDesktop.h"
#if SABLEKIT_WITH_X11
#include "Sablekit/platform/x11/X11Desktop.h"
#endif

namespace Sablekit {

namespace {

std::unique_ptr<Platform> createSimulatedDemo() {
  return SimulatedDesktop::demo();
}

#if SABLEKIT_WITH_X11
std::unique_ptr<Platform> createX11Desktop() {
  return std::make_unique<X11Desktop>();
}
#endif

constexpr std::array compiledIn {
#if SABLEKIT_WITH_X11
  PlatformBackend{"x11", "the X11 session named by $DISPLAY", createX11Desktop},
#endif
      PlatformBackend{"simulated", "deterministic simulated desktop (built-in demo)", createSimulatedDemo},
};

constexpr auto defaultPosition = std::find_if(compiledIn.begin(), compiledIn.end(), [](const PlatformBackend& backend) {
  return backend.name == std::string_view(SABLEKIT_DEFAULT_PLATFORM);
});
static_assert(defaultPosition != compiledIn.end(), "the default platform must be compiled in");

// The same table with the default moved to the front.
constexpr auto backends = [] {
  auto table = compiledIn;
  const auto position = table.begin() + (defaultPosition - compiledIn.begin());
  std::rotate(table.begin(), position, position + 1);
  return table;
}();

}  // namespace

std::span<const PlatformBackend> platformBackends() {
  return backends;
}

std::unique_ptr<Platform> createDefaultPlatform() {
  return backends.front().create();
}

}  // namespace Sablekit
