// The identity of an AT-SPI element: its application (bus name) and its
// object path. Handles for the application element of a process start
// without a bus name and resolve on first use.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "Sablekit/platform/AccessibilityElement.h"
#include "Sablekit/platform/atspi/AtspiApplication.h"

namespace Sablekit {

inline constexpr const char* atspiRootPath = "/org/a11y/atspi/accessible/root";
inline constexpr const char* atspiNullPath = "/org/a11y/atspi/null";

class AtspiElementIdentity final : public AccessibilityElementIdentity {
 public:
  AtspiElementIdentity(std::shared_ptr<AtspiApplication> application, std::string path)
      : application_(std::move(application)), path_(std::move(path)) {}

  bool equals(const AccessibilityElementIdentity& other) const override {
    const auto* theirs = dynamic_cast<const AtspiElementIdentity*>(&other);
    return theirs != nullptr && path_ == theirs->path_ && application_->sameAs(*theirs->application_);
  }
  // The path alone: equal identities share it, and it does not change when
  // an application handle resolves.
  std::size_t hash() const override { return std::hash<std::string>()(path_); }

  const std::shared_ptr<AtspiApplication>& application() const { return application_; }
  const std::string& path() const { return path_; }
  bool isApplicationRoot() const { return path_ == atspiRootPath; }

  // The identity behind a handle this backend made; null for others.
  static const AtspiElementIdentity* of(const AccessibilityElement& element) {
    return dynamic_cast<const AtspiElementIdentity*>(element.identity());
  }
  static AccessibilityElement element(std::shared_ptr<AtspiApplication> application, std::string path) {
    return AccessibilityElement(std::make_shared<AtspiElementIdentity>(std::move(application), std::move(path)));
  }

 private:
  std::shared_ptr<AtspiApplication> application_;
  std::string path_;
};

}  // namespace Sablekit
