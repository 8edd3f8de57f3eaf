// A tiny X client for tests: one top-level window of a plain colour with the
// title, class, process and type properties a test asks for. Prints the
// window's XID once the window is mapped, then obeys one command per line on
// standard input ("move X Y W H", "raise", "unmap", "map", "title TEXT",
// "activate"), answering "done" once the server has the request; exits when
// standard input closes.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include <unistd.h>
#include <xcb/xcb.h>

namespace {

struct Arguments {
  std::string title;
  std::string instance = "x11-test-client";
  std::string className = "X11TestClient";
  std::optional<std::string> gtkApplicationID;
  bool setPID = true;
  std::optional<std::uint32_t> pid;
  std::uint32_t colour = 0x808080;
  std::int16_t x = 0, y = 0;
  std::uint16_t width = 200, height = 150;
  std::string type;  // "" = not set, else the _NET_WM_WINDOW_TYPE_ suffix in upper case
  bool above = false;
  bool overrideRedirect = false;
  bool argb = false;
};

[[noreturn]] void usage(const char* message) {
  std::cerr << "x11-test-client: " << message
            << "\nusage: x11-test-client [--title T] [--class INSTANCE,CLASS] [--gtk-application-id ID]"
               " [--pid N | --no-pid] [--colour RRGGBB] [--geometry WxH+X+Y] [--type DOCK|DESKTOP|...]"
               " [--above] [--override-redirect] [--argb]\n";
  std::exit(2);
}

Arguments parse(int argc, char** argv) {
  Arguments arguments;
  for (int index = 1; index < argc; ++index) {
    const std::string option = argv[index];
    auto value = [&]() -> std::string {
      if (index + 1 >= argc) {
        usage(("missing value for " + option).c_str());
      }
      return argv[++index];
    };
    if (option == "--title") {
      arguments.title = value();
    } else if (option == "--class") {
      const std::string both = value();
      const auto comma = both.find(',');
      if (comma == std::string::npos) {
        usage("--class needs INSTANCE,CLASS");
      }
      arguments.instance = both.substr(0, comma);
      arguments.className = both.substr(comma + 1);
    } else if (option == "--gtk-application-id") {
      arguments.gtkApplicationID = value();
    } else if (option == "--pid") {
      arguments.pid = static_cast<std::uint32_t>(std::stoul(value()));
    } else if (option == "--no-pid") {
      arguments.setPID = false;
    } else if (option == "--colour") {
      arguments.colour = static_cast<std::uint32_t>(std::stoul(value(), nullptr, 16));
    } else if (option == "--geometry") {
      const std::string geometry = value();
      unsigned width = 0, height = 0;
      int x = 0, y = 0;
      if (std::sscanf(geometry.c_str(), "%ux%u+%d+%d", &width, &height, &x, &y) != 4) {
        usage("--geometry needs WxH+X+Y");
      }
      arguments.width = static_cast<std::uint16_t>(width);
      arguments.height = static_cast<std::uint16_t>(height);
      arguments.x = static_cast<std::int16_t>(x);
      arguments.y = static_cast<std::int16_t>(y);
    } else if (option == "--type") {
      arguments.type = value();
    } else if (option == "--above") {
      arguments.above = true;
    } else if (option == "--override-redirect") {
      arguments.overrideRedirect = true;
    } else if (option == "--argb") {
      arguments.argb = true;
    } else {
      usage(("unknown option " + option).c_str());
    }
  }
  return arguments;
}

class Client {
 public:
  explicit Client(const Arguments& arguments) : arguments_(arguments) {
    connection_ = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(connection_)) {
      std::cerr << "x11-test-client: cannot open the display\n";
      std::exit(1);
    }
    screen_ = xcb_setup_roots_iterator(xcb_get_setup(connection_)).data;
  }
  ~Client() { xcb_disconnect(connection_); }

