// Running X command-line tools on a test display and reading window geometry
// and focus over the test's own connection.
#include "tests/support/X11Tools.h"

#include <cstdlib>
#include <cstring>
#include <stdexcept>

#include <sys/uio.h>
#include <xcb/randr.h>
#include <xcb/xcb.h>
#include <xcb/xcbext.h>

#include "tests/support/RunningChild.h"

namespace Sablekit::Testing {

namespace {

// A safety net for a hung tool, never a wait for a result.
constexpr double toolSafetySeconds = 20.0;

// env looks the tool up on the PATH, so the tests need not know where it lives.
constexpr const char* environmentProgram = "/usr/bin/env";

}  // namespace

bool X11Tools::installed(const std::string& program) {
  RunningChild lookup("/bin/sh", {"-c", "command -v \"$0\" >/dev/null", program});
  return lookup.waitForExit(toolSafetySeconds) == 0;
}

X11Tools::X11Tools(const XvfbDisplay& display)
    : display_(display), connection_(xcb_connect(display.name().c_str(), nullptr)) {
  if (xcb_connection_has_error(connection_)) {
    xcb_disconnect(connection_);
    throw std::runtime_error("cannot connect to " + display.name());
  }
}

X11Tools::~X11Tools() {
  xcb_disconnect(connection_);
}

std::string X11Tools::run(const std::string& program, const std::vector<std::string>& arguments) const {
  std::vector<std::string> command{program};
  command.insert(command.end(), arguments.begin(), arguments.end());
  RunningChild tool(environmentProgram, command, display_.environment());
  tool.closeInput();
  std::string output = tool.readToEnd(toolSafetySeconds);
  if (const int status = tool.waitForExit(toolSafetySeconds); status != 0) {
    throw std::runtime_error(program + " exited with status " + std::to_string(status));
  }
  return output;
}

std::optional<Rect> X11Tools::clientArea(std::uint32_t window) const {
  const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(connection_)).data->root;
  xcb_get_geometry_reply_t* geometry =
      xcb_get_geometry_reply(connection_, xcb_get_geometry(connection_, window), nullptr);
  xcb_translate_coordinates_reply_t* origin =
      xcb_translate_coordinates_reply(connection_, xcb_translate_coordinates(connection_, window, root, 0, 0), nullptr);
  std::optional<Rect> area;
  if (geometry && origin) {
    area = Rect{static_cast<double>(origin->dst_x), static_cast<double>(origin->dst_y),
                static_cast<double>(geometry->width), static_cast<double>(geometry->height)};
  }
  std::free(geometry);
  std::free(origin);
  return area;
}

std::optional<std::uint32_t> X11Tools::activeWindow() const {
  const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(connection_)).data->root;
  const char name[] = "_NET_ACTIVE_WINDOW";
  xcb_intern_atom_reply_t* atom =
      xcb_intern_atom_reply(connection_, xcb_intern_atom(connection_, 0, sizeof name - 1, name), nullptr);
  if (!atom) {
    return std::nullopt;
  }
  xcb_get_property_reply_t* reply = xcb_get_property_reply(
      connection_, xcb_get_property(connection_, 0, root, atom->atom, XCB_ATOM_WINDOW, 0, 1), nullptr);
  std::free(atom);
  std::optional<std::uint32_t> active;
  if (reply && xcb_get_property_value_length(reply) == 4) {
    std::uint32_t window = 0;
    std::memcpy(&window, xcb_get_property_value(reply), sizeof window);
    if (window != XCB_NONE) {
      active = window;
    }
  }
  std::free(reply);
  return active;
}

void X11Tools::splitIntoMonitors(int count, int width) const {
  const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(connection_)).data;
  xcb_randr_query_version_reply_t* version =
      xcb_randr_query_version_reply(connection_, xcb_randr_query_version(connection_, 1, 5), nullptr);
  const bool monitorsKnown = version && (version->major_version > 1 || version->minor_version >= 5);
  std::free(version);
  if (!monitorsKnown) {
    throw std::runtime_error("the server has no RandR 1.5 monitors");
  }
  // The leftmost monitor takes over the screen's one output, so that the
  // server drops the automatic monitor covering the whole screen.
  xcb_randr_get_screen_resources_current_reply_t* resources = xcb_randr_get_screen_resources_current_reply(
      connection_, xcb_randr_get_screen_resources_current(connection_, screen->root), nullptr);
  std::vector<xcb_randr_output_t> outputs;
  if (resources) {
    const xcb_randr_output_t* first = xcb_randr_get_screen_resources_current_outputs(resources);
    outputs.assign(first, first + xcb_randr_get_screen_resources_current_outputs_length(resources));
  }
  std::free(resources);
  for (int index = 0; index < count; ++index) {
    const std::string name = "test-monitor-" + std::to_string(index);
    xcb_intern_atom_reply_t* atom = xcb_intern_atom_reply(
        connection_, xcb_intern_atom(connection_, 0, static_cast<std::uint16_t>(name.size()), name.c_str()), nullptr);
    if (!atom) {
      throw std::runtime_error("cannot name a monitor");
    }
    const bool owning = index == 0 && !outputs.empty();
    xcb_randr_monitor_info_t info{};
    info.name = atom->atom;
    info.primary = index == 0 ? 1 : 0;
    info.nOutput = owning ? 1 : 0;
    info.x = static_cast<std::int16_t>(index * width);
    info.y = 0;
    info.width = static_cast<std::uint16_t>(width);
    info.height = screen->height_in_pixels;
    info.width_in_millimeters = static_cast<std::uint32_t>(width / 4);
    info.height_in_millimeters = static_cast<std::uint32_t>(screen->height_in_pixels / 4);
    std::free(atom);
    // The monitor followed by its outputs. Sent by hand: the generated
    // xcb_randr_set_monitor leaves one of its request parts uninitialised.
    std::vector<std::uint8_t> body(sizeof info + (owning ? sizeof(xcb_randr_output_t) : 0));
    std::memcpy(body.data(), &info, sizeof info);
    if (owning) {
      std::memcpy(body.data() + sizeof info, outputs.data(), sizeof(xcb_randr_output_t));
    }
    xcb_randr_set_monitor_request_t header{};
    header.window = screen->root;
    iovec parts[4] = {{}, {}, {&header, sizeof header}, {body.data(), body.size()}};
    xcb_protocol_request_t protocol{.count = 2, .ext = &xcb_randr_id, .opcode = XCB_RANDR_SET_MONITOR, .isvoid = 1};
    const xcb_void_cookie_t cookie{xcb_send_request(connection_, XCB_REQUEST_CHECKED, parts + 2, &protocol)};
    xcb_generic_error_t* error = xcb_request_check(connection_, cookie);
    if (error) {
      std::free(error);
      throw std::runtime_error("the server refused a monitor");
    }
  }
}

}  // namespace Sablekit::Testing
