// The one failure type of the capture side. Operations throw it; the request
// loop turns it into the response's error payload. Every case is one row of
// a table: its wire code, its message and whether the parent may retry.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <string>
#include <string_view>
#include <utility>

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

  struct Case {
    Code code;
    std::string_view name;     // the wire code: the case's name
    std::string_view message;  // "{}" stands for what the case carries; a case that carries nothing has none
    bool retryable;
  };

  // One row per code, in the order of the codes.
  static constexpr std::array<Case, 14> cases{{
      {Code::invalidRequest, "invalidRequest", "{}", false},
      {Code::focusedApplicationExcluded, "focusedApplicationExcluded",
       "The focused application is protected by policy: {}", false},
      {Code::focusedWindowExcluded, "focusedWindowExcluded", "The focused window is excluded from capture: {}", false},
      {Code::browserContextUnavailable, "browserContextUnavailable", "Browser privacy context is unreadable for: {}",
       true},
      {Code::privateBrowserWindow, "privateBrowserWindow", "The focused browser window is private: {}", false},
      {Code::excludedDomain, "excludedDomain", "The focused browser domain is excluded: {}", false},
      {Code::unmatchedExclusion, "unmatchedExclusion",
       "{} excluded window identifiers were absent from ScreenCaptureKit", true},
      {Code::captureFailed, "captureFailed", "{}", true},
      {Code::permissionDenied, "permissionDenied", "Screen Recording permission is not available", true},
      {Code::noShareableDisplay, "noShareableDisplay", "ScreenCaptureKit returned no usable display", true},
      {Code::noEligibleWindow, "noEligibleWindow", "No eligible application window was found", true},
      {Code::captureContextChanged, "captureContextChanged",
       "The display, focused window, or exclusion set changed during capture", true},
      {Code::noAllowedContent, "noAllowedContent", "Privacy filtering left no allowed capture content", true},
      {Code::imageEncodingFailed, "imageEncodingFailed", "The captured image could not be encoded", true},
  }};

  static constexpr const Case& row(Code code) { return cases[static_cast<std::size_t>(code)]; }

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

  // The case's message with what it carries in place of "{}".
  std::string message() const;

  Code code_;
  std::string text_;
  std::int64_t count_;
  std::string what_;
};

// row(code) indexes the table by code.
static_assert([] {
  for (std::size_t index = 0; index < CaptureHostError::cases.size(); ++index) {
    if (static_cast<std::size_t>(CaptureHostError::cases[index].code) != index) {
      return false;
    }
  }
  return true;
}());

// The wire names come from the table too.
template <>
struct RawValues<CaptureHostError::Code> {
  static constexpr auto cases = [] {
    std::array<std::pair<CaptureHostError::Code, std::string_view>, CaptureHostError::cases.size()> pairs{};
    for (std::size_t index = 0; index < pairs.size(); ++index) {
      pairs[index] = {CaptureHostError::cases[index].code, CaptureHostError::cases[index].name};
    }
    return pairs;
  }();
};

}  // namespace Sablekit