  xcb_atom_t atom(const char* name) {
    xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(
        connection_, xcb_intern_atom(connection_, 0, static_cast<std::uint16_t>(std::strlen(name)), name), nullptr);
    const xcb_atom_t result = reply ? reply->atom : static_cast<xcb_atom_t>(XCB_ATOM_NONE);
    std::free(reply);
    return result;
  }

  void create() {
    window_ = xcb_generate_id(connection_);
    std::uint8_t depth = XCB_COPY_FROM_PARENT;
    xcb_visualid_t visual = screen_->root_visual;
    std::uint32_t pixel = arguments_.colour;
    xcb_colormap_t colormap = XCB_NONE;
    if (arguments_.argb) {
      visual = argbVisual();
      depth = 32;
      colormap = xcb_generate_id(connection_);
      xcb_create_colormap(connection_, XCB_COLORMAP_ALLOC_NONE, colormap, screen_->root, visual);
      pixel |= 0xff000000u;  // opaque: the test compares colours, not blending
    }
    std::vector<std::uint32_t> values{pixel, 0, static_cast<std::uint32_t>(arguments_.overrideRedirect),
                                      XCB_EVENT_MASK_STRUCTURE_NOTIFY | XCB_EVENT_MASK_EXPOSURE};
    std::uint32_t mask = XCB_CW_BACK_PIXEL | XCB_CW_BORDER_PIXEL | XCB_CW_OVERRIDE_REDIRECT | XCB_CW_EVENT_MASK;
    if (colormap != XCB_NONE) {
      values.push_back(colormap);
      mask |= XCB_CW_COLORMAP;
    }
    xcb_create_window(connection_, depth, window_, screen_->root, arguments_.x, arguments_.y, arguments_.width,
                      arguments_.height, 0, XCB_WINDOW_CLASS_INPUT_OUTPUT, visual, mask, values.data());
    setString(atom("_NET_WM_NAME"), atom("UTF8_STRING"), arguments_.title);
    setString(XCB_ATOM_WM_NAME, XCB_ATOM_STRING, arguments_.title);
    std::string wmClass = arguments_.instance;
    wmClass.push_back('\0');
    wmClass += arguments_.className;
    wmClass.push_back('\0');
    setString(XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, wmClass);
    if (arguments_.gtkApplicationID) {
      setString(atom("_GTK_APPLICATION_ID"), atom("UTF8_STRING"), *arguments_.gtkApplicationID);
    }
    if (arguments_.setPID) {
      const std::uint32_t pid = arguments_.pid.value_or(static_cast<std::uint32_t>(::getpid()));
      xcb_change_property(connection_, XCB_PROP_MODE_REPLACE, window_, atom("_NET_WM_PID"), XCB_ATOM_CARDINAL, 32, 1,
                          &pid);
    }
    if (!arguments_.type.empty()) {
      const xcb_atom_t type = atom(("_NET_WM_WINDOW_TYPE_" + arguments_.type).c_str());
      xcb_change_property(connection_, XCB_PROP_MODE_REPLACE, window_, atom("_NET_WM_WINDOW_TYPE"), XCB_ATOM_ATOM, 32,
                          1, &type);
    }
    if (arguments_.above) {
      const xcb_atom_t above = atom("_NET_WM_STATE_ABOVE");
      xcb_change_property(connection_, XCB_PROP_MODE_REPLACE, window_, atom("_NET_WM_STATE"), XCB_ATOM_ATOM, 32, 1,
                          &above);
    }
    // Ask the window manager to keep the requested position.
    std::uint32_t hints[18] = {};
    hints[0] = 1 | 2 | 4 | 8;  // USPosition | USSize | PPosition | PSize
    hints[1] = static_cast<std::uint32_t>(arguments_.x);
    hints[2] = static_cast<std::uint32_t>(arguments_.y);
    hints[3] = arguments_.width;
    hints[4] = arguments_.height;
    xcb_change_property(connection_, XCB_PROP_MODE_REPLACE, window_, XCB_ATOM_WM_NORMAL_HINTS, XCB_ATOM_WM_SIZE_HINTS,
                        32, 18, hints);
    xcb_map_window(connection_, window_);
    xcb_flush(connection_);
    waitFor(XCB_MAP_NOTIFY);
  }

