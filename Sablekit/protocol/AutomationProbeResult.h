// The answer to "automation.probe".
#pragma once

#include <optional>
#include <string>

#include "Sablekit/common/RawValue.h"
#include "Sablekit/protocol/JsonCodec.h"

namespace Sablekit {

enum class AutomationProbeTarget { browser, finder };
enum class AutomationProbeStatus { operational, denied, failed, notRunning, unsupported, busy };

template <>
struct RawValues<AutomationProbeTarget> {
  using E = AutomationProbeTarget;
  static constexpr std::array<std::pair<E, std::string_view>, 2> cases{
      {{E::browser, "browser"}, {E::finder, "finder"}}};
};

template <>
struct RawValues<AutomationProbeStatus> {
  using E = AutomationProbeStatus;
  static constexpr std::array<std::pair<E, std::string_view>, 6> cases{{
      {E::operational, "operational"},
      {E::denied, "denied"},
      {E::failed, "failed"},
      {E::notRunning, "notRunning"},
      {E::unsupported, "unsupported"},
      {E::busy, "busy"},
  }};
};

struct AutomationProbeResult {
  AutomationProbeTarget target = AutomationProbeTarget::browser;
  AutomationProbeStatus status = AutomationProbeStatus::failed;
  std::optional<std::string> bundleID;
  std::optional<std::string> applicationName;
  std::string message;

  // The answer when the request names no valid target (the request still succeeds).
  static AutomationProbeResult invalidTarget();

  static AutomationProbeResult decode(const JsonCodec::Value& value, const std::string& path = "");
  bool operator==(const AutomationProbeResult&) const = default;
};

void to_json(JsonCodec::Value& json, const AutomationProbeResult& result);

}  // namespace Sablekit
