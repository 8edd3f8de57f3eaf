// Reading the client windows of the screen in pipelined passes: every request
// of a pass, for every window, is sent before its first reply is awaited.
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

// For each of `topLevels`, the window carrying WM_STATE at or below it,
// breadth first, a few levels deep (a frame holds the client, sometimes
// inside a wrapper). All top levels descend together, so the server is
// waited for twice per level however many windows there are.
std::vector<std::optional<xcb_window_t>> clientsBelow(const X11Connection& connection,
                                                      const std::vector<xcb_window_t>& topLevels) {
  xcb_connection_t* raw = connection.raw();
  std::vector<std::optional<xcb_window_t>> found(topLevels.size());
  std::vector<std::vector<xcb_window_t>> levels;  // per top level: the windows of the level being searched
  levels.reserve(topLevels.size());
  for (const xcb_window_t window : topLevels) {
    levels.push_back({window});
  }
  for (int depth = 0; depth < 3; ++depth) {
    std::vector<std::vector<xcb_get_property_cookie_t>> states(topLevels.size());
    for (std::size_t index = 0; index < topLevels.size(); ++index) {
      for (const xcb_window_t candidate : levels[index]) {
        states[index].push_back(xcb_get_property(raw, 0, candidate, connection.atoms().wmState, XCB_ATOM_ANY, 0, 0));
      }
    }
    for (std::size_t index = 0; index < topLevels.size(); ++index) {
      for (std::size_t position = 0; position < levels[index].size(); ++position) {
        Reply<xcb_get_property_reply_t> reply(xcb_get_property_reply(raw, states[index][position], nullptr));
        if (!found[index] && reply && reply->type != XCB_ATOM_NONE) {
          found[index] = levels[index][position];
        }
      }
    }
    if (depth == 2) {
      break;  // the deepest level searched: no need for its children
    }
    std::vector<std::vector<xcb_query_tree_cookie_t>> trees(topLevels.size());
    for (std::size_t index = 0; index < topLevels.size(); ++index) {
      if (found[index]) {
        levels[index].clear();
      }
      for (const xcb_window_t candidate : levels[index]) {
        trees[index].push_back(xcb_query_tree(raw, candidate));
      }
    }
    for (std::size_t index = 0; index < topLevels.size(); ++index) {
      std::vector<xcb_window_t> next;
      for (const xcb_query_tree_cookie_t cookie : trees[index]) {
        Reply<xcb_query_tree_reply_t> tree(xcb_query_tree_reply(raw, cookie, nullptr));
        if (tree) {
          const xcb_window_t* first = xcb_query_tree_children(tree.get());
          next.insert(next.end(), first, first + xcb_query_tree_children_length(tree.get()));
        }
      }
      levels[index] = std::move(next);
    }
  }
  return found;
}

// The root's children front to back, each with the client it holds.
std::vector<std::pair<xcb_window_t, xcb_window_t>> clientsByStacking(const X11Connection& connection) {
  std::vector<xcb_window_t> topLevels = children(connection.raw(), connection.root());
  std::reverse(topLevels.begin(), topLevels.end());
  std::vector<xcb_get_window_attributes_cookie_t> cookies;
  for (const xcb_window_t window : topLevels) {
    cookies.push_back(xcb_get_window_attributes(connection.raw(), window));
  }
  std::vector<xcb_window_t> outputWindows;
  std::vector<bool> overrideRedirect;
  for (std::size_t index = 0; index < topLevels.size(); ++index) {
    Reply<xcb_get_window_attributes_reply_t> attributes(
        xcb_get_window_attributes_reply(connection.raw(), cookies[index], nullptr));
    if (attributes && attributes->_class != XCB_WINDOW_CLASS_INPUT_ONLY) {
      outputWindows.push_back(topLevels[index]);
      overrideRedirect.push_back(attributes->override_redirect != 0);
    }
  }
  const bool managed = connection.windowManager().has_value();
  const auto clients = clientsBelow(connection, outputWindows);
  std::vector<std::pair<xcb_window_t, xcb_window_t>> result;
  for (std::size_t index = 0; index < outputWindows.size(); ++index) {
    if (clients[index]) {
      result.emplace_back(*clients[index], outputWindows[index]);
    } else if (!managed && !overrideRedirect[index]) {
      result.emplace_back(outputWindows[index], outputWindows[index]);
    }
  }
  return result;
}

}  // namespace

std::optional<xcb_window_t> X11ClientList::topLevelOf(const X11Connection& connection, xcb_window_t window) {
  return topLevelsOf(connection, {window}).front();
}

