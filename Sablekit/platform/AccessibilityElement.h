// An opaque handle to one element of another application's accessibility
// tree. Handles are compared only by the backend's identity test, never by
// the address of the handle: the platform hands out a new handle for the same
// element on every read.
#pragma once

#include <cstddef>
#include <memory>
#include <utility>

namespace Sablekit {

// The backend's private picture of an element's identity.
class AccessibilityElementIdentity {
 public:
  virtual ~AccessibilityElementIdentity() = default;

  // The platform's identity test (CFEqual on macOS): true when both stand for
  // the same element. Symmetric; safe from any thread.
  virtual bool equals(const AccessibilityElementIdentity& other) const = 0;

  // Equal for identities that are equal(), so handles can key hash maps.
  virtual std::size_t hash() const = 0;
};

class AccessibilityElement {
 public:
  // A null handle: equal only to other null handles, and every read of it fails.
  AccessibilityElement() = default;
  explicit AccessibilityElement(std::shared_ptr<const AccessibilityElementIdentity> identity)
      : identity_(std::move(identity)) {}

  bool isNull() const { return identity_ == nullptr; }

  // The backend's identity object; null for a null handle. Only the backend
  // that made the handle looks inside.
  const AccessibilityElementIdentity* identity() const { return identity_.get(); }

  friend bool operator==(const AccessibilityElement& left, const AccessibilityElement& right) {
    if (left.identity_ == nullptr || right.identity_ == nullptr) {
      return left.identity_ == right.identity_;
    }
    return left.identity_->equals(*right.identity_);
  }

  std::size_t hash() const { return identity_ ? identity_->hash() : 0; }

 private:
  std::shared_ptr<const AccessibilityElementIdentity> identity_;
};

struct AccessibilityElementHash {
  std::size_t operator()(const AccessibilityElement& element) const noexcept { return element.hash(); }
};

}  // namespace Sablekit
