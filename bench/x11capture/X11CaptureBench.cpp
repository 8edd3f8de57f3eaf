// The X11 capture's cost against a plain MIT-SHM read of the root window, on
// a private Xvfb with openbox and ten test windows (one of a protected
// application, cut out): the compositing screenshot alone and a whole
// capture.probe, each as a ratio to the plain read, at 1920 x 1080 and
// 3840 x 2160. The three are taken in turn within each round, so that a
// change of load on the machine weighs on all of them alike.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include <sys/ipc.h>
#include <sys/shm.h>
#include <xcb/shm.h>
#include <xcb/xcb.h>

#include "Sablekit/capture/CaptureHostServices.h"
#include "Sablekit/platform/x11/X11Desktop.h"
#include "Sablekit/protocol/CaptureProbeParameters.h"
#include "tests/support/X11TestWindow.h"
#include "tests/support/XvfbDisplay.h"

namespace {

using namespace Sablekit;
using Clock = std::chrono::steady_clock;
using Testing::X11TestWindow;
using Testing::XvfbDisplay;

constexpr int windowCount = 10;
constexpr int warmUpRounds = 3;
constexpr std::uint32_t excludedColour = 0xff00ff;

// Thrown, not exited, so that the display and its windows are torn down.
[[noreturn]] void fail(const std::string& message) {
  throw std::runtime_error(message);
}

// The baseline: one ShmGetImage of the whole root into a segment attached
// once, on a connection of its own.
class PlainShmRead {
 public:
  PlainShmRead(const std::string& displayName, int width, int height)
      : width_(static_cast<std::uint16_t>(width)), height_(static_cast<std::uint16_t>(height)) {
    connection_ = xcb_connect(displayName.c_str(), nullptr);
    if (xcb_connection_has_error(connection_)) {
      fail("cannot connect to " + displayName);
    }
    root_ = xcb_setup_roots_iterator(xcb_get_setup(connection_)).data->root;
    segmentID_ = ::shmget(IPC_PRIVATE, std::size_t{width_} * height_ * 4, IPC_CREAT | 0600);
    memory_ = segmentID_ < 0 ? reinterpret_cast<void*>(-1) : ::shmat(segmentID_, nullptr, 0);
    if (memory_ == reinterpret_cast<void*>(-1)) {
      fail("no shared memory");
    }
    segment_ = xcb_generate_id(connection_);
    if (xcb_generic_error_t* error =
            xcb_request_check(connection_, xcb_shm_attach_checked(connection_, segment_, segmentID_, 0))) {
      std::free(error);
      fail("the X server cannot attach shared memory");
    }
  }
  ~PlainShmRead() {
    xcb_shm_detach(connection_, segment_);
    xcb_disconnect(connection_);
    ::shmdt(memory_);
    ::shmctl(segmentID_, IPC_RMID, nullptr);
  }
  PlainShmRead(const PlainShmRead&) = delete;
  PlainShmRead& operator=(const PlainShmRead&) = delete;

  void read() {
    xcb_shm_get_image_reply_t* reply = xcb_shm_get_image_reply(
        connection_,
        xcb_shm_get_image(connection_, root_, 0, 0, width_, height_, ~0u, XCB_IMAGE_FORMAT_Z_PIXMAP, segment_, 0),
        nullptr);
    if (reply == nullptr) {
      fail("ShmGetImage of the root failed");
    }
    std::free(reply);
  }

