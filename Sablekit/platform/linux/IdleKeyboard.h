// A keyboard that cannot be listened to (a desktop that shows no client the
// global keys): every start is refused, so the shortcut host reports that its
// monitor is not installed.
#pragma once

#include "Sablekit/platform/Keyboard.h"

namespace Sablekit {

class IdleKeyboard final : public Keyboard {
 public:
  bool startListening(KeyboardListener&) override { return false; }
  bool startIntercepting(KeyboardListener&) override { return false; }
  void resumeIntercepting() override {}
  void stopDelivering(KeyboardListener&) override {}
};

}  // namespace Sablekit
