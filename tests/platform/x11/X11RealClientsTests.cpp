// The X11 desktop with real clients on a private Xvfb with openbox: two
// xterms showing known words (one of them a "secret" with a colour of its
// own), xlogo and a small GTK 3 application. What the backend reports is
// checked against the standard tools (wmctrl, xdotool, xprop), and
// capture.frame through the built Vistrel must cut the secret terminal out
// and still read the other one.
#include <algorithm>
#include <chrono>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>
#include <libheif/heif.h>
#include <openssl/evp.h>

#include "Sablekit/capture/CaptureHostServices.h"
#include "Sablekit/platform/x11/X11Desktop.h"
#include "Sablekit/protocol/JsonCodec.h"
#include "tests/support/PixelChecks.h"
#include "tests/support/RunningChild.h"
#include "tests/support/X11Tools.h"
#include "tests/support/XvfbDisplay.h"

namespace Sablekit {
namespace {

using Testing::RunningChild;
using Testing::X11Tools;
using Testing::XvfbDisplay;

constexpr int screenWidth = 800;
constexpr int screenHeight = 600;
constexpr std::uint32_t secretColour = 0x88ff44;  // light, so that its black words stay readable
constexpr const char* gtkApplicationID = "org.example.SablekitTestApplication";
// A safety net for a client that never shows up, never a wait for a result.
constexpr auto safety = std::chrono::seconds(20);

// One top-level client as wmctrl -l -p -G reports it.
struct WmctrlWindow {
  std::uint32_t window = 0;
  std::int32_t processID = 0;
  Rect geometry;  // wmctrl's own reading: the client's size, its position offset by the frame
  std::string title;
};

std::vector<WmctrlWindow> parseWmctrl(const std::string& output) {
  std::vector<WmctrlWindow> windows;
  std::istringstream lines(output);
  std::string line;
  while (std::getline(lines, line)) {
    std::istringstream fields(line);
    std::string id, host;
    int desktop = 0;
    WmctrlWindow window;
    fields >> id >> desktop >> window.processID >> window.geometry.x >> window.geometry.y >> window.geometry.width >>
        window.geometry.height >> host;
    std::getline(fields >> std::ws, window.title);
    window.window = static_cast<std::uint32_t>(std::stoul(id, nullptr, 16));
    windows.push_back(window);
  }
  return windows;
}

// The four clients, started once for the suite.
class X11RealClientsTest : public ::testing::Test {
 public:
  static void SetUpTestSuite() {
    if (!unavailableReason().empty()) {
      return;
    }
    session_ = std::make_unique<Session>();
  }
  static void TearDownTestSuite() { session_.reset(); }

 protected:
  struct Client {
    std::unique_ptr<RunningChild> process;
    std::uint32_t window = 0;
  };

  struct Session {
    // Every client is started before the first is waited for, so that they
    // come up side by side.
    Session() {
      known.process = startXterm("Known terminal", "XTerm", "#ffffff", "+40+40", "VISIBLE HARBOUR LANTERN");
      secret.process = startXterm("Secret terminal", "SecretTerm", "#88ff44", "+300+420", "SECRET ORCHID CIPHER");
      logo.process = std::make_unique<RunningChild>("/usr/bin/env",
                                                    std::vector<std::string>{"xlogo", "-geometry", "200x200+560+40"},
                                                    display.environment(), "/dev/null");
      auto environment = display.environment();
      environment["NO_AT_BRIDGE"] = "1";
      environment["GDK_BACKEND"] = "x11";
      // GTK publishes the application identifier only once the application
      // is registered on a session bus, so the application gets one of its own.
      gtk.process = std::make_unique<RunningChild>(
          "/usr/bin/env",
          std::vector<std::string>{"dbus-run-session", "--", "/usr/bin/python3", SABLEKIT_GTK_TEST_APPLICATION,
                                   gtkApplicationID, "GTK test window", "GTK LABEL"},
          environment, "/dev/null");
      known.window = windowOf("XTerm");
      secret.window = windowOf("SecretTerm");
      logo.window = windowOf("XLogo");
      const auto announced = gtk.process->readLine(std::chrono::duration<double>(safety).count());
      if (!announced || announced->empty()) {
        throw std::runtime_error("the GTK test application did not show its window");
      }
      gtk.window = static_cast<std::uint32_t>(std::stoul(*announced));
    }

