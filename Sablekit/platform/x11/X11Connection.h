// One connection to an X server, shared by the X11 services: the screen's
// root, the atoms they use interned once, which extensions are there, and
// the property and process look-ups every service needs.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <xcb/res.h>
#include <xcb/xcb.h>

#include "Sablekit/platform/Geometry.h"

namespace Sablekit {

// The atoms the backend reads, interned at connection time.
struct X11Atoms {
  xcb_atom_t utf8String, wmState, netWmName, netWmPid, netWmWindowType, netWmState, netWmDesktop, netFrameExtents,
      netClientListStacking, netClientList, netActiveWindow, netCurrentDesktop, netSupportingWmCheck, gtkApplicationID,
      gtkFrameExtents, xrootpmapID;
  xcb_atom_t typeDesktop, typeDock, typeNotification, typeSplash, typeUtility, typeToolbar, typeMenu, typeDialog;
  xcb_atom_t stateHidden, stateAbove, stateBelow, stateFullscreen;
};

// One monitor of the screen, in root coordinates (pixels, y down).
struct X11Monitor {
  std::uint32_t identifier = 0;  // the monitor's name atom: stable while the monitor exists
  Rect frame;
  bool primary = false;
};

class X11Connection {
 public:
  // Opens `displayName` ($DISPLAY when empty). Absent when no display is
  // reachable.
  static std::unique_ptr<X11Connection> open(const std::string& displayName);
  ~X11Connection();
  X11Connection(const X11Connection&) = delete;
  X11Connection& operator=(const X11Connection&) = delete;

  // xcb serialises requests itself, so every member may be used from any
  // thread; the connection and everything learnt at opening never change.
  xcb_connection_t* raw() const { return connection_; }
  xcb_window_t root() const { return root_; }
  const xcb_screen_t& screen() const { return *screen_; }
  const X11Atoms& atoms() const { return atoms_; }
  const std::string& displayName() const { return displayName_; }
  // False once the server went away or the connection broke.
  bool healthy() const;

  bool hasResourceExtension() const { return hasResource_; }
  bool hasRandrMonitors() const { return hasRandrMonitors_; }
  bool hasComposite() const { return hasComposite_; }
  bool hasRender() const { return hasRender_; }
  bool hasShm() const { return hasShm_; }
  bool hasXFixes() const { return hasXFixes_; }

  // A property's value as raw bytes; absent when the window lacks it or is gone.
  std::optional<std::string> property(xcb_window_t window, xcb_atom_t property, xcb_atom_t type = XCB_ATOM_ANY) const;
  // A property of 32-bit items (CARDINAL, ATOM, WINDOW); empty when absent.
  std::vector<std::uint32_t> property32(xcb_window_t window, xcb_atom_t property) const;
  // _NET_WM_NAME, else WM_NAME; absent when neither is set.
  std::optional<std::string> title(xcb_window_t window) const;

  // The process that created the window: the X-Resource extension's local
  // client PID, else _NET_WM_PID; absent when neither is known.
  std::optional<std::int32_t> processOf(xcb_window_t window) const;

  // The same two look-ups split in two, so that a listing sends the requests
  // for all its windows before it waits for the first answer: one wait for
  // the server per listing instead of one per window. Every request asked
  // must be answered exactly once (its replies are claimed there), on the
  // thread of the caller's choosing.
  struct TitleRequest {
    xcb_get_property_cookie_t netWmName, wmName;
  };
  struct ProcessRequest {
    xcb_res_query_client_ids_cookie_t clientIDs{};  // sequence 0: not asked (no X-Resource)
    xcb_get_property_cookie_t netWmPid;
  };
  TitleRequest askTitle(xcb_window_t window) const;
  std::optional<std::string> title(TitleRequest request) const;
  ProcessRequest askProcess(xcb_window_t window) const;
  std::optional<std::int32_t> process(ProcessRequest request) const;

  // The window manager's check window when an EWMH manager runs; absent otherwise.
  std::optional<xcb_window_t> windowManager() const;

  // The monitors (RandR 1.5), primary first; without RandR monitors, the
  // whole screen as one primary monitor.
  std::vector<X11Monitor> monitors() const;

  // Converts root coordinates to the services' global space, whose origin is
  // the main (first) monitor's top-left corner.
  static Rect toGlobal(const Rect& rootRect, const std::vector<X11Monitor>& monitors);

 private:
  X11Connection(xcb_connection_t* connection, int screenNumber, std::string displayName);

  xcb_connection_t* connection_;
  xcb_screen_t* screen_ = nullptr;
  xcb_window_t root_ = XCB_NONE;
  std::string displayName_;
  X11Atoms atoms_{};
  bool hasResource_ = false;
  bool hasRandrMonitors_ = false;
  bool hasComposite_ = false;
  bool hasRender_ = false;
  bool hasShm_ = false;
  bool hasXFixes_ = false;
};

// Frees an xcb reply (or anything xcb allocated with malloc) when it goes.
struct X11Free {
  void operator()(void* pointer) const;
};
template <typename T>
using X11Reply = std::unique_ptr<T, X11Free>;

}  // namespace Sablekit
