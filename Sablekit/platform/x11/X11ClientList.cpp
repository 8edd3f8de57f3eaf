// Reading the client windows of the screen in one pipelined pass: every
// request for every window is sent before the first reply is awaited.
#include "Sablekit/platform/x11/X11ClientList.h"

#include <algorithm>
#include <cstdlib>

namespace Sablekit {

namespace {

constexpr std::uint32_t allDesktops = 0xffffffffu;
constexpr std::uint32_t propertyLimit = 1 << 16;

template <typename T>
using Reply = X11Reply<T>;

struct Cookies {
  xcb_get_window_attributes_cookie_t attributes;
  xcb_get_geometry_cookie_t geometry;
  xcb_translate_coordinates_cookie_t origin;
  xcb_get_property_cookie_t type, state, desktop, frameExtents, gtkFrameExtents;
};

std::vector<std::uint32_t> values32(xcb_connection_t* connection, xcb_get_property_cookie_t cookie) {
  Reply<xcb_get_property_reply_t> reply(xcb_get_property_reply(connection, cookie, nullptr));
  if (!reply || reply->type == XCB_ATOM_NONE || reply->format != 32) {
    return {};
  }
  const auto* values = static_cast<const std::uint32_t*>(xcb_get_property_value(reply.get()));
  return std::vector<std::uint32_t>(values, values + xcb_get_property_value_length(reply.get()) / 4);
}

bool contains(const std::vector<std::uint32_t>& values, xcb_atom_t atom) {
  return std::find(values.begin(), values.end(), atom) != values.end();
}

std::vector<xcb_window_t> children(xcb_connection_t* connection, xcb_window_t window) {
  Reply<xcb_query_tree_reply_t> tree(xcb_query_tree_reply(connection, xcb_query_tree(connection, window), nullptr));
  if (!tree) {
    return {};
  }
  const xcb_window_t* first = xcb_query_tree_children(tree.get());
  return std::vector<xcb_window_t>(first, first + xcb_query_tree_children_length(tree.get()));
}

// The window carrying WM_STATE at or below `window`, breadth first, a few
// levels deep (a frame holds the client, sometimes inside a wrapper).
std::optional<xcb_window_t> clientBelow(const X11Connection& connection, xcb_window_t window) {
  std::vector<xcb_window_t> level{window};
  for (int depth = 0; depth < 3 && !level.empty(); ++depth) {
    std::vector<xcb_get_property_cookie_t> cookies;
    for (const xcb_window_t candidate : level) {
      cookies.push_back(
          xcb_get_property(connection.raw(), 0, candidate, connection.atoms().wmState, XCB_ATOM_ANY, 0, 0));
    }
    std::optional<xcb_window_t> found;
    for (std::size_t index = 0; index < level.size(); ++index) {
      Reply<xcb_get_property_reply_t> reply(xcb_get_property_reply(connection.raw(), cookies[index], nullptr));
      if (!found && reply && reply->type != XCB_ATOM_NONE) {
        found = level[index];
      }
    }
    if (found) {
      return found;
    }
    std::vector<xcb_window_t> next;
    for (const xcb_window_t candidate : level) {
      const auto below = children(connection.raw(), candidate);
      next.insert(next.end(), below.begin(), below.end());
    }
    level = std::move(next);
  }
  return std::nullopt;
}

// The root's children front to back, each with the client it holds.
std::vector<std::pair<xcb_window_t, xcb_window_t>> clientsByStacking(const X11Connection& connection) {
  std::vector<xcb_window_t> topLevels = children(connection.raw(), connection.root());
  std::reverse(topLevels.begin(), topLevels.end());
  std::vector<xcb_get_window_attributes_cookie_t> cookies;
  for (const xcb_window_t window : topLevels) {
    cookies.push_back(xcb_get_window_attributes(connection.raw(), window));
  }
  const bool managed = connection.windowManager().has_value();
  std::vector<std::pair<xcb_window_t, xcb_window_t>> result;
  for (std::size_t index = 0; index < topLevels.size(); ++index) {
    Reply<xcb_get_window_attributes_reply_t> attributes(
        xcb_get_window_attributes_reply(connection.raw(), cookies[index], nullptr));
    if (!attributes || attributes->_class == XCB_WINDOW_CLASS_INPUT_ONLY) {
      continue;
    }
    if (const auto client = clientBelow(connection, topLevels[index])) {
      result.emplace_back(*client, topLevels[index]);
    } else if (!managed && !attributes->override_redirect) {
      result.emplace_back(topLevels[index], topLevels[index]);
    }
  }
  return result;
}

}  // namespace

std::optional<xcb_window_t> X11ClientList::topLevelOf(const X11Connection& connection, xcb_window_t window) {
  xcb_window_t current = window;
  for (int depth = 0; depth < 64 && current != XCB_NONE; ++depth) {
    Reply<xcb_query_tree_reply_t> tree(
        xcb_query_tree_reply(connection.raw(), xcb_query_tree(connection.raw(), current), nullptr));
    if (!tree) {
      return std::nullopt;
    }
    if (tree->parent == connection.root() || tree->parent == XCB_NONE) {
      return current == connection.root() ? std::nullopt : std::optional<xcb_window_t>(current);
    }
    current = tree->parent;
  }
  return std::nullopt;
}

std::vector<X11Client> X11ClientList::read(const X11Connection& connection) {
  xcb_connection_t* raw = connection.raw();
  const X11Atoms& atoms = connection.atoms();

  std::vector<std::pair<xcb_window_t, xcb_window_t>> clients;  // client, top level
  if (connection.windowManager()) {
    auto stacking = connection.property32(connection.root(), atoms.netClientListStacking);
    std::reverse(stacking.begin(), stacking.end());
    for (const std::uint32_t client : stacking) {
      clients.emplace_back(client, XCB_NONE);
    }
  } else {
    clients = clientsByStacking(connection);
  }

  const auto currentDesktop = connection.property32(connection.root(), atoms.netCurrentDesktop);
  std::vector<Cookies> cookies;
  cookies.reserve(clients.size());
  for (const auto& [window, topLevel] : clients) {
    const auto get = [&](xcb_atom_t name) {
      return xcb_get_property(raw, 0, window, name, XCB_ATOM_ANY, 0, propertyLimit);
    };
    cookies.push_back({.attributes = xcb_get_window_attributes(raw, window),
                       .geometry = xcb_get_geometry(raw, window),
                       .origin = xcb_translate_coordinates(raw, window, connection.root(), 0, 0),
                       .type = get(atoms.netWmWindowType),
                       .state = get(atoms.netWmState),
                       .desktop = get(atoms.netWmDesktop),
                       .frameExtents = get(atoms.netFrameExtents),
                       .gtkFrameExtents = get(atoms.gtkFrameExtents)});
  }

  std::vector<X11Client> result;
  result.reserve(clients.size());
  for (std::size_t index = 0; index < clients.size(); ++index) {
    const Cookies& cookie = cookies[index];
    Reply<xcb_get_window_attributes_reply_t> attributes(
        xcb_get_window_attributes_reply(raw, cookie.attributes, nullptr));
    Reply<xcb_get_geometry_reply_t> geometry(xcb_get_geometry_reply(raw, cookie.geometry, nullptr));
    Reply<xcb_translate_coordinates_reply_t> origin(xcb_translate_coordinates_reply(raw, cookie.origin, nullptr));
    const auto type = values32(raw, cookie.type);
    const auto state = values32(raw, cookie.state);
    const auto desktop = values32(raw, cookie.desktop);
    const auto frame = values32(raw, cookie.frameExtents);
    const auto shadow = values32(raw, cookie.gtkFrameExtents);
    if (!attributes || !geometry || !origin) {
      continue;  // gone meanwhile
    }
    X11Client client;
    client.window = clients[index].first;
    client.topLevel = clients[index].second;
    Rect bounds{static_cast<double>(origin->dst_x), static_cast<double>(origin->dst_y),
                static_cast<double>(geometry->width), static_cast<double>(geometry->height)};
    if (frame.size() == 4) {  // left, right, top, bottom
      bounds = {bounds.x - frame[0], bounds.y - frame[2], bounds.width + frame[0] + frame[1],
                bounds.height + frame[2] + frame[3]};
    } else if (shadow.size() == 4) {
      bounds = {bounds.x + shadow[0], bounds.y + shadow[2], bounds.width - shadow[0] - shadow[1],
                bounds.height - shadow[2] - shadow[3]};
    }
    client.bounds = bounds;
    client.desktopElement = contains(type, atoms.typeDesktop);
    if (client.desktopElement) {
      client.layer = X11WindowLayer::desktop;
    } else if (contains(type, atoms.typeNotification)) {
      client.layer = X11WindowLayer::notification;
    } else if (contains(type, atoms.typeDock)) {
      client.layer = X11WindowLayer::dock;
    } else if (contains(state, atoms.stateAbove)) {
      client.layer = X11WindowLayer::keepAbove;
    }
    const bool onCurrentDesktop = desktop.empty() || currentDesktop.empty() || desktop.front() == allDesktops ||
                                  desktop.front() == currentDesktop.front();
    client.onScreen =
        attributes->map_state == XCB_MAP_STATE_VIEWABLE && onCurrentDesktop && !contains(state, atoms.stateHidden);
    result.push_back(std::move(client));
  }

  // Titles, processes and top levels in a second pipelined pass.
  std::vector<xcb_get_property_cookie_t> netNames;
  for (const X11Client& client : result) {
    netNames.push_back(xcb_get_property(raw, 0, client.window, atoms.netWmName, atoms.utf8String, 0, propertyLimit));
  }
  for (std::size_t index = 0; index < result.size(); ++index) {
    X11Client& client = result[index];
    Reply<xcb_get_property_reply_t> reply(xcb_get_property_reply(raw, netNames[index], nullptr));
    if (reply && reply->type != XCB_ATOM_NONE) {
      client.title = std::string(static_cast<const char*>(xcb_get_property_value(reply.get())),
                                 static_cast<std::size_t>(xcb_get_property_value_length(reply.get())));
    } else {
      client.title = connection.title(client.window);
    }
    client.processID = connection.processOf(client.window);
    if (client.topLevel == XCB_NONE) {
      client.topLevel = topLevelOf(connection, client.window).value_or(client.window);
    }
  }
  return result;
}

}  // namespace Sablekit
