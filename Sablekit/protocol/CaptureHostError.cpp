#include "Sablekit/protocol/CaptureHostError.h"

namespace Sablekit {

CaptureHostError::CaptureHostError(Code code, std::string text, std::int64_t count)
    : code_(code), text_(std::move(text)), count_(count), what_(payload().message) {}

HostErrorPayload CaptureHostError::payload() const {
  std::string message;
  bool retryable = true;
  switch (code_) {
    case Code::invalidRequest:
      message = text_;
      retryable = false;
      break;
    case Code::focusedApplicationExcluded:
      message = "The focused application is protected by policy: " + text_;
      retryable = false;
      break;
    case Code::focusedWindowExcluded:
      message = "The focused window is excluded from capture: " + text_;
      retryable = false;
      break;
    case Code::browserContextUnavailable:
      message = "Browser privacy context is unreadable for: " + text_;
      break;
    case Code::privateBrowserWindow:
      message = "The focused browser window is private: " + text_;
      retryable = false;
      break;
    case Code::excludedDomain:
      message = "The focused browser domain is excluded: " + text_;
      retryable = false;
      break;
    case Code::unmatchedExclusion:
      message = std::to_string(count_) + " excluded window identifiers were absent from ScreenCaptureKit";
      break;
    case Code::captureFailed:
      message = text_;
      break;
    case Code::permissionDenied:
      message = "Screen Recording permission is not available";
      break;
    case Code::noShareableDisplay:
      message = "ScreenCaptureKit returned no usable display";
      break;
    case Code::noEligibleWindow:
      message = "No eligible application window was found";
      break;
    case Code::captureContextChanged:
      message = "The display, focused window, or exclusion set changed during capture";
      break;
    case Code::noAllowedContent:
      message = "Privacy filtering left no allowed capture content";
      break;
    case Code::imageEncodingFailed:
      message = "The captured image could not be encoded";
      break;
  }
  return HostErrorPayload{std::string(rawValue(code_)), std::move(message), retryable};
}

}  // namespace Sablekit
