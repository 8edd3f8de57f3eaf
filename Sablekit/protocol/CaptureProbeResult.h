// The description of one capture: the answer to "capture.probe" and the
// `capture` member of a frame.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "Sablekit/protocol/AccessibilityWakeResult.h"
#include "Sablekit/protocol/ContextStatuses.h"
#include "Sablekit/protocol/JsonCodec.h"
#include "Sablekit/protocol/VisibleWindowResult.h"

namespace Sablekit {

struct CaptureProbeResult {
  std::int64_t capturedAtMilliseconds = 0;
  std::uint32_t displayID = 0;
  std::int64_t width = 0;
  std::int64_t height = 0;
  double displayX = 0;
  double displayY = 0;
  double displayPointWidth = 0;
  double displayPointHeight = 0;
  std::string focusedBundleID;
  std::string focusedWindowTitle;
  std::string focusedApplicationName;
  std::string focusedApplicationVersion;
  std::int32_t focusedProcessID = 0;
  std::uint32_t focusedWindowID = 0;
  // The pointer as the platform reports it: origin at the lower-left corner of
  // the primary display, y growing upwards.
  double mouseX = 0;
  double mouseY = 0;
  bool inactive = false;
  std::int64_t visibleWindowCount = 0;
  std::int64_t excludedWindowCount = 0;
  bool pixelDataRetained = false;
  std::string contextLevel;  // "enriched" or "identityOnly"
  std::optional<std::string> contextURL;
  std::optional<std::string> normalizedDomain;
  // The three browser members are present together or absent together.
  std::optional<BrowserReadStatus> browserReadStatus;
  std::optional<BrowserPrivacyVerdict> browserPrivacy;
  std::optional<bool> browserPrivacyAuthoritative;
  std::optional<FinderReadStatus> finderReadStatus;
  AccessibilityWakeResult accessibilityWake;
  std::vector<VisibleWindowResult> windows;

  bool operator==(const CaptureProbeResult&) const = default;
};

// Throws JsonCodec::EncodingError for a non-finite number anywhere inside.
void to_json(JsonCodec::Value& json, const CaptureProbeResult& result);

}  // namespace Sablekit
