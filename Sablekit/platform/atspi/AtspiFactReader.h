// Reading elements' facts from their applications: the calls of one element
// go out together (one wave for the Accessible interface, one for what its
// other interfaces add), and the facts are kept for a moment so that the
// several reads a walker makes of one element cost one fetch.
#pragma once

#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "Sablekit/platform/AccessibilityElement.h"
#include "Sablekit/platform/Clock.h"
#include "Sablekit/platform/atspi/AtspiApplications.h"
#include "Sablekit/platform/atspi/AtspiConnection.h"
#include "Sablekit/platform/atspi/AtspiElementFacts.h"
#include "Sablekit/platform/atspi/AtspiElementIdentity.h"

namespace Sablekit {

class AtspiFactReader {
 public:
  // Facts are reused for this long (monotonic seconds). Shorter than the
  // snapshot cache's quiet time before a patch, so a patch never reads facts
  // older than the change that caused it.
  static constexpr double factLifetime = 0.05;
  // An application that let a call time out is not asked again for this long.
  static constexpr double hungHold = 2.0;

  // Everything referred to must outlive the reader.
  AtspiFactReader(AtspiConnection& connection, AtspiApplications& applications, const Clock& clock);

  // The element's facts, with at least the groups in `parts` that its
  // interfaces offer. Absent when its application cannot be reached, is
  // marked hung, or answered none of the core calls. Any thread.
  std::optional<AtspiElementFacts> read(const AtspiElementIdentity& element, std::uint32_t parts);

  // The element's children in their order; absent when the call failed.
  std::optional<std::vector<AccessibilityElement>> children(const AtspiElementIdentity& element);
  // The element's parent; absent when it has none or the call failed.
  std::optional<AccessibilityElement> parent(const AtspiElementIdentity& element);

  // Facts of several elements (of one application) at once, in their order;
  // each absent when it failed.
  std::vector<std::optional<AtspiElementFacts>> readAll(std::span<const AccessibilityElement> elements,
                                                        std::uint32_t parts);

  // Where the element's calls go, after resolving its application and
  // checking it is not marked hung; absent when they cannot go anywhere.
  struct Target {
    GDBusConnectionHandle bus;
    std::string busName;
    double timeout = 0;
  };
  std::optional<Target> target(const AtspiElementIdentity& element);

  // Marks the application hung after a timeout, forgets it once it left the bus.
  void noteFailures(AtspiApplication& application, std::span<const AtspiCall> calls);

  // Handles for (bus name, path) pairs answered by `from`'s application.
  AccessibilityElement elementFor(const AtspiElementIdentity& from,
                                  const std::string& busName,
                                  const std::string& path);

 private:
  struct Kept {
    AtspiElementFacts facts;
    double fetchedAt = 0;
  };
  using Key = std::pair<std::string, std::string>;  // bus name, path

  std::optional<AtspiElementFacts> kept(const Key& key, std::uint32_t parts, double now);
  void keep(const Key& key, const AtspiElementFacts& facts, double now);

  AtspiConnection& connection_;
  AtspiApplications& applications_;
  const Clock& clock_;
  std::mutex mutex_;  // guards kept_
  std::map<Key, Kept> kept_;
};

}  // namespace Sablekit