  // Runs the commands on standard input until it closes.
  void serve() {
    std::cout << window_ << std::endl;
    std::string line;
    while (std::getline(std::cin, line)) {
      std::istringstream words(line);
      std::string command;
      words >> command;
      if (command == "move") {
        std::int32_t x = 0, y = 0;
        std::uint32_t width = 0, height = 0;
        words >> x >> y >> width >> height;
        const std::uint32_t values[] = {static_cast<std::uint32_t>(x), static_cast<std::uint32_t>(y), width, height};
        xcb_configure_window(
            connection_, window_,
            XCB_CONFIG_WINDOW_X | XCB_CONFIG_WINDOW_Y | XCB_CONFIG_WINDOW_WIDTH | XCB_CONFIG_WINDOW_HEIGHT, values);
      } else if (command == "raise") {
        const std::uint32_t above = XCB_STACK_MODE_ABOVE;
        xcb_configure_window(connection_, window_, XCB_CONFIG_WINDOW_STACK_MODE, &above);
      } else if (command == "unmap") {
        xcb_unmap_window(connection_, window_);
      } else if (command == "map") {
        xcb_map_window(connection_, window_);
      } else if (command == "title") {
        std::string title;
        std::getline(words >> std::ws, title);
        setString(atom("_NET_WM_NAME"), atom("UTF8_STRING"), title);
      } else if (command == "activate") {
        activate();
      }
      roundTrip();
      std::cout << "done" << std::endl;
    }
  }

 private:
  xcb_visualid_t argbVisual() {
    for (auto depths = xcb_screen_allowed_depths_iterator(screen_); depths.rem; xcb_depth_next(&depths)) {
      if (depths.data->depth != 32) {
        continue;
      }
      for (auto visuals = xcb_depth_visuals_iterator(depths.data); visuals.rem; xcb_visualtype_next(&visuals)) {
        if (visuals.data->_class == XCB_VISUAL_CLASS_TRUE_COLOR) {
          return visuals.data->visual_id;
        }
      }
    }
    usage("the display has no 32-bit visual");
  }

  void setString(xcb_atom_t property, xcb_atom_t type, const std::string& text) {
    xcb_change_property(connection_, XCB_PROP_MODE_REPLACE, window_, property, type, 8,
                        static_cast<std::uint32_t>(text.size()), text.data());
  }

  // Asks the window manager to activate the window, as a pager would.
  void activate() {
    xcb_client_message_event_t message{};
    message.response_type = XCB_CLIENT_MESSAGE;
    message.format = 32;
    message.window = window_;
    message.type = atom("_NET_ACTIVE_WINDOW");
    message.data.data32[0] = 2;  // from a pager: honoured without focus-stealing checks
    xcb_send_event(connection_, 0, screen_->root,
                   XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY | XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT,
                   reinterpret_cast<const char*>(&message));
  }

  void waitFor(std::uint8_t type) {
    while (xcb_generic_event_t* event = xcb_wait_for_event(connection_)) {
      const bool found = (event->response_type & 0x7f) == type;
      std::free(event);
      if (found) {
        return;
      }
    }
    std::cerr << "x11-test-client: the display went away\n";
    std::exit(1);
  }

  void roundTrip() { std::free(xcb_get_input_focus_reply(connection_, xcb_get_input_focus(connection_), nullptr)); }

  Arguments arguments_;
  xcb_connection_t* connection_ = nullptr;
  xcb_screen_t* screen_ = nullptr;
  xcb_window_t window_ = XCB_NONE;
};

}  // namespace

int main(int argc, char** argv) {
  Client client(parse(argc, argv));
  client.create();
  client.serve();
  return 0;
}
