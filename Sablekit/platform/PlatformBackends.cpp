// The tables of backends compiled into this build, and the rule that picks one.
#include "Sablekit/platform/PlatformBackends.h"

#include <algorithm>
#include <array>

#include "Sablekit/platform/linux/UnavailableAccessibility.h"
#include "Sablekit/platform/simulated/SimulatedDesktop.h"
#if SABLEKIT_WITH_X11
#include "Sablekit/platform/x11/X11Desktop.h"
#endif
#if SABLEKIT_WITH_ATSPI
#include "Sablekit/platform/atspi/AtspiAccessibility.h"
#endif

namespace Sablekit {

namespace {

bool neverReachable(const PlatformContext&) {
  return false;
}

std::unique_ptr<Platform> createSimulatedDemo(const PlatformContext&) {
  return SimulatedDesktop::demo();
}

#if SABLEKIT_WITH_X11
std::string displayName(const PlatformContext& context) {
  return context.environment("DISPLAY").value_or("");
}

bool x11Reachable(const PlatformContext& context) {
  return X11Desktop::reachable(displayName(context));
}

std::unique_ptr<Platform> createX11Desktop(const PlatformContext& context) {
  return std::make_unique<X11Desktop>(context.mainLoop, displayName(context), createAccessibilityBackend(context));
}
#endif

// Desktops, in the order they are tried.
constexpr std::array desktops {
#if SABLEKIT_WITH_X11
  PlatformBackend{"x11", "the X11 session named by $DISPLAY", x11Reachable, createX11Desktop},
#endif
      PlatformBackend{"simulated", "deterministic simulated desktop (built-in demo)", neverReachable,
                      createSimulatedDemo},
};

constexpr auto defaultPosition = std::find_if(desktops.begin(), desktops.end(), [](const PlatformBackend& backend) {
  return backend.name == std::string_view(SABLEKIT_DEFAULT_PLATFORM);
});
static_assert(defaultPosition != desktops.end(), "the default platform must be compiled in");

#if SABLEKIT_WITH_ATSPI
std::string sessionBusAddress(const PlatformContext& context) {
  return context.environment("DBUS_SESSION_BUS_ADDRESS").value_or("");
}

bool atspiReachable(const PlatformContext& context) {
  return AtspiAccessibility::reachable(sessionBusAddress(context));
}

std::unique_ptr<AccessibilityBackend> createAtspi(const PlatformContext& context) {
  return std::make_unique<AtspiAccessibility>(
      AtspiAccessibility::Options{.sessionBusAddress = sessionBusAddress(context)});
}
#endif

// Accessibility clients, in the order they are tried.
#if SABLEKIT_WITH_ATSPI
constexpr std::array accessibilityClients{
    AccessibilityClientBackend{"atspi", "AT-SPI 2 on the accessibility bus of $DBUS_SESSION_BUS_ADDRESS",
                               atspiReachable, createAtspi},
};
#else
constexpr std::array<AccessibilityClientBackend, 0> accessibilityClients{};
#endif

}  // namespace

std::span<const PlatformBackend> platformBackends() {
  return desktops;
}

const PlatformBackend& defaultPlatformBackend() {
  return *defaultPosition;
}

std::span<const AccessibilityClientBackend> accessibilityClientBackends() {
  return accessibilityClients;
}

const PlatformBackend& choosePlatformBackend(std::span<const PlatformBackend> table,
                                             const PlatformBackend& fallback,
                                             const PlatformContext& context) {
  const auto reachable = std::find_if(table.begin(), table.end(),
                                      [&](const PlatformBackend& backend) { return backend.reachable(context); });
  return reachable != table.end() ? *reachable : fallback;
}

const PlatformBackend& choosePlatformBackend(const PlatformContext& context) {
  return choosePlatformBackend(platformBackends(), defaultPlatformBackend(), context);
}

std::unique_ptr<AccessibilityBackend> createAccessibilityBackend(const PlatformContext& context) {
  for (const AccessibilityClientBackend& backend : accessibilityClientBackends()) {
    if (backend.reachable(context)) {
      return backend.create(context);
    }
  }
  return std::make_unique<UnavailableAccessibility>();
}

std::unique_ptr<Platform> createPlatform(const PlatformContext& context) {
  return choosePlatformBackend(context).create(context);
}

}  // namespace Sablekit
