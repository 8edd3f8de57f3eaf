// Turns raw accessibility attribute values into the strings reported to the
// parent. Values that have no textual form give no string.
#pragma once

#include <cstddef>
#include <optional>
#include <string>

#include "Sablekit/platform/AccessibilityValue.h"

namespace Sablekit {

// At most this many strings of an array are joined, bounding one attribute's size.
inline constexpr std::size_t maximumSerializedArrayEntries = 100;

// Joins the strings of an array's entries.
inline constexpr const char* serializedArraySeparator = " | ";

// Strings unchanged; booleans "1"/"0"; numbers in decimal (doubles in their
// shortest round-trip form); URLs by absolute string; points, sizes,
// rectangles and ranges as comma-joined numbers; arrays recursively, dropping
// entries without a string, first 100 joined by " | ". Elements, nulls,
// errors and unsupported values give no string.
std::optional<std::string> serialize(const AccessibilityValue& value);

// The shortest decimal text that reads back as the same double, always with
// a fractional digit ("100.0", "200.5"). Exponent forms, infinities and NaN
// are left as the standard library writes them.
std::string formatCoordinate(double value);

}  // namespace Sablekit
