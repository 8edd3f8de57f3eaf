// One visible window inside a capture result.
#pragma once

#include <cstdint>
#include <string>

#include "Sablekit/protocol/JsonCodec.h"

namespace Sablekit {

struct VisibleWindowResult {
  std::uint32_t windowID = 0;
  std::string bundleID;
  std::string applicationName;
  std::string applicationVersion;
  std::string title;
  std::int64_t layer = 0;
  double x = 0;
  double y = 0;
  double width = 0;
  double height = 0;
  bool focused = false;

  bool operator==(const VisibleWindowResult&) const = default;
};

// Throws JsonCodec::EncodingError for a non-finite frame.
void to_json(JsonCodec::Value& json, const VisibleWindowResult& window);

}  // namespace Sablekit