std::vector<std::optional<xcb_window_t>> X11ClientList::topLevelsOf(const X11Connection& connection,
                                                                    const std::vector<xcb_window_t>& windows) {
  // All windows climb together, one level per wait for the server.
  std::vector<std::optional<xcb_window_t>> result(windows.size());
  std::vector<std::pair<std::size_t, xcb_window_t>> climbing;  // index, current window
  for (std::size_t index = 0; index < windows.size(); ++index) {
    if (windows[index] != XCB_NONE) {
      climbing.emplace_back(index, windows[index]);
    }
  }
  for (int depth = 0; depth < 64 && !climbing.empty(); ++depth) {
    std::vector<xcb_query_tree_cookie_t> cookies;
    cookies.reserve(climbing.size());
    for (const auto& [index, current] : climbing) {
      cookies.push_back(xcb_query_tree(connection.raw(), current));
    }
    std::vector<std::pair<std::size_t, xcb_window_t>> next;
    for (std::size_t position = 0; position < climbing.size(); ++position) {
      const auto [index, current] = climbing[position];
      Reply<xcb_query_tree_reply_t> tree(xcb_query_tree_reply(connection.raw(), cookies[position], nullptr));
      if (!tree) {
        continue;  // gone: no top level
      }
      if (tree->parent == connection.root() || tree->parent == XCB_NONE) {
        if (current != connection.root()) {
          result[index] = current;
        }
      } else {
        next.emplace_back(index, tree->parent);
      }
    }
    climbing = std::move(next);
  }
  return result;
}

// The clients with their owners (and, given `titled`, the titles of those
// same clients set in it) in one pipelined pass; `withTopLevels`, their top
// levels too, one more wait per level of the tree for the clients whose
// frame is not known yet.
std::vector<X11Client> X11ClientList::withOwners(const X11Connection& connection,
                                                 const std::vector<std::pair<xcb_window_t, xcb_window_t>>& clients,
                                                 std::vector<X11Client>* titled,
                                                 bool withTopLevels) {
  std::vector<std::pair<X11Connection::TitleRequest, X11Connection::ProcessRequest>> requests;
  requests.reserve(clients.size());
  for (const auto& [window, topLevel] : clients) {
    requests.emplace_back(titled ? connection.askTitle(window) : X11Connection::TitleRequest{},
                          connection.askProcess(window));
  }
  std::vector<X11Client> result(clients.size());
  std::vector<xcb_window_t> unframed;
  for (std::size_t index = 0; index < clients.size(); ++index) {
    X11Client& client = result[index];
    client.window = clients[index].first;
    client.topLevel = clients[index].second;
    if (titled) {
      (*titled)[index].title = connection.title(requests[index].first);
    }
    client.processID = connection.process(requests[index].second);
    if (withTopLevels && client.topLevel == XCB_NONE) {
      unframed.push_back(client.window);
    }
  }
  const auto topLevels = topLevelsOf(connection, unframed);
  for (std::size_t index = 0, next = 0; index < result.size(); ++index) {
    if (withTopLevels && result[index].topLevel == XCB_NONE) {
      result[index].topLevel = topLevels[next++].value_or(result[index].window);
    }
  }
  return result;
}

std::vector<X11Client> X11ClientList::read(const X11Connection& connection, X11ClientDetail detail) {
  xcb_connection_t* raw = connection.raw();
  const X11Atoms& atoms = connection.atoms();

  // The stacking list and the current desktop travel with the manager check.
  const auto stackingCookie =
      xcb_get_property(raw, 0, connection.root(), atoms.netClientListStacking, XCB_ATOM_ANY, 0, propertyLimit);
  const auto desktopCookie =
      xcb_get_property(raw, 0, connection.root(), atoms.netCurrentDesktop, XCB_ATOM_ANY, 0, propertyLimit);
  const bool managed = connection.windowManager().has_value();
  auto stacking = values32(raw, stackingCookie);
  const auto currentDesktop = values32(raw, desktopCookie);

  std::vector<std::pair<xcb_window_t, xcb_window_t>> clients;  // client, top level
  if (managed) {
    std::reverse(stacking.begin(), stacking.end());
    for (const std::uint32_t client : stacking) {
      clients.emplace_back(client, XCB_NONE);
    }
  } else {
    clients = clientsByStacking(connection);
  }
  if (detail != X11ClientDetail::everything) {
    return withOwners(connection, clients, nullptr, detail == X11ClientDetail::ownersAndFrames);
  }

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
  std::vector<std::pair<xcb_window_t, xcb_window_t>> kept;
  kept.reserve(result.size());
  for (const X11Client& client : result) {
    kept.emplace_back(client.window, client.topLevel);
  }
  const auto owned = withOwners(connection, kept, &result, true);
  for (std::size_t index = 0; index < result.size(); ++index) {
    result[index].processID = owned[index].processID;
    result[index].topLevel = owned[index].topLevel;
  }
  return result;
}

}  // namespace Sablekit
