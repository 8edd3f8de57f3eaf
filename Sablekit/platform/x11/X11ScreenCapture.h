// Screen capture on X11 with exact exclusion: the server has no content
// filter, so the allowed windows are composed into a monitor-sized picture
// from their Composite pixmaps, bottom to top, and only that is read back.
#pragma once

#include <map>
#include <mutex>
#include <optional>

#include <xcb/render.h>
#include <xcb/shm.h>

#include "Sablekit/platform/ScreenCapture.h"
#include "Sablekit/platform/x11/X11Connection.h"

namespace Sablekit {

// Any thread, several at once (each screenshot uses server resources of its
// own). The connection must outlive the service; the automatic redirection
// of the root's children made at construction lasts as long as it.
class X11ScreenCapture final : public ScreenCapture {
 public:
  // Without a connection (no display) every call answers an error.
  explicit X11ScreenCapture(const X11Connection* connection);
  ~X11ScreenCapture() override;
  X11ScreenCapture(const X11ScreenCapture&) = delete;
  X11ScreenCapture& operator=(const X11ScreenCapture&) = delete;

  // Whether excluded windows can be cut out (Composite, Render and the
  // redirection all available). Without it a screenshot that must leave
  // anything out fails rather than grab the screen as it is.
  bool canExclude() const { return compositing_; }

  // The monitors (1 pixel per point), every top-level client, mapped or not,
  // and the processes owning them.
  std::variant<ShareableContent, ScreenCaptureError> shareableContent() override;
  // The filter's monitor with only the allowed windows, the cursor when
  // configured, scaled to the configured size, BGRA.
  std::variant<PixelImage, ScreenCaptureError> screenshot(const CaptureFilter& filter,
                                                          const ScreenshotConfiguration& configuration) override;

 private:
  struct Layer;
  // A shared-memory segment the server has attached, for reading images back.
  struct SharedSegment {
    int id = -1;
    void* memory = nullptr;
    xcb_shm_seg_t segment = XCB_NONE;
    std::size_t size = 0;
  };
  // A monitor-sized pixmap to compose into, with its Render picture.
  struct Canvas {
    xcb_pixmap_t pixmap = XCB_NONE;
    xcb_render_picture_t picture = XCB_NONE;
    std::uint16_t width = 0, height = 0;
  };

  std::variant<PixelImage, ScreenCaptureError> compose(const Rect& monitor, const std::vector<Layer>& layers);
  std::variant<PixelImage, ScreenCaptureError> readBack(xcb_drawable_t drawable, const Rect& area);
  void drawCursor(PixelImage& image, const Rect& monitor);
  // A segment of at least `size` bytes: the spare one when it is large
  // enough, else a fresh one; absent when the server cannot attach one.
  std::optional<SharedSegment> takeSegment(std::size_t size);
  // Keeps `segment` as the spare for the next screenshot, or frees it when
  // another screenshot has returned one meanwhile.
  void returnSegment(SharedSegment segment);
  void freeSegment(const SharedSegment& segment);
  // The same for the canvas: the spare one when it has this size, else a new one.
  Canvas takeCanvas(std::uint16_t width, std::uint16_t height);
  void returnCanvas(const Canvas& canvas);
  void freeCanvas(const Canvas& canvas);

  const X11Connection* connection_;
  bool compositing_ = false;
  // Render picture formats by visual, and the one of the root's visual.
  std::map<xcb_visualid_t, xcb_render_pictformat_t> formats_;
  xcb_render_pictformat_t rootFormat_ = XCB_NONE;
  // Attaching a segment costs a wait for the server and fresh pages on both
  // sides, and a monitor-sized pixmap fresh pages on the server, so one of
  // each is kept between screenshots. The mutex guards only the spares; a
  // screenshot holds the ones it took as its own while it works.
  std::mutex spareMutex_;
  std::optional<SharedSegment> spareSegment_;
  std::optional<Canvas> spareCanvas_;
};

}  // namespace Sablekit
