// The X test fixture itself: a private server that clients can reach, a
// window manager that manages the screen, and test windows carrying the
// properties they were asked for.
#include <cstdlib>
#include <cstring>
#include <string>

#include <gtest/gtest.h>
#include <xcb/xcb.h>

#include "tests/support/X11TestWindow.h"
#include "tests/support/XvfbDisplay.h"

namespace Sablekit {
namespace {

using Testing::X11TestWindow;
using Testing::XvfbDisplay;

std::string property(xcb_connection_t* connection, xcb_window_t window, const char* name) {
  xcb_intern_atom_reply_t* atom = xcb_intern_atom_reply(
      connection, xcb_intern_atom(connection, 0, static_cast<std::uint16_t>(std::strlen(name)), name), nullptr);
  xcb_get_property_reply_t* reply = xcb_get_property_reply(
      connection, xcb_get_property(connection, 0, window, atom->atom, XCB_ATOM_ANY, 0, 1024), nullptr);
  std::string value(static_cast<const char*>(xcb_get_property_value(reply)),
                    static_cast<std::size_t>(xcb_get_property_value_length(reply)));
  std::free(reply);
  std::free(atom);
  return value;
}

TEST(XvfbFixture, ServesItsOwnDisplayWithAManagedWindowAndGoesAwayAfterwards) {
  if (!XvfbDisplay::installed() || !XvfbDisplay::windowManagerInstalled()) {
    GTEST_SKIP() << "Xvfb or openbox is not installed";
  }
  std::string name;
  {
    XvfbDisplay display({.width = 640, .height = 480, .windowManager = true});
    name = display.name();
    ASSERT_TRUE(name.starts_with(":"));
    xcb_connection_t* connection = xcb_connect(name.c_str(), nullptr);
    ASSERT_EQ(xcb_connection_has_error(connection), 0);
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(connection)).data;
    EXPECT_EQ(screen->width_in_pixels, 640);
    EXPECT_EQ(screen->height_in_pixels, 480);
    EXPECT_FALSE(property(connection, screen->root, "_NET_SUPPORTING_WM_CHECK").empty());

    {
      X11TestWindow window(display, {.title = "Fixture window", .instance = "fixture", .className = "Fixture"});
      EXPECT_EQ(property(connection, window.windowID(), "_NET_WM_NAME"), "Fixture window");
      EXPECT_EQ(property(connection, window.windowID(), "WM_CLASS"), std::string("fixture\0Fixture\0", 16));
      const std::string pid = property(connection, window.windowID(), "_NET_WM_PID");
      ASSERT_EQ(pid.size(), 4u);
      std::uint32_t value = 0;
      std::memcpy(&value, pid.data(), 4);
      EXPECT_EQ(static_cast<std::int32_t>(value), window.processID());
      EXPECT_FALSE(property(connection, window.windowID(), "WM_STATE").empty()) << "managed by openbox";
    }
    xcb_disconnect(connection);
  }
  xcb_connection_t* after = xcb_connect(name.c_str(), nullptr);
  EXPECT_NE(xcb_connection_has_error(after), 0) << "the server is gone with the fixture";
  xcb_disconnect(after);
}

}  // namespace
}  // namespace Sablekit
