// Watches a descriptor the parent holds open (our standard input) and reports,
// once, when the parent closes its end or the descriptor fails, so the child
// can end itself instead of outliving its parent.
#pragma once

namespace Sablekit {

class ParentPipeWatcher {
 public:
  // Ends watching (as stop() does). The watcher never closes the descriptor.
  virtual ~ParentPipeWatcher() = default;

  // Begins watching on the watcher's own worker thread; data from the parent is
  // consumed and ignored. Does nothing when already started or already stopped.
  virtual void start() = 0;

  // Ends watching for good; does nothing when already stopped. Once it returns,
  // the closed handler will not be called any more. Called from another thread,
  // it also waits for a handler that is running to return.
  virtual void stop() = 0;

  // True once stopped, by the owner or by the watcher after end of file or a
  // read failure. Never becomes false again. Safe from any thread.
  virtual bool isClosed() const = 0;
};

}  // namespace Sablekit
