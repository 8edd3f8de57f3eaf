// What the AT-SPI backend knows about one element after asking its
// application: the plain facts of the Accessible, Component, Text, Value and
// Document interfaces, before they are put in the services' vocabulary.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace Sablekit {

// The interfaces an element implements, as bits (from its interface names).
enum AtspiInterface : std::uint32_t {
  atspiAccessible = 1U << 0,
  atspiApplication = 1U << 1,
  atspiComponent = 1U << 2,
  atspiText = 1U << 3,
  atspiEditableText = 1U << 4,
  atspiValue = 1U << 5,
  atspiDocument = 1U << 6,
  atspiHypertext = 1U << 7,
  atspiAction = 1U << 8,
  atspiSelection = 1U << 9,
  atspiTable = 1U << 10,
  atspiImage = 1U << 11,
  atspiCollection = 1U << 12,
};

// Which groups of facts a reading needs; each group is fetched only from an
// element that implements its interface.
enum AtspiFactPart : std::uint32_t {
  atspiCorePart = 1U << 0,      // role, name, description, states, interfaces, attributes, identifier, children
  atspiExtentsPart = 1U << 1,   // Component: extents on the screen
  atspiTextPart = 1U << 2,      // Text: the whole text, the first selection and the caret
  atspiValuePart = 1U << 3,     // Value: current, minimum, maximum, increment
  atspiDocumentPart = 1U << 4,  // Document: the document's attributes (its address)
  atspiAllParts = atspiCorePart | atspiExtentsPart | atspiTextPart | atspiValuePart | atspiDocumentPart,
};

struct AtspiExtents {
  std::int32_t x = 0;
  std::int32_t y = 0;
  std::int32_t width = 0;
  std::int32_t height = 0;
};

struct AtspiValueFacts {
  double current = 0;
  double minimum = 0;
  double maximum = 0;
  double increment = 0;
};

struct AtspiElementFacts {
  std::uint32_t parts = 0;  // the AtspiFactPart groups that were fetched (asked and answered)

  // Core.
  std::uint32_t role = 0;  // AtspiRole
  std::string name;
  std::string description;
  std::string helpText;
  std::string accessibleID;
  std::uint64_t states = 0;  // bit n set for AtspiStateType n
  std::uint32_t interfaces = 0;
  std::int32_t childCount = 0;
  std::map<std::string, std::string> attributes;
  // (bus name, object path) of each child, in order; absent when the call failed.
  std::optional<std::vector<std::pair<std::string, std::string>>> children;

  std::optional<AtspiExtents> extents;
  // Never fetched for a concealed element.
  std::optional<std::string> text;
  std::optional<std::pair<std::int32_t, std::int32_t>> selection;  // character offsets, start before end
  std::optional<std::int32_t> caret;
  std::optional<AtspiValueFacts> value;
  std::optional<std::map<std::string, std::string>> documentAttributes;

  bool has(std::uint32_t state) const { return state < 64 && (states & (std::uint64_t{1} << state)) != 0; }
  bool implements(std::uint32_t interface) const { return (interfaces & interface) != 0; }
};

}  // namespace Sablekit
