// On-screen windows and monitors read from the X server.
#include "Sablekit/platform/x11/X11WindowServer.h"

#include "Sablekit/platform/x11/X11ClientList.h"

namespace Sablekit {

std::vector<WindowListEntry> X11WindowServer::onScreenWindows(bool includeDesktopElements) {
  if (!connection_ || !connection_->healthy()) {
    return {};
  }
  const auto monitors = connection_->monitors();
  std::vector<WindowListEntry> entries;
  for (const X11Client& client : X11ClientList::read(*connection_)) {
    if (!client.onScreen || (client.desktopElement && !includeDesktopElements)) {
      continue;
    }
    entries.push_back({.windowNumber = static_cast<std::int64_t>(client.window),
                       .ownerPID = client.processID,
                       .layer = client.layer,
                       .bounds = X11Connection::toGlobal(client.bounds, monitors),
                       .title = client.title});
  }
  return entries;
}

std::optional<std::uint32_t> X11WindowServer::mainDisplayID() {
  if (!connection_ || !connection_->healthy()) {
    return std::nullopt;
  }
  return connection_->monitors().front().identifier;
}

std::optional<Rect> X11WindowServer::displayBounds(std::uint32_t displayID) {
  if (!connection_ || !connection_->healthy()) {
    return std::nullopt;
  }
  const auto monitors = connection_->monitors();
  for (const X11Monitor& monitor : monitors) {
    if (monitor.identifier == displayID) {
      return X11Connection::toGlobal(monitor.frame, monitors);
    }
  }
  return std::nullopt;
}

}  // namespace Sablekit