    std::unique_ptr<RunningChild> startXterm(const std::string& title,
                                             const std::string& className,
                                             const std::string& background,
                                             const std::string& position,
                                             const std::string& words) {
      return std::make_unique<RunningChild>(
          "/usr/bin/env",
          std::vector<std::string>{"xterm", "-class", className, "-title", title, "-bg", background, "-fg", "#000000",
                                   "-fa", "DejaVu Sans Mono", "-fs", "16", "-geometry", "36x5" + position, "-e", "sh",
                                   "-c", "echo " + words + "; exec sleep 600"},
          display.environment(), "/dev/null");
    }

    // The visible window of a WM_CLASS class, once the window manager shows it
    // (by class: xlogo does not name its process on its window).
    std::uint32_t windowOf(const std::string& className) {
      const std::string found =
          tools.run("xdotool", {"search", "--sync", "--onlyvisible", "--class", "^" + className + "$"});
      return static_cast<std::uint32_t>(std::stoul(found));
    }

    XvfbDisplay display{{.width = screenWidth, .height = screenHeight, .windowManager = true}};
    X11Tools tools{display};
    Client known, secret, logo, gtk;
    RunLoop mainLoop;
    X11Desktop desktop{mainLoop, display.name()};
  };

  static std::string unavailableReason() {
    if (!XvfbDisplay::installed() || !XvfbDisplay::windowManagerInstalled()) {
      return "Xvfb or openbox is not installed";
    }
    for (const char* program : {"xterm", "xlogo", "xdotool", "wmctrl", "xprop", "dbus-run-session"}) {
      if (!X11Tools::installed(program)) {
        return std::string(program) + " is not installed";
      }
    }
    return {};
  }

  void SetUp() override {
    if (const std::string reason = unavailableReason(); !reason.empty()) {
      GTEST_SKIP() << reason;
    }
    ASSERT_TRUE(session_ && session_->desktop.connected());
  }

  Session& session() { return *session_; }
  // The process the test started for a window (not for the GTK application,
  // which runs under its own session bus); 0 when unknown.
  std::int32_t processOf(std::uint32_t window) {
    for (const Client* client : {&session().known, &session().secret, &session().logo}) {
      if (client->window == window) {
        return client->process->processID();
      }
    }
    return 0;
  }
  std::vector<WmctrlWindow> wmctrl() { return parseWmctrl(session().tools.run("wmctrl", {"-l", "-p", "-G"})); }

  // The frame openbox draws around a client, as xprop reads it: left, right, top, bottom.
  std::array<double, 4> frameExtents(std::uint32_t window) {
    const std::string line = session().tools.run("xprop", {"-id", std::to_string(window), "_NET_FRAME_EXTENTS"});
    std::array<double, 4> extents{};
    const auto equals = line.find('=');
    if (equals != std::string::npos) {
      std::string values = line.substr(equals + 1);
      std::replace(values.begin(), values.end(), ',', ' ');
      std::istringstream(values) >> extents[0] >> extents[1] >> extents[2] >> extents[3];
    }
    return extents;
  }

