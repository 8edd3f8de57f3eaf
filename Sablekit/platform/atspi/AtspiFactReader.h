// Reading elements' facts from their applications: the calls of one element
// go out together (one wave for the Accessible interface and the children,
// one for what its other interfaces add); reading an element's children
// fetches the facts of all of them in the same two waves; and facts are kept
// for a moment, so the several reads a walker makes of one element, and the
// visits of its siblings, cost no further round trips.
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
#include "Sablekit/platform/atspi/AtspiAccessibility.h"
#include "Sablekit/platform/atspi/AtspiApplications.h"
#include "Sablekit/platform/atspi/AtspiConnection.h"
#include "Sablekit/platform/atspi/AtspiElementFacts.h"
#include "Sablekit/platform/atspi/AtspiElementIdentity.h"

namespace Sablekit {

class AtspiFactReader {
 public:
  static constexpr double factLifetime = AtspiAccessibility::factLifetime;
  static constexpr double hungHold = AtspiAccessibility::hungHold;

  // Everything referred to must outlive the reader.
  AtspiFactReader(AtspiConnection& connection, AtspiApplications& applications, const Clock& clock);

  // The element's facts, with at least the groups in `parts` that its
  // interfaces offer. Absent when its application cannot be reached, is
  // marked hung, or answered none of the core calls. Any thread.
  std::optional<AtspiElementFacts> read(const AtspiElementIdentity& element, std::uint32_t parts);

  // The element's children in their order; absent when the call failed.
  // Their own facts are fetched too, ready for the reads that follow.
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

  // Drops every kept fact of the application: it sent an event.
  void forgetApplication(const std::string& busName);

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

  // Kept facts younger than factLifetime, whatever groups they hold.
  std::optional<AtspiElementFacts> kept(const Key& key, double now);
  void keep(const Key& key, const AtspiElementFacts& facts, double now);

  AtspiConnection& connection_;
  AtspiApplications& applications_;
  const Clock& clock_;
  std::mutex mutex_;  // guards kept_
  std::map<Key, Kept> kept_;
};

}  // namespace Sablekit
