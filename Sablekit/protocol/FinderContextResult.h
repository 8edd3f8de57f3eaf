// The folder of Finder's front window, as the capture results carry it.
#pragma once

#include <optional>
#include <string>

#include "Sablekit/protocol/ContextStatuses.h"
#include "Sablekit/protocol/JsonCodec.h"

namespace Sablekit {

struct FinderContextResult {
  FinderReadStatus status = FinderReadStatus::failed;
  // The folder as a file URL; present exactly when the status is folderURL.
  std::optional<std::string> folderURL;

  static FinderContextResult decode(const JsonCodec::Value& value, const std::string& path = "") {
    const JsonCodec::ObjectReader reader(value, path);
    return FinderContextResult{
        .status = reader.requiredEnumeration<FinderReadStatus>("status"),
        .folderURL = reader.optionalString("folderURL"),
    };
  }
  bool operator==(const FinderContextResult&) const = default;
};

// Kept in the header so that records which nest it need no extra library.
inline void to_json(JsonCodec::Value& json, const FinderContextResult& result) {
  json = JsonCodec::Value::object();
  json["status"] = JsonCodec::enumeration(result.status);
  JsonCodec::putIfPresent(json, "folderURL", result.folderURL);
}

}  // namespace Sablekit
