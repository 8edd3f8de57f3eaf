// The one table between AT-SPI and the services' accessibility vocabulary:
// roles, the attributes read from an element's facts, which elements are
// concealed (secure fields), and which AT-SPI events stand for which
// notification. docs/platform-atspi.md documents every row.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "Sablekit/platform/AccessibilityValue.h"
#include "Sablekit/platform/atspi/AtspiElementFacts.h"

namespace Sablekit {

struct AtspiRoleMapping {
  std::uint32_t role = 0;      // AtspiRole
  std::string_view roleName;   // AT-SPI's own name of the role, reported as "AXRoleDescription"
  std::string_view axRole;     // "AXRole"
  std::string_view axSubrole;  // "AXSubrole"; empty for none
};

// One AT-SPI event that stands for a notification. `detail` empty matches
// any detail; otherwise the event's detail must be it, or start with it and a
// colon ("insert" matches "insert:system"). `detail1` below 0 matches any.
struct AtspiEventMapping {
  std::string_view interface;  // D-Bus interface of the signal
  std::string_view member;     // signal name
  std::string_view detail;
  int detail1 = -1;
  std::string_view notification;   // the notification it is delivered as
  std::string_view registryEvent;  // what the registry is asked to have applications send
};

class AtspiVocabulary {
 public:
  // The mapping of a role; a role outside the table maps to "AXUnknown" with no name.
  static const AtspiRoleMapping& role(std::uint32_t role);
  static std::span<const AtspiRoleMapping> roles();

  // A password field, or an element its toolkit marks as concealed: its text
  // is never fetched, and it reads as "AXSecureTextField".
  static bool isConcealed(const AtspiElementFacts& facts);

  // The fact groups (AtspiFactPart) that reading the attribute needs; 0 for
  // a name the table does not answer from facts.
  static std::uint32_t partsFor(std::string_view attribute);
  // The names the table answers from facts, in table order.
  static std::vector<std::string_view> attributeNames();

  // The attribute's value from the facts; absent when the element has none.
  // Screen coordinates are moved so that `screenOrigin` becomes (0, 0).
  static std::optional<AccessibilityValue> value(const AtspiElementFacts& facts,
                                                 std::string_view attribute,
                                                 AccessibilityPoint screenOrigin = {});

  static std::span<const AtspiEventMapping> events();
  // The notifications an event stands for, in table order.
  static std::vector<std::string_view> notificationsFor(std::string_view interface,
                                                        std::string_view member,
                                                        std::string_view detail,
                                                        int detail1);
  // The registry events that make applications send what a notification needs.
  static std::vector<std::string_view> registryEventsFor(std::string_view notification);
};

}  // namespace Sablekit
