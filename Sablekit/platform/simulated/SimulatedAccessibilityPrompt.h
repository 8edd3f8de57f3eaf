// An Accessibility prompt that shows nothing and only counts how often it was
// asked for, so tests can tell whether the host asked.
#pragma once

#include "Sablekit/platform/AccessibilityPrompt.h"

namespace Sablekit {

class SimulatedAccessibilityPrompt final : public AccessibilityPrompt {
 public:
  // Never changes any trust: a real user answers the dialog long after.
  void promptIfNotTrusted() override { ++promptCount_; }

  int promptCount() const { return promptCount_; }

 private:
  int promptCount_ = 0;
};

}  // namespace Sablekit
