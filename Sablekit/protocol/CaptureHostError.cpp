// The wire form of a capture failure, made from its row of the table.
#include "Sablekit/protocol/CaptureHostError.h"

namespace Sablekit {

CaptureHostError::CaptureHostError(Code code, std::string text, std::int64_t count)
    : code_(code), text_(std::move(text)), count_(count), what_(message()) {}

std::string CaptureHostError::message() const {
  const std::string_view format = row(code_).message;
  const std::size_t slot = format.find("{}");
  if (slot == std::string_view::npos) {
    return std::string(format);
  }
  // Substituted once, so braces in the carried text stay as they are.
  const std::string carried = code_ == Code::unmatchedExclusion ? std::to_string(count_) : text_;
  std::string result;
  result.reserve(format.size() + carried.size());
  result.append(format.substr(0, slot)).append(carried).append(format.substr(slot + 2));
  return result;
}

HostErrorPayload CaptureHostError::payload() const {
  const Case& entry = row(code_);
  return HostErrorPayload{std::string(entry.name), what_, entry.retryable};
}

}  // namespace Sablekit
