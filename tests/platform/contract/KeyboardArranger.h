// What the keyboard contract tests ask of a backend's test keyboard: press
// and release keys as a user would, and run the main thread's loop so that
// the listener's calls arrive.
#pragma once

#include <cstdint>
#include <functional>

#include "Sablekit/platform/Keyboard.h"

namespace Sablekit::Testing {

// One keyboard prepared for one test, main thread only.
class KeyboardArranger {
 public:
  virtual ~KeyboardArranger() = default;

  // The keyboard under test; valid as long as the arranger.
  virtual Keyboard& keyboard() = 0;
  // The user presses or releases the key of a platform key code (KeyCode::).
  // Returns once the platform has taken the event.
  virtual void press(std::uint16_t keyCode) = 0;
  virtual void release(std::uint16_t keyCode) = 0;
  // Runs the main thread's loop until `done` holds; false when it does not
  // within a safety period (a hung test, not a result).
  virtual bool deliverUntil(const std::function<bool()>& done) = 0;
  // Runs the main thread's loop until whatever was on its way has arrived.
  virtual void settle() = 0;
};

}  // namespace Sablekit::Testing
