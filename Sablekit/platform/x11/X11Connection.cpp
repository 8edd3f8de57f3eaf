// Opening the X connection, interning atoms, probing extensions, and the
// shared property, process and monitor look-ups.
#include "Sablekit/platform/x11/X11Connection.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <utility>

#include <xcb/composite.h>
#include <xcb/randr.h>
#include <xcb/render.h>
#include <xcb/res.h>
#include <xcb/shm.h>
#include <xcb/xfixes.h>

namespace Sablekit {

void X11Free::operator()(void* pointer) const {
  std::free(pointer);
}

namespace {

// Large enough for any title or list the backend reads, in 32-bit units.
constexpr std::uint32_t propertyLengthLimit = 1 << 16;

}  // namespace

std::unique_ptr<X11Connection> X11Connection::open(const std::string& displayName) {
  int screenNumber = 0;
  xcb_connection_t* connection = xcb_connect(displayName.empty() ? nullptr : displayName.c_str(), &screenNumber);
  if (connection == nullptr || xcb_connection_has_error(connection)) {
    xcb_disconnect(connection);
    return nullptr;
  }
  const char* environmentName = std::getenv("DISPLAY");
  std::string name = displayName.empty() && environmentName ? environmentName : displayName;
  return std::unique_ptr<X11Connection>(new X11Connection(connection, screenNumber, std::move(name)));
}

X11Connection::X11Connection(xcb_connection_t* connection, int screenNumber, std::string displayName)
    : connection_(connection), displayName_(std::move(displayName)) {
  auto screens = xcb_setup_roots_iterator(xcb_get_setup(connection_));
  for (int index = 0; index < screenNumber && screens.rem > 1; ++index) {
    xcb_screen_next(&screens);
  }
  screen_ = screens.data;
  root_ = screen_->root;

  const std::array<std::pair<xcb_atom_t*, const char*>, 28> names{{
      {&atoms_.utf8String, "UTF8_STRING"},
      {&atoms_.wmState, "WM_STATE"},
      {&atoms_.netWmName, "_NET_WM_NAME"},
      {&atoms_.netWmPid, "_NET_WM_PID"},
      {&atoms_.netWmWindowType, "_NET_WM_WINDOW_TYPE"},
      {&atoms_.netWmState, "_NET_WM_STATE"},
      {&atoms_.netWmDesktop, "_NET_WM_DESKTOP"},
      {&atoms_.netFrameExtents, "_NET_FRAME_EXTENTS"},
      {&atoms_.netClientListStacking, "_NET_CLIENT_LIST_STACKING"},
      {&atoms_.netClientList, "_NET_CLIENT_LIST"},
      {&atoms_.netActiveWindow, "_NET_ACTIVE_WINDOW"},
      {&atoms_.netCurrentDesktop, "_NET_CURRENT_DESKTOP"},
      {&atoms_.netSupportingWmCheck, "_NET_SUPPORTING_WM_CHECK"},
      {&atoms_.gtkApplicationID, "_GTK_APPLICATION_ID"},
      {&atoms_.gtkFrameExtents, "_GTK_FRAME_EXTENTS"},
      {&atoms_.xrootpmapID, "_XROOTPMAP_ID"},
      {&atoms_.typeDesktop, "_NET_WM_WINDOW_TYPE_DESKTOP"},
      {&atoms_.typeDock, "_NET_WM_WINDOW_TYPE_DOCK"},
      {&atoms_.typeNotification, "_NET_WM_WINDOW_TYPE_NOTIFICATION"},
      {&atoms_.typeSplash, "_NET_WM_WINDOW_TYPE_SPLASH"},
      {&atoms_.typeUtility, "_NET_WM_WINDOW_TYPE_UTILITY"},
      {&atoms_.typeToolbar, "_NET_WM_WINDOW_TYPE_TOOLBAR"},
      {&atoms_.typeMenu, "_NET_WM_WINDOW_TYPE_MENU"},
      {&atoms_.typeDialog, "_NET_WM_WINDOW_TYPE_DIALOG"},
      {&atoms_.stateHidden, "_NET_WM_STATE_HIDDEN"},
      {&atoms_.stateAbove, "_NET_WM_STATE_ABOVE"},
      {&atoms_.stateBelow, "_NET_WM_STATE_BELOW"},
      {&atoms_.stateFullscreen, "_NET_WM_STATE_FULLSCREEN"},
  }};
  std::array<xcb_intern_atom_cookie_t, names.size()> cookies{};
  for (std::size_t index = 0; index < names.size(); ++index) {
    cookies[index] = xcb_intern_atom(connection_, 0, static_cast<std::uint16_t>(std::strlen(names[index].second)),
                                     names[index].second);
  }
  for (std::size_t index = 0; index < names.size(); ++index) {
    X11Reply<xcb_intern_atom_reply_t> reply(xcb_intern_atom_reply(connection_, cookies[index], nullptr));
    *names[index].first = reply ? reply->atom : static_cast<xcb_atom_t>(XCB_ATOM_NONE);
  }

  // Extensions, all asked at once.
  const auto resCookie = xcb_res_query_version(connection_, 1, 2);
  const auto randrCookie = xcb_randr_query_version(connection_, 1, 5);
  const auto compositeCookie = xcb_composite_query_version(connection_, 0, 4);
  const auto renderCookie = xcb_render_query_version(connection_, 0, 11);
  const auto shmCookie = xcb_shm_query_version(connection_);
  const auto xfixesCookie = xcb_xfixes_query_version(connection_, 4, 0);
  const auto present = [this](xcb_extension_t* extension) {
    const xcb_query_extension_reply_t* data = xcb_get_extension_data(connection_, extension);
    return data != nullptr && data->present;
  };
  if (X11Reply<xcb_res_query_version_reply_t> reply(xcb_res_query_version_reply(connection_, resCookie, nullptr));
      reply && present(&xcb_res_id)) {
    hasResource_ = reply->server_major > 1 || (reply->server_major == 1 && reply->server_minor >= 2);
  }
  if (X11Reply<xcb_randr_query_version_reply_t> reply(xcb_randr_query_version_reply(connection_, randrCookie, nullptr));
      reply && present(&xcb_randr_id)) {
    hasRandrMonitors_ = reply->major_version > 1 || (reply->major_version == 1 && reply->minor_version >= 5);
  }
  if (X11Reply<xcb_composite_query_version_reply_t> reply(
          xcb_composite_query_version_reply(connection_, compositeCookie, nullptr));
      reply && present(&xcb_composite_id)) {
    hasComposite_ = reply->major_version > 0 || reply->minor_version >= 2;  // NameWindowPixmap
  }
  if (X11Reply<xcb_render_query_version_reply_t> reply(
          xcb_render_query_version_reply(connection_, renderCookie, nullptr));
      reply && present(&xcb_render_id)) {
    hasRender_ = true;
  }
  if (X11Reply<xcb_shm_query_version_reply_t> reply(xcb_shm_query_version_reply(connection_, shmCookie, nullptr));
      reply && present(&xcb_shm_id)) {
    hasShm_ = true;
  }
  if (X11Reply<xcb_xfixes_query_version_reply_t> reply(
          xcb_xfixes_query_version_reply(connection_, xfixesCookie, nullptr));
      reply && present(&xcb_xfixes_id)) {
    hasXFixes_ = true;
  }
}

X11Connection::~X11Connection() {
  xcb_disconnect(connection_);
}

bool X11Connection::healthy() const {
  return xcb_connection_has_error(connection_) == 0;
}

std::optional<std::string> X11Connection::property(xcb_window_t window, xcb_atom_t name, xcb_atom_t type) const {
  X11Reply<xcb_get_property_reply_t> reply(xcb_get_property_reply(
      connection_, xcb_get_property(connection_, 0, window, name, type, 0, propertyLengthLimit), nullptr));
  if (!reply || reply->type == XCB_ATOM_NONE) {
    return std::nullopt;
  }
  return std::string(static_cast<const char*>(xcb_get_property_value(reply.get())),
                     static_cast<std::size_t>(xcb_get_property_value_length(reply.get())));
}

std::vector<std::uint32_t> X11Connection::property32(xcb_window_t window, xcb_atom_t name) const {
  X11Reply<xcb_get_property_reply_t> reply(xcb_get_property_reply(
      connection_, xcb_get_property(connection_, 0, window, name, XCB_ATOM_ANY, 0, propertyLengthLimit), nullptr));
  if (!reply || reply->type == XCB_ATOM_NONE || reply->format != 32) {
    return {};
  }
  const auto* values = static_cast<const std::uint32_t*>(xcb_get_property_value(reply.get()));
  return std::vector<std::uint32_t>(values, values + xcb_get_property_value_length(reply.get()) / 4);
}

std::optional<std::string> X11Connection::title(xcb_window_t window) const {
  return title(askTitle(window));
}

X11Connection::TitleRequest X11Connection::askTitle(xcb_window_t window) const {
  // Both names are asked at once: the fallback costs bytes, not a wait.
  return {.netWmName =
              xcb_get_property(connection_, 0, window, atoms_.netWmName, atoms_.utf8String, 0, propertyLengthLimit),
          .wmName = xcb_get_property(connection_, 0, window, XCB_ATOM_WM_NAME, XCB_ATOM_ANY, 0, propertyLengthLimit)};
}

std::optional<std::string> X11Connection::title(TitleRequest request) const {
  const auto text = [this](xcb_get_property_cookie_t cookie) -> std::optional<std::string> {
    X11Reply<xcb_get_property_reply_t> reply(xcb_get_property_reply(connection_, cookie, nullptr));
    if (!reply || reply->type == XCB_ATOM_NONE) {
      return std::nullopt;
    }
    return std::string(static_cast<const char*>(xcb_get_property_value(reply.get())),
                       static_cast<std::size_t>(xcb_get_property_value_length(reply.get())));
  };
  auto netName = text(request.netWmName);
  auto name = text(request.wmName);  // claimed in any case
  if (netName) {
    return netName;
  }
  // WM_NAME in STRING (Latin-1) or a compound text: only its ASCII is read
  // as is; other bytes would need a converter this backend does not carry.
  if (!name) {
    return std::nullopt;
  }
  std::string converted;
  for (const char byte : *name) {
    const auto code = static_cast<unsigned char>(byte);
    if (code < 0x80) {
      converted.push_back(byte);
    } else {
      // Latin-1 to UTF-8.
      converted.push_back(static_cast<char>(0xc0 | (code >> 6)));
      converted.push_back(static_cast<char>(0x80 | (code & 0x3f)));
    }
  }
  return converted;
}

std::optional<std::int32_t> X11Connection::processOf(xcb_window_t window) const {
  return process(askProcess(window));
}

X11Connection::ProcessRequest X11Connection::askProcess(xcb_window_t window) const {
  ProcessRequest request{};
  if (hasResource_) {
    const xcb_res_client_id_spec_t wanted{window, XCB_RES_CLIENT_ID_MASK_LOCAL_CLIENT_PID};
    request.clientIDs = xcb_res_query_client_ids(connection_, 1, &wanted);
  }
  request.netWmPid = xcb_get_property(connection_, 0, window, atoms_.netWmPid, XCB_ATOM_ANY, 0, 1);
  return request;
}

std::optional<std::int32_t> X11Connection::process(ProcessRequest request) const {
  std::optional<std::int32_t> found;
  if (request.clientIDs.sequence != 0) {
    X11Reply<xcb_res_query_client_ids_reply_t> reply(
        xcb_res_query_client_ids_reply(connection_, request.clientIDs, nullptr));
    if (reply) {
      for (auto ids = xcb_res_query_client_ids_ids_iterator(reply.get()); ids.rem && !found;
           xcb_res_client_id_value_next(&ids)) {
        // The value opens with the client-id query it answers (its first member).
        const auto* answered = reinterpret_cast<const xcb_res_client_id_spec_t*>(ids.data);
        if ((answered->mask & XCB_RES_CLIENT_ID_MASK_LOCAL_CLIENT_PID) != 0 &&
            xcb_res_client_id_value_value_length(ids.data) >= 1) {
          const std::uint32_t pid = *xcb_res_client_id_value_value(ids.data);
          if (pid > 0) {
            found = static_cast<std::int32_t>(pid);
          }
        }
      }
    }
  }
  X11Reply<xcb_get_property_reply_t> pid(xcb_get_property_reply(connection_, request.netWmPid, nullptr));
  if (found) {
    return found;
  }
  if (pid && pid->type != XCB_ATOM_NONE && pid->format == 32 && xcb_get_property_value_length(pid.get()) >= 4) {
    const std::uint32_t value = *static_cast<const std::uint32_t*>(xcb_get_property_value(pid.get()));
    if (value > 0 && value <= 0x7fffffffu) {
      return static_cast<std::int32_t>(value);
    }
  }
  return std::nullopt;
}

std::optional<xcb_window_t> X11Connection::windowManager() const {
  // The check window must name itself, or the property is a stale leftover
  // of a manager that has gone.
  const auto check = property32(root_, atoms_.netSupportingWmCheck);
  if (check.empty() || check.front() == XCB_NONE) {
    return std::nullopt;
  }
  const auto confirmed = property32(check.front(), atoms_.netSupportingWmCheck);
  if (confirmed.empty() || confirmed.front() != check.front()) {
    return std::nullopt;
  }
  return check.front();
}

std::vector<X11Monitor> X11Connection::monitors() const {
  std::vector<X11Monitor> result;
  if (hasRandrMonitors_) {
    X11Reply<xcb_randr_get_monitors_reply_t> reply(
        xcb_randr_get_monitors_reply(connection_, xcb_randr_get_monitors(connection_, root_, 1), nullptr));
    if (reply) {
      for (auto monitors = xcb_randr_get_monitors_monitors_iterator(reply.get()); monitors.rem;
           xcb_randr_monitor_info_next(&monitors)) {
        const xcb_randr_monitor_info_t& info = *monitors.data;
        if (info.width == 0 || info.height == 0) {
          continue;
        }
        result.push_back({.identifier = info.name,
                          .frame = {static_cast<double>(info.x), static_cast<double>(info.y),
                                    static_cast<double>(info.width), static_cast<double>(info.height)},
                          .primary = info.primary != 0});
      }
    }
  }
  if (result.empty()) {
    // The whole screen, numbered 1 so that it is never "no display".
    result.push_back(
        {.identifier = 1,
         .frame = {0, 0, static_cast<double>(screen_->width_in_pixels), static_cast<double>(screen_->height_in_pixels)},
         .primary = true});
  }
  // Primary first; a server that marks none makes the first one main.
  std::stable_partition(result.begin(), result.end(), [](const X11Monitor& monitor) { return monitor.primary; });
  return result;
}

Rect X11Connection::toGlobal(const Rect& rootRect, const std::vector<X11Monitor>& monitors) {
  if (monitors.empty()) {
    return rootRect;
  }
  const Rect& main = monitors.front().frame;
  return {rootRect.x - main.x, rootRect.y - main.y, rootRect.width, rootRect.height};
}

}  // namespace Sablekit
