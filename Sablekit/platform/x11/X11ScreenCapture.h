// Screen capture on X11 with exact exclusion: the server has no content
// filter, so the allowed windows are composed into a monitor-sized picture
// from their Composite pixmaps, bottom to top, and only that is read back.
#pragma once

#include <map>

#include <xcb/render.h>

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

  std::variant<PixelImage, ScreenCaptureError> compose(const Rect& monitor, const std::vector<Layer>& layers);
  std::variant<PixelImage, ScreenCaptureError> readBack(xcb_drawable_t drawable, const Rect& area);
  void drawCursor(PixelImage& image, const Rect& monitor);

  const X11Connection* connection_;
  bool compositing_ = false;
  // Render picture formats by visual, and the one of the root's visual.
  std::map<xcb_visualid_t, xcb_render_pictformat_t> formats_;
  xcb_render_pictformat_t rootFormat_ = XCB_NONE;
};

}  // namespace Sablekit
