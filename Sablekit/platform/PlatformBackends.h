// The tables of backends compiled into this build, and the rule that picks
// one at run time. A host creates its platform here; nothing else in the
// library knows the tables exist.
//
// The rule: desktop backends are tried in the order of their table, and the
// first whose session is reachable from the host's environment serves (x11:
// an X server answers at $DISPLAY). When none is reachable, the build's
// default backend (SABLEKIT_DEFAULT_PLATFORM) is created anyway: it then
// shows an empty desktop that refuses every capture. The simulated desktop
// is never reachable, as it models no session; it serves only as the default
// of a build without a real backend. A desktop that has an accessibility
// client is given the first reachable one of the accessibility table, or
// none.
#pragma once

#include <memory>
#include <span>
#include <string_view>

#include "Sablekit/platform/AccessibilityBackend.h"
#include "Sablekit/platform/Platform.h"
#include "Sablekit/platform/PlatformContext.h"

namespace Sablekit {

// One row of the desktop table.
struct PlatformBackend {
  std::string_view name;
  std::string_view description;
  // Whether the session this backend serves can be reached now. Quick and
  // without lasting effects (a connection opened to ask is closed again).
  bool (*reachable)(const PlatformContext& context);
  // The platform, reachable or not; it keeps `context.mainLoop`.
  std::unique_ptr<Platform> (*create)(const PlatformContext& context);
};

// One row of the accessibility table: a client that desktops hand out.
struct AccessibilityClientBackend {
  std::string_view name;
  std::string_view description;
  bool (*reachable)(const PlatformContext& context);  // as for PlatformBackend
  std::unique_ptr<AccessibilityBackend> (*create)(const PlatformContext& context);
};

// Every desktop backend compiled in, in the order the rule tries them.
std::span<const PlatformBackend> platformBackends();
// The build's default (SABLEKIT_DEFAULT_PLATFORM), one of the rows above.
const PlatformBackend& defaultPlatformBackend();
// Every accessibility client compiled in, in the order the rule tries them.
std::span<const AccessibilityClientBackend> accessibilityClientBackends();

// The rule on any table: the first row of `table` reachable from `context`,
// otherwise `fallback`.
const PlatformBackend& choosePlatformBackend(std::span<const PlatformBackend> table,
                                             const PlatformBackend& fallback,
                                             const PlatformContext& context);

// The rule on this build's tables.
const PlatformBackend& choosePlatformBackend(const PlatformContext& context);
std::unique_ptr<AccessibilityBackend> createAccessibilityBackend(const PlatformContext& context);
std::unique_ptr<Platform> createPlatform(const PlatformContext& context);

}  // namespace Sablekit
