// One accessibility notification the observer coordinator received, the kinds
// it sorts notifications into, and the notifications it subscribes to.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "Sablekit/platform/AccessibilityElement.h"

namespace Sablekit {

// How a change may be applied to a cached snapshot.
enum class AccessibilityObservedChangeKind {
  patchable,    // moved or resized in place: the subtree can be re-read at once
  interaction,  // content changed while the user types or selects: re-readable, maybe after a pause
  structural,   // the tree's shape or focus changed: the snapshot cannot be patched
};

// Every notification the coordinator subscribes to, in subscription order.
inline constexpr std::array<std::string_view, 11> observedNotifications{
    "AXFocusedWindowChanged",
    "AXFocusedUIElementChanged",
    "AXWindowCreated",
    "AXUIElementDestroyed",
    "AXValueChanged",
    "AXTitleChanged",
    "AXLayoutChanged",
    "AXSelectedChildrenChanged",
    "AXSelectedTextChanged",
    "AXMoved",
    "AXResized",
};

// The kind of a notification, by exact name; names it does not know are structural.
AccessibilityObservedChangeKind changeKind(std::string_view notification);

struct AccessibilityObservedChange {
  std::uint64_t revision = 0;  // the observation's revision once this change was counted
  AccessibilityElement element;
  std::string notification;
  AccessibilityObservedChangeKind kind = AccessibilityObservedChangeKind::structural;
  double occurredAt = 0.0;  // wall seconds since 1970 when the coordinator received it
};

}  // namespace Sablekit
