// The window server of an X screen: its on-screen client windows front to
// back and its RandR monitors.
#pragma once

#include "Sablekit/platform/WindowServer.h"
#include "Sablekit/platform/x11/X11Connection.h"

namespace Sablekit {

// Window number = the client's XID; owner = its process (X-Resource, else
// _NET_WM_PID); bounds in global points (1 pixel per point) with the
// manager's frame; layer as X11WindowLayer says. Display identifier = the
// RandR monitor's name atom. Any thread; the connection must outlive it.
class X11WindowServer final : public WindowServer {
 public:
  // Without a connection (no display) it answers as an empty desktop.
  explicit X11WindowServer(const X11Connection* connection) : connection_(connection) {}

  std::vector<WindowListEntry> onScreenWindows(bool includeDesktopElements) override;
  std::optional<std::uint32_t> mainDisplayID() override;
  std::optional<Rect> displayBounds(std::uint32_t displayID) override;

 private:
  const X11Connection* connection_;  // null: no display
};

}  // namespace Sablekit
