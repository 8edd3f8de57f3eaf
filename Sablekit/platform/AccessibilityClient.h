// Reading and setting attributes of other applications' accessibility
// elements. Every failure the platform can report (an error code, a missing
// value, no answer within the messaging timeout) reaches the caller as an
// absent answer or an error slot; nothing here throws.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "Sablekit/platform/AccessibilityValue.h"
#include "Sablekit/platform/AccessibilityElement.h"

namespace Sablekit {

// Every operation may be called from the main thread and from worker threads
// at the same time. A call on an element of an application that does not
// answer blocks the calling thread for up to the messaging timeout in force
// for that element (the platform's default until setMessagingTimeout), then
// fails. The trust check lives in PermissionChecks::accessibilityTrusted();
// on the real platform every call of an untrusted process fails.
class AccessibilityClient {
 public:
  virtual ~AccessibilityClient() = default;

  // The application element of a process. Never fails and does not talk to
  // the application: a process that does not exist (or has no accessibility)
  // gives a handle whose reads fail.
  virtual AccessibilityElement applicationElement(std::int32_t processID) = 0;

  // Reads several attributes in one call, one slot per name in the order
  // given. A slot whose attribute could not be read holds AccessibilityError
  // (or AccessibilityNull when the element has no value), so one failing
  // attribute does not spoil the others. Absent when the call failed as a
  // whole. Callers must still check the count: a platform that hands back a
  // different number of slots is passed through as is.
  virtual std::optional<std::vector<AccessibilityValue>> readAttributes(const AccessibilityElement& element,
                                                                        std::span<const std::string> names) = 0;

  // Reads one attribute. Absent when the call failed or gave no value; a
  // present value may still be the null object or an error value, as the
  // platform hands them out.
  virtual std::optional<AccessibilityValue> readAttribute(const AccessibilityElement& element,
                                                          const std::string& name) = 0;

  // Sets one attribute; true exactly when the application accepted it
  // (false also when it did not answer in time).
  virtual bool setAttribute(const AccessibilityElement& element,
                            const std::string& name,
                            const AccessibilityValue& value) = 0;

  // How long calls on this element, and on the elements read through it when
  // it is an application element, wait for the application before failing.
  // Seconds, positive.
  virtual void setMessagingTimeout(const AccessibilityElement& element, double seconds) = 0;
};

}  // namespace Sablekit
