// The one failure type of the capture side. Operations throw it; the request
// loop turns it into the response's error payload.
#pragma once

#include <cstdint>
#include <exception>
#include <string>

#include "Sablekit/common/RawValue.h"
#include "Sablekit/protocol/HostErrorPayload.h"

namespace Sablekit {

class CaptureHostError final : public std::exception {
 public:
  enum class Code {
    invalidRequest,
    focusedApplicationExcluded,
    focusedWindowExcluded,
    browserContextUnavailable,
    privateBrowserWindow,
    excludedDomain,
    unmatchedExclusion,
    captureFailed,
    permissionDenied,
    noShareableDisplay,
    noEligibleWindow,
    captureContextChanged,
    noAllowedContent,
    imageEncodingFailed,
  };

  static CaptureHostError invalidRequest(std::string text) { return {Code::invalidRequest, std::move(text)}; }
  static CaptureHostError focusedApplicationExcluded(std::string text) {
    return {Code::focusedApplicationExcluded, std::move(text)};
  }
  static CaptureHostError focusedWindowExcluded(std::string text) {
    return {Code::focusedWindowExcluded, std::move(text)};
  }
  static CaptureHostError browserContextUnavailable(std::string text) {
    return {Code::browserContextUnavailable, std::move(text)};
  }
  static CaptureHostError privateBrowserWindow(std::string text) {
    return {Code::privateBrowserWindow, std::move(text)};
  }
  static CaptureHostError excludedDomain(std::string text) { return {Code::excludedDomain, std::move(text)}; }
  static CaptureHostError unmatchedExclusion(std::int64_t count) { return {Code::unmatchedExclusion, {}, count}; }
  static CaptureHostError captureFailed(std::string text) { return {Code::captureFailed, std::move(text)}; }
  static CaptureHostError permissionDenied() { return {Code::permissionDenied}; }
  static CaptureHostError noShareableDisplay() { return {Code::noShareableDisplay}; }
  static CaptureHostError noEligibleWindow() { return {Code::noEligibleWindow}; }
  static CaptureHostError captureContextChanged() { return {Code::captureContextChanged}; }
  static CaptureHostError noAllowedContent() { return {Code::noAllowedContent}; }
  static CaptureHostError imageEncodingFailed() { return {Code::imageEncodingFailed}; }

  Code code() const { return code_; }
  // The carried text, empty for cases that carry none.
  const std::string& text() const { return text_; }
  // The carried count of unmatchedExclusion, 0 otherwise.
  std::int64_t count() const { return count_; }

  // The wire form of this error. Pure; never fails.
  HostErrorPayload payload() const;
  const char* what() const noexcept override { return what_.c_str(); }

 private:
  CaptureHostError(Code code, std::string text = {}, std::int64_t count = 0);

  Code code_;
  std::string text_;
  std::int64_t count_;
  std::string what_;
};

template <>
struct RawValues<CaptureHostError::Code> {
  using C = CaptureHostError::Code;
  static constexpr std::array<std::pair<C, std::string_view>, 14> cases{{
      {C::invalidRequest, "invalidRequest"},
      {C::focusedApplicationExcluded, "focusedApplicationExcluded"},
      {C::focusedWindowExcluded, "focusedWindowExcluded"},
      {C::browserContextUnavailable, "browserContextUnavailable"},
      {C::privateBrowserWindow, "privateBrowserWindow"},
      {C::excludedDomain, "excludedDomain"},
      {C::unmatchedExclusion, "unmatchedExclusion"},
      {C::captureFailed, "captureFailed"},
      {C::permissionDenied, "permissionDenied"},
      {C::noShareableDisplay, "noShareableDisplay"},
      {C::noEligibleWindow, "noEligibleWindow"},
      {C::captureContextChanged, "captureContextChanged"},
      {C::noAllowedContent, "noAllowedContent"},
      {C::imageEncodingFailed, "imageEncodingFailed"},
  }};
};

}  // namespace Sablekit
