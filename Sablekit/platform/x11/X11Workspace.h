// The workspace of an X session: applications are the processes that own
// client windows, the frontmost one owns the active window, the pointer
// comes from the server, and desktop switches from _NET_CURRENT_DESKTOP.
#pragma once

#include "Sablekit/platform/Workspace.h"
#include "Sablekit/platform/x11/X11ClientList.h"
#include "Sablekit/platform/x11/X11Connection.h"

namespace Sablekit {

// Any thread; the connection must outlive the workspace and the workspace
// every subscription it hands out.
class X11Workspace final : public Workspace {
 public:
  // Without a connection (no display) it answers as an empty desktop.
  explicit X11Workspace(const X11Connection* connection) : connection_(connection) {}

  // The processes owning top-level clients (mapped or not), in stacking
  // order, front first; empty when the server cannot be read.
  std::vector<RunningApplication> runningApplications() override;
  // Absent when the process owns no top-level client. Bundle identifier per
  // LinuxApplicationIdentity; name from the desktop file of that identifier,
  // else the WM_CLASS class, else the process's command name; no versions
  // (X11 does not carry them).
  std::optional<RunningApplication> application(std::int32_t processID) override;
  // The owner of _NET_ACTIVE_WINDOW under an EWMH manager, else of the
  // window with the input focus; absent when neither names a client window.
  std::optional<std::int32_t> frontmostProcessID() override;
  // From QueryPointer, in global points (root coordinates moved to the main
  // monitor's top-left corner); absent without a display or an answer.
  std::optional<Point> pointerLocation() override;
  // Watches _NET_CURRENT_DESKTOP on a connection and thread of its own; the
  // handler runs on that thread. Without a display the subscription is inert.
  std::unique_ptr<Subscription> observeDesktopChanges(std::function<void()> handler) override;

 private:
  class DesktopWatch;

  RunningApplication describe(const X11Client& client, std::int32_t processID) const;

  const X11Connection* connection_;  // null: no display
};

}  // namespace Sablekit
