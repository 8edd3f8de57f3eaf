// The top-level client windows of an X screen, front to back, with what the
// window server, the workspace and the screen capture read from each.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <xcb/xcb.h>

#include "Sablekit/platform/Geometry.h"
#include "Sablekit/platform/x11/X11Connection.h"

namespace Sablekit {

// Layers derived from _NET_WM_WINDOW_TYPE and _NET_WM_STATE, on the scale the
// services know: 0 for ordinary windows (dialogs, utilities and full-screen
// windows included), far below for the desktop, above for the rest.
namespace X11WindowLayer {
inline constexpr std::int64_t desktop = -2147483623;
inline constexpr std::int64_t ordinary = 0;
inline constexpr std::int64_t keepAbove = 3;
inline constexpr std::int64_t dock = 20;
inline constexpr std::int64_t notification = 23;
}  // namespace X11WindowLayer

struct X11Client {
  xcb_window_t window = XCB_NONE;    // the client: the window number the services see
  xcb_window_t topLevel = XCB_NONE;  // its child of the root: the manager's frame, or the client itself
  std::optional<std::int32_t> processID;
  std::optional<std::string> title;
  Rect bounds;  // root coordinates, the manager's frame included, client-side shadows left out
  std::int64_t layer = X11WindowLayer::ordinary;
  bool desktopElement = false;  // a _NET_WM_WINDOW_TYPE_DESKTOP window
  bool onScreen = false;        // viewable, on the current desktop and not hidden
};

// How much of each client a listing reads.
enum class X11ClientDetail {
  everything,       // all of X11Client
  ownersAndFrames,  // only window, topLevel and processID; the rest keeps its defaults
  owners,           // only window and processID; topLevel is XCB_NONE unless the listing knew it anyway
};

class X11ClientList {
 public:
  // Every top-level client, mapped or not, front to back: the window
  // manager's _NET_CLIENT_LIST_STACKING reversed when an EWMH manager runs,
  // else the server's stacking order down to the clients (the windows that
  // carry WM_STATE, or without any manager the root's children that are not
  // override-redirect). Empty when the server cannot be read. Any thread.
  // With less detail, only what tells which process owns which client (and
  // which top-level window holds it) is read, far fewer requests; a client
  // gone meanwhile may then stay listed, with no process.
  static std::vector<X11Client> read(const X11Connection& connection,
                                     X11ClientDetail detail = X11ClientDetail::everything);

  // The client whose top-level window holds `window` (the client itself, its
  // frame or any window inside either); absent when none does.
  static std::optional<xcb_window_t> topLevelOf(const X11Connection& connection, xcb_window_t window);
  // The same for several windows at once, in their order, waiting for the
  // server once per level of the tree rather than once per window.
  static std::vector<std::optional<xcb_window_t>> topLevelsOf(const X11Connection& connection,
                                                              const std::vector<xcb_window_t>& windows);

 private:
  static std::vector<X11Client> withOwners(const X11Connection& connection,
                                           const std::vector<std::pair<xcb_window_t, xcb_window_t>>& clients,
                                           std::vector<X11Client>* titled,
                                           bool withTopLevels);
};

}  // namespace Sablekit
