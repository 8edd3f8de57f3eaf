// What a browser's focused window shows, as the capture results carry it.
#pragma once

#include <optional>
#include <string>

#include "Sablekit/protocol/ContextStatuses.h"
#include "Sablekit/protocol/JsonCodec.h"

namespace Sablekit {

struct BrowserContextResult {
  BrowserReadStatus status = BrowserReadStatus::notBrowser;
  // The normalised page address; left out of the JSON when absent.
  std::optional<std::string> pageURL;
  BrowserPrivacyVerdict privacy = BrowserPrivacyVerdict::unknown;
  // The verdict came from the browser's own scripting interface.
  bool authoritativePrivacy = false;

  static BrowserContextResult decode(const JsonCodec::Value& value, const std::string& path = "") {
    const JsonCodec::ObjectReader reader(value, path);
    return BrowserContextResult{
        .status = reader.requiredEnumeration<BrowserReadStatus>("status"),
        .pageURL = reader.optionalString("pageURL"),
        .privacy = reader.requiredEnumeration<BrowserPrivacyVerdict>("privacy"),
        .authoritativePrivacy = reader.requiredBool("authoritativePrivacy"),
    };
  }
  bool operator==(const BrowserContextResult&) const = default;
};

// Kept in the header so that records which nest it need no extra library.
inline void to_json(JsonCodec::Value& json, const BrowserContextResult& result) {
  json = JsonCodec::Value::object();
  json["status"] = JsonCodec::enumeration(result.status);
  JsonCodec::putIfPresent(json, "pageURL", result.pageURL);
  json["privacy"] = JsonCodec::enumeration(result.privacy);
  json["authoritativePrivacy"] = result.authoritativePrivacy;
}

}  // namespace Sablekit