  static inline std::unique_ptr<Session> session_;
};

TEST_F(X11RealClientsTest, TheWindowListIsWhatWmctrlAndXdotoolReportWithFramesAroundTheClients) {
  std::vector<WmctrlWindow> expected;
  std::vector<WindowListEntry> listed;
  // Each tool reads the server at its own moment; they agree once every
  // client is managed.
  const auto deadline = std::chrono::steady_clock::now() + safety;
  do {
    expected = wmctrl();
    listed = session().desktop.windowServer().onScreenWindows(false);
    if (listed.size() == 4 && expected.size() == 4) {
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  } while (std::chrono::steady_clock::now() < deadline);
  ASSERT_EQ(listed.size(), 4u);
  ASSERT_EQ(expected.size(), 4u);
  std::string visible = session().tools.run("xdotool", {"search", "--onlyvisible", "--name", "."});
  for (const WmctrlWindow& window : expected) {
    SCOPED_TRACE(window.title);
    EXPECT_NE(visible.find(std::to_string(window.window)), std::string::npos) << "xdotool sees it visible";
    const auto entry = std::find_if(listed.begin(), listed.end(), [&](const WindowListEntry& candidate) {
      return candidate.windowNumber == std::int64_t{window.window};
    });
    ASSERT_NE(entry, listed.end());
    // wmctrl knows only _NET_WM_PID, which xlogo does not set; the backend
    // asks the server which client made the window.
    EXPECT_EQ(entry->ownerPID, window.processID != 0 ? window.processID : processOf(window.window));
    EXPECT_EQ(entry->title, window.title);
    EXPECT_EQ(entry->layer, 0);
    ASSERT_TRUE(entry->bounds);
    const auto client = session().tools.clientArea(window.window);
    ASSERT_TRUE(client);
    EXPECT_EQ(client->width, window.geometry.width);
    EXPECT_EQ(client->height, window.geometry.height);
    const auto [left, right, top, bottom] = frameExtents(window.window);
    EXPECT_GT(top, 0) << "openbox draws a title bar";
    EXPECT_EQ(*entry->bounds,
              (Rect{client->x - left, client->y - top, client->width + left + right, client->height + top + bottom}));
  }
}

TEST_F(X11RealClientsTest, ActivatingWithXdotoolMovesTheCapturesFocusAndNamesTheApplication) {
  CaptureHostServices services(session().desktop);
  CaptureProbeParameters parameters;
  parameters.maximumDimension = screenWidth;
  struct Case {
    const Client& client;
    const char* bundleID;
    const char* title;
  };
  const Case cases[] = {{session().gtk, gtkApplicationID, "GTK test window"},
                        {session().known, "XTerm", "Known terminal"},
                        {session().logo, "XLogo", "xlogo"}};
  for (const Case& test : cases) {
    SCOPED_TRACE(test.title);
    session().tools.run("xdotool", {"windowactivate", "--sync", std::to_string(test.client.window)});
    ASSERT_EQ(session().tools.activeWindow(), test.client.window);
    const CaptureProbeResult result = services.captureProbeService().probe(parameters);
    EXPECT_EQ(result.focusedWindowID, test.client.window);
    EXPECT_EQ(result.focusedWindowTitle, test.title);
    EXPECT_EQ(result.focusedBundleID, test.bundleID);
  }
  // The GTK application's class is its script's name; the identifier comes
  // from _GTK_APPLICATION_ID alone.
  const std::string wmClass = session().tools.run("xprop", {"-id", std::to_string(session().gtk.window), "WM_CLASS"});
  EXPECT_EQ(wmClass.find(gtkApplicationID), std::string::npos) << wmClass;
}

// The bytes of standard Base64 text.
std::vector<std::uint8_t> base64Decode(const std::string& text) {
  std::vector<std::uint8_t> bytes(text.size() / 4 * 3);
  const int length =
      EVP_DecodeBlock(bytes.data(), reinterpret_cast<const unsigned char*>(text.data()), static_cast<int>(text.size()));
  if (length < 0) {
    return {};
  }
  // EVP_DecodeBlock counts padding as zero bytes.
  std::size_t padding = 0;
  for (auto character = text.rbegin(); character != text.rend() && *character == '=' && padding < 2; ++character) {
    ++padding;
  }
  bytes.resize(static_cast<std::size_t>(length) - padding);
  return bytes;
}

// A HEIC image decoded to opaque BGRA; empty when it does not decode.
PixelImage decodeHEIC(const std::vector<std::uint8_t>& bytes) {
  PixelImage image;
  heif_context* context = heif_context_alloc();
  heif_image_handle* handle = nullptr;
  heif_image* decoded = nullptr;
  if (heif_context_read_from_memory_without_copy(context, bytes.data(), bytes.size(), nullptr).code == heif_error_Ok &&
      heif_context_get_primary_image_handle(context, &handle).code == heif_error_Ok &&
      heif_decode_image(handle, &decoded, heif_colorspace_RGB, heif_chroma_interleaved_RGB, nullptr).code ==
          heif_error_Ok) {
    int stride = 0;
    const std::uint8_t* rows = heif_image_get_plane_readonly(decoded, heif_channel_interleaved, &stride);
    image.width = heif_image_get_width(decoded, heif_channel_interleaved);
    image.height = heif_image_get_height(decoded, heif_channel_interleaved);
    image.bgra.resize(static_cast<std::size_t>(image.width * image.height * 4));
    for (std::int64_t y = 0; y < image.height; ++y) {
      for (std::int64_t x = 0; x < image.width; ++x) {
        const std::uint8_t* rgb = rows + y * stride + x * 3;
        std::uint8_t* bgra = image.bgra.data() + (y * image.width + x) * 4;
        bgra[0] = rgb[2];
        bgra[1] = rgb[1];
        bgra[2] = rgb[0];
        bgra[3] = 0xff;
      }
    }
  }
  heif_image_release(decoded);
  heif_image_handle_release(handle);
  heif_context_free(context);
  return image;
}

TEST_F(X11RealClientsTest, VistrelFramesCutTheSecretTerminalOutAndReadTheKnownOne) {
  if (std::string_view(SABLEKIT_DEFAULT_PLATFORM) != "x11") {
    GTEST_SKIP() << "this build's Vistrel runs on " << SABLEKIT_DEFAULT_PLATFORM;
  }
  session().tools.run("xdotool", {"windowactivate", "--sync", std::to_string(session().known.window)});
  RunningChild host(VISTREL_PATH, {}, session().display.environment());
  struct Case {
    const char* what;
    bool excludeSecret;
  };
  // The frame without exclusion shows that the secret's colour and words
  // would be seen, so that their absence from the other frame means something.
  const Case cases[] = {{"everything", false}, {"secret excluded", true}};
  int id = 0;
  for (const Case& test : cases) {
    SCOPED_TRACE(test.what);
    JsonCodec::Value request{{"id", ++id}, {"method", "capture.frame"}};
    request["params"]["maximumDimension"] = screenWidth;
    if (test.excludeSecret) {
      request["params"]["excludedBundleIDs"] = JsonCodec::Value::array({"secretterm"});
    }
    host.write(request.dump() + "\n");
    const auto answer = JsonCodec::parse(host.readLine(120).value_or("{}"));
    ASSERT_EQ(answer.value("ok", false), true) << answer.dump().substr(0, 400);
    const auto& result = answer["result"];
    EXPECT_EQ(result["capture"]["focusedWindowID"], session().known.window);
    EXPECT_EQ(result["capture"]["excludedWindowCount"], test.excludeSecret ? 1 : 0);
    EXPECT_EQ(result["encoding"], "heic");
    const auto bytes = base64Decode(result["imageBase64"].get<std::string>());
    EXPECT_EQ(std::int64_t(bytes.size()), result["byteLength"].get<std::int64_t>());
    const PixelImage image = decodeHEIC(bytes);
    ASSERT_GT(image.width, 0) << "the frame is not a HEIC image";
    EXPECT_EQ(image.width, result["capture"]["width"].get<std::int64_t>());
    EXPECT_EQ(image.height, result["capture"]["height"].get<std::int64_t>());
    // HEIC is lossy: colours come back near, not exact.
    EXPECT_EQ(Testing::containsColour(image, secretColour, 24), !test.excludeSecret);
    const std::string text = result["ocr"]["fullText"].get<std::string>();
    EXPECT_NE(text.find("HARBOUR"), std::string::npos) << text;
    EXPECT_EQ(text.find("ORCHID") != std::string::npos, !test.excludeSecret) << text;
  }
  host.closeInput();
  EXPECT_EQ(host.waitForExit(), 0);
}

}  // namespace
}  // namespace Sablekit
