// What was done to switch on an application's accessibility for a capture.
#pragma once

#include "Sablekit/common/RawValue.h"
#include "Sablekit/protocol/JsonCodec.h"

namespace Sablekit {

// The technique an application needs before it exposes its accessibility tree.
enum class AccessibilityWakeKind { none, electron, gecko, appleWebKit };

template <>
struct RawValues<AccessibilityWakeKind> {
  using E = AccessibilityWakeKind;
  static constexpr std::array<std::pair<E, std::string_view>, 4> cases{{
      {E::none, "none"},
      {E::electron, "electron"},
      {E::gecko, "gecko"},
      {E::appleWebKit, "appleWebKit"},
  }};
};

struct AccessibilityWakeResult {
  AccessibilityWakeKind kind = AccessibilityWakeKind::none;
  bool attempted = false;  // the attribute was set during this call
  bool succeeded = false;  // the application is considered awake
  bool cached = false;     // the answer comes from an earlier attempt

  bool operator==(const AccessibilityWakeResult&) const = default;
};

void to_json(JsonCodec::Value& json, const AccessibilityWakeResult& result);

}  // namespace Sablekit
