// The process environment as the platform reads it.
#include "Sablekit/platform/PlatformContext.h"

#include <cstdlib>

namespace Sablekit {

EnvironmentLookup processEnvironment() {
  return [](std::string_view name) -> std::optional<std::string> {
    const char* value = std::getenv(std::string(name).c_str());
    if (value == nullptr) {
      return std::nullopt;
    }
    return std::string(value);
  };
}

}  // namespace Sablekit
