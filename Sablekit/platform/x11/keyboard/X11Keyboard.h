// The keyboard of an X server: modifier changes from XInput2 raw key events,
// and, in exclusive mode, synchronous passive grabs of the two Super keys
// (the Command keys here) that let the listener swallow one key event at a
// time. Everything runs on a connection of its own, served by its own thread.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "Sablekit/platform/Keyboard.h"
#include "Sablekit/platform/RunLoop.h"

namespace Sablekit {

class X11Keyboard final : public Keyboard {
 public:
  struct Options {
    // The display to open; empty means $DISPLAY.
    std::string displayName;
    // While the main thread decides about an intercepted key, the server's
    // keyboard is frozen for every application. When no answer comes within
    // this time the event passes, the grabs are dropped and the listener is
    // told the interception was switched off (as a platform tap that times
    // out is), so a busy main thread never hangs the user's keyboard.
    std::chrono::milliseconds answerTimeout{1000};
  };

  // Connects to nothing until a start operation. Listener calls are posted to
  // `mainLoop`, which must be the loop of the thread that uses the keyboard
  // and must outlive it.
  X11Keyboard(RunLoop& mainLoop, Options options);
  explicit X11Keyboard(RunLoop& mainLoop) : X11Keyboard(mainLoop, Options{}) {}
  // Stops the thread and closes the connection, which drops the grabs and
  // thaws a keyboard frozen for an answer. Main thread.
  ~X11Keyboard() override;
  X11Keyboard(const X11Keyboard&) = delete;
  X11Keyboard& operator=(const X11Keyboard&) = delete;

  // Keyboard. startListening() answers false when the display cannot be
  // opened or lacks XInput 2.2; startIntercepting() also when another client
  // already grabs either Super key (BadAccess) or the keyboard has no Super
  // key. A refused start leaves nothing behind, and a later start may try again.
  bool startListening(KeyboardListener& listener) override;
  bool startIntercepting(KeyboardListener& listener) override;
  // Grabs the Super keys again (on the keyboard's thread, shortly after the
  // call); when another client took them meanwhile it stays off.
  void resumeIntercepting() override;
  void stopDelivering(KeyboardListener& listener) override;

 private:
  class Connection;
  struct Channel;

  bool start(KeyboardListener& listener, bool intercepting);

  RunLoop& mainLoop_;
  const Options options_;
  // Shared with the tasks posted to the main loop, which may outlive us.
  std::shared_ptr<Channel> channel_;
  std::unique_ptr<Connection> connection_;  // present once started
  std::thread thread_;
};

}  // namespace Sablekit