 private:
  std::uint16_t width_, height_;
  xcb_connection_t* connection_ = nullptr;
  xcb_window_t root_ = XCB_NONE;
  int segmentID_ = -1;
  void* memory_ = nullptr;
  xcb_shm_seg_t segment_ = XCB_NONE;
};

double median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  const std::size_t middle = values.size() / 2;
  return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

double milliseconds(Clock::duration duration) {
  return std::chrono::duration<double, std::milli>(duration).count();
}

void run(int width, int height, int rounds) {
  XvfbDisplay display({.width = width, .height = height, .windowManager = true});
  // Ten overlapping windows in a cascade, each a third of the screen; the
  // fourth belongs to a password manager, which the probe protects by default.
  std::vector<std::unique_ptr<X11TestWindow>> windows;
  for (int index = 0; index < windowCount; ++index) {
    const bool isProtected = index == 3;
    windows.push_back(std::make_unique<X11TestWindow>(
        display, X11TestWindow::Options{.title = isProtected ? "Vault" : "Window " + std::to_string(index),
                                        .instance = isProtected ? "keepassxc" : "bench-window",
                                        .className = isProtected ? "KeePassXC" : "BenchWindow",
                                        .colour = isProtected ? excludedColour : 0x203040u + 0x101010u * index,
                                        .x = index * width / 16,
                                        .y = index * height / 16,
                                        .width = width / 3,
                                        .height = height / 3}));
  }
  windows.back()->activate();
  const std::uint32_t excludedWindow = windows[3]->windowID();

  RunLoop mainLoop;
  X11Desktop desktop(mainLoop, display.name());
  if (desktop.capabilities().windowExclusion == WindowExclusion::unavailable) {
    fail("the X server cannot leave windows out (no Composite or Render)");
  }
  CaptureHostServices services(desktop);
  PlainShmRead plain(display.name(), width, height);

  const auto mainDisplay = desktop.windowServer().mainDisplayID();
  if (!mainDisplay) {
    fail("no main display");
  }
  const CaptureFilter filter{.kind = CaptureFilter::Kind::displayExcludingWindows,
                             .display = {*mainDisplay, {0, 0, double(width), double(height)}, 1.0},
                             .excludedWindowIDs = {excludedWindow}};
  const ScreenshotConfiguration configuration{.width = width, .height = height, .showsCursor = false};
  const auto screenshot = [&] {
    auto image = desktop.screenCapture().screenshot(filter, configuration);
    const auto* pixels = std::get_if<PixelImage>(&image);
    if (!pixels || pixels->width != width || pixels->height != height) {
      fail("the compositing screenshot failed");
    }
    return image;
  };
  const auto probe = [&] {
    const CaptureProbeResult result = services.captureProbeService().probe(CaptureProbeParameters{});
    if (result.width != width || result.excludedWindowCount != 1 || result.visibleWindowCount != windowCount) {
      fail("the probe did not see ten windows and cut out one: " + std::to_string(result.visibleWindowCount) +
           " shown, " + std::to_string(result.excludedWindowCount) + " cut out");
    }
  };

  // What is measured is what it claims: the excluded window's colour is absent.
  {
    const auto image = std::get<PixelImage>(screenshot());
    for (std::size_t offset = 0; offset < image.bgra.size(); offset += 4) {
      const std::uint32_t colour =
          std::uint32_t{image.bgra[offset + 2]} << 16 | std::uint32_t{image.bgra[offset + 1]} << 8 | image.bgra[offset];
      if (colour == excludedColour) {
        fail("the excluded window shows in the screenshot");
      }
    }
  }

  std::vector<double> reads, composed, probes;
  for (int round = 0; round < warmUpRounds + rounds; ++round) {
    const auto start = Clock::now();
    plain.read();
    const auto afterRead = Clock::now();
    screenshot();
    const auto afterScreenshot = Clock::now();
    probe();
    const auto afterProbe = Clock::now();
    if (round >= warmUpRounds) {
      reads.push_back(milliseconds(afterRead - start));
      composed.push_back(milliseconds(afterScreenshot - afterRead));
      probes.push_back(milliseconds(afterProbe - afterScreenshot));
    }
  }
  const double read = median(reads);
  const double compose = median(composed);
  const double whole = median(probes);
  std::printf("| %d x %d | %d | %.2f ms | %.2f ms | %.2f ms | %.2f x | %.2f x |\n", width, height, rounds, read,
              compose, whole, compose / read, whole / read);
  std::fflush(stdout);
}

}  // namespace

// Usage: x11-capture-bench [ROUNDS]; wall-clock medians (the X server does
// most of the work, in another process).
int main(int argc, char** argv) {
  const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 30;
  try {
    if (!XvfbDisplay::installed() || !XvfbDisplay::windowManagerInstalled()) {
      fail("Xvfb and openbox are needed");
    }
    std::printf(
        "| screen | rounds | plain ShmGetImage (r) | compositing screenshot (c) | capture.probe (p) | c / r "
        "| p / r |\n");
    std::printf("|---|---|---|---|---|---|---|\n");
    run(1920, 1080, rounds);
    run(3840, 2160, rounds);
  } catch (const std::exception& error) {
    std::fprintf(stderr, "x11-capture-bench: %s\n", error.what());
    return 1;
  }
  return 0;
}
