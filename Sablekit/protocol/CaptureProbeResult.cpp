#include "Sablekit/protocol/CaptureProbeResult.h"

namespace Sablekit {

void to_json(JsonCodec::Value& json, const AccessibilityWakeResult& result) {
  json = JsonCodec::Value::object();
  json["kind"] = JsonCodec::enumeration(result.kind);
  json["attempted"] = result.attempted;
  json["succeeded"] = result.succeeded;
  json["cached"] = result.cached;
}

void to_json(JsonCodec::Value& out, const VisibleWindowResult& window) {
  // Built locally and moved out at the end: a converting constructor that
  // throws half-way (a non-finite number) would otherwise leak the object.
  JsonCodec::Value json = JsonCodec::Value::object();
  json["windowID"] = window.windowID;
  json["bundleID"] = window.bundleID;
  json["applicationName"] = window.applicationName;
  json["applicationVersion"] = window.applicationVersion;
  json["title"] = window.title;
  json["layer"] = window.layer;
  json["x"] = JsonCodec::number(window.x);
  json["y"] = JsonCodec::number(window.y);
  json["width"] = JsonCodec::number(window.width);
  json["height"] = JsonCodec::number(window.height);
  json["focused"] = window.focused;
  out = std::move(json);
}

void to_json(JsonCodec::Value& out, const CaptureProbeResult& result) {
  using JsonCodec::number;
  // Built locally and moved out at the end: a converting constructor that
  // throws half-way (a non-finite number) would otherwise leak the object.
  JsonCodec::Value json = JsonCodec::Value::object();
  json["capturedAtMilliseconds"] = result.capturedAtMilliseconds;
  json["displayID"] = result.displayID;
  json["width"] = result.width;
  json["height"] = result.height;
  json["displayX"] = number(result.displayX);
  json["displayY"] = number(result.displayY);
  json["displayPointWidth"] = number(result.displayPointWidth);
  json["displayPointHeight"] = number(result.displayPointHeight);
  json["focusedBundleID"] = result.focusedBundleID;
  json["focusedWindowTitle"] = result.focusedWindowTitle;
  json["focusedApplicationName"] = result.focusedApplicationName;
  json["focusedApplicationVersion"] = result.focusedApplicationVersion;
  json["focusedProcessID"] = result.focusedProcessID;
  json["focusedWindowID"] = result.focusedWindowID;
  json["mouseX"] = number(result.mouseX);
  json["mouseY"] = number(result.mouseY);
  json["inactive"] = result.inactive;
  json["visibleWindowCount"] = result.visibleWindowCount;
  json["excludedWindowCount"] = result.excludedWindowCount;
  // A capture with an excluded window the platform does not list is refused,
  // so a result never has one; the key stays for the parent.
  json["unmatchedExcludedWindowCount"] = 0;
  json["pixelDataRetained"] = result.pixelDataRetained;
  json["contextLevel"] = result.contextLevel;
  JsonCodec::putIfPresent(json, "contextURL", result.contextURL);
  JsonCodec::putIfPresent(json, "normalizedDomain", result.normalizedDomain);
  JsonCodec::putIfPresent(json, "browserReadStatus", result.browserReadStatus);
  JsonCodec::putIfPresent(json, "browserPrivacy", result.browserPrivacy);
  JsonCodec::putIfPresent(json, "browserPrivacyAuthoritative", result.browserPrivacyAuthoritative);
  JsonCodec::putIfPresent(json, "finderReadStatus", result.finderReadStatus);
  json["accessibilityWake"] = result.accessibilityWake;
  json["windows"] = result.windows;
  out = std::move(json);
}

}  // namespace Sablekit
