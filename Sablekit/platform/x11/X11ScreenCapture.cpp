// Composing, reading back and scaling screenshots of one X monitor.
#include "Sablekit/platform/x11/X11ScreenCapture.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <set>
#include <unordered_map>
#include <unordered_set>

#include <pixman.h>
#include <sys/ipc.h>
#include <sys/shm.h>
#include <xcb/composite.h>
#include <xcb/shm.h>
#include <xcb/xfixes.h>

#include "Sablekit/platform/ImageScaling.h"
#include "Sablekit/platform/x11/X11ClientList.h"

namespace Sablekit {

namespace {

ScreenCaptureError noDisplay() {
  return {"No X display is reachable."};
}

// Drops the errors of requests sent without waiting for them (a window
// unmapped between listing and painting): nothing else reads this
// connection's event queue, so they would pile up.
void discardQueuedErrors(xcb_connection_t* connection) {
  while (xcb_generic_event_t* event = xcb_poll_for_event(connection)) {
    std::free(event);
  }
}

// The bits per pixel the server uses for images of `depth`; 0 when unknown.
int bitsPerPixel(xcb_connection_t* connection, std::uint8_t depth) {
  for (auto formats = xcb_setup_pixmap_formats_iterator(xcb_get_setup(connection)); formats.rem;
       xcb_format_next(&formats)) {
    if (formats.data->depth == depth) {
      return formats.data->bits_per_pixel;
    }
  }
  return 0;
}

// Copies 32-bit pixels (B, G, R, x in memory) into an opaque BGRA image, in
// one pass through pixman's vectorised conversion.
PixelImage opaqueImage(const std::uint8_t* pixels, std::int64_t width, std::int64_t height) {
  PixelImage image{width, height, std::vector<std::uint8_t>(static_cast<std::size_t>(width * height * 4))};
  pixman_image_t* from = pixman_image_create_bits(PIXMAN_x8r8g8b8, static_cast<int>(width), static_cast<int>(height),
                                                  reinterpret_cast<std::uint32_t*>(const_cast<std::uint8_t*>(pixels)),
                                                  static_cast<int>(width * 4));
  pixman_image_t* to =
      pixman_image_create_bits(PIXMAN_a8r8g8b8, static_cast<int>(width), static_cast<int>(height),
                               reinterpret_cast<std::uint32_t*>(image.bgra.data()), static_cast<int>(width * 4));
  pixman_image_composite32(PIXMAN_OP_SRC, from, nullptr, to, 0, 0, 0, 0, 0, 0, static_cast<int>(width),
                           static_cast<int>(height));
  pixman_image_unref(from);
  pixman_image_unref(to);
  return image;
}

}  // namespace

// One window to paint: a child of the root, in root coordinates with its border.
struct X11ScreenCapture::Layer {
  xcb_window_t window = XCB_NONE;
  Rect bounds;
  xcb_visualid_t visual = XCB_NONE;
  std::uint8_t depth = 0;
};

X11ScreenCapture::X11ScreenCapture(const X11Connection* connection) : connection_(connection) {
  if (!connection_ || !connection_->hasComposite() || !connection_->hasRender()) {
    return;
  }
  xcb_connection_t* raw = connection_->raw();
  X11Reply<xcb_render_query_pict_formats_reply_t> formats(
      xcb_render_query_pict_formats_reply(raw, xcb_render_query_pict_formats(raw), nullptr));
  if (!formats) {
    return;
  }
  for (auto screens = xcb_render_query_pict_formats_screens_iterator(formats.get()); screens.rem;
       xcb_render_pictscreen_next(&screens)) {
    for (auto depths = xcb_render_pictscreen_depths_iterator(screens.data); depths.rem;
         xcb_render_pictdepth_next(&depths)) {
      for (auto visuals = xcb_render_pictdepth_visuals_iterator(depths.data); visuals.rem;
           xcb_render_pictvisual_next(&visuals)) {
        formats_.emplace(visuals.data->visual, visuals.data->format);
      }
    }
  }
  const auto root = formats_.find(connection_->screen().root_visual);
  if (root == formats_.end() || bitsPerPixel(raw, connection_->screen().root_depth) != 32) {
    return;
  }
  rootFormat_ = root->second;
  // Once and for good: every top-level window keeps an off-screen pixmap of
  // its own while the screen still shows as before.
  X11Reply<xcb_generic_error_t> error(xcb_request_check(
      raw, xcb_composite_redirect_subwindows_checked(raw, connection_->root(), XCB_COMPOSITE_REDIRECT_AUTOMATIC)));
  compositing_ = error == nullptr;
}

X11ScreenCapture::~X11ScreenCapture() {
  if (spareSegment_) {
    freeSegment(*spareSegment_);
  }
  if (spareCanvas_) {
    freeCanvas(*spareCanvas_);
  }
  if (connection_) {
    xcb_flush(connection_->raw());
  }
}

std::optional<X11ScreenCapture::SharedSegment> X11ScreenCapture::takeSegment(std::size_t size) {
  std::optional<SharedSegment> spare;
  {
    const std::lock_guard lock(spareMutex_);
    spare.swap(spareSegment_);
  }
  if (spare && spare->size >= size) {
    return spare;
  }
  if (spare) {
    freeSegment(*spare);
  }
  xcb_connection_t* raw = connection_->raw();
  SharedSegment segment{.id = ::shmget(IPC_PRIVATE, size, IPC_CREAT | 0600), .size = size};
  if (segment.id < 0) {
    return std::nullopt;
  }
  segment.memory = ::shmat(segment.id, nullptr, 0);
  if (segment.memory == reinterpret_cast<void*>(-1)) {
    ::shmctl(segment.id, IPC_RMID, nullptr);
    return std::nullopt;
  }
  segment.segment = xcb_generate_id(raw);
  X11Reply<xcb_generic_error_t> attachError(
      xcb_request_check(raw, xcb_shm_attach_checked(raw, segment.segment, static_cast<std::uint32_t>(segment.id), 0)));
  // Both sides are attached now (or the server refused): the segment goes
  // with its last detachment, even if this process dies.
  ::shmctl(segment.id, IPC_RMID, nullptr);
  if (attachError) {
    ::shmdt(segment.memory);
    return std::nullopt;
  }
  return segment;
}

void X11ScreenCapture::returnSegment(SharedSegment segment) {
  {
    const std::lock_guard lock(spareMutex_);
    if (!spareSegment_) {
      spareSegment_ = segment;
      return;
    }
  }
  freeSegment(segment);
}

void X11ScreenCapture::freeSegment(const SharedSegment& segment) {
  xcb_shm_detach(connection_->raw(), segment.segment);
  ::shmdt(segment.memory);
}

std::variant<ShareableContent, ScreenCaptureError> X11ScreenCapture::shareableContent() {
  if (!connection_ || !connection_->healthy()) {
    return noDisplay();
  }
  const auto monitors = connection_->monitors();
  ShareableContent content;
  for (const X11Monitor& monitor : monitors) {
    content.displays.push_back({monitor.identifier, X11Connection::toGlobal(monitor.frame, monitors), 1.0});
  }
  std::unordered_set<std::int32_t> seen;
  for (const X11Client& client : X11ClientList::read(*connection_)) {
    content.windows.push_back({client.window, X11Connection::toGlobal(client.bounds, monitors)});
    if (client.processID && seen.insert(*client.processID).second) {
      content.applications.push_back({*client.processID});
    }
  }
  return content;
}

std::variant<PixelImage, ScreenCaptureError> X11ScreenCapture::screenshot(
    const CaptureFilter& filter,
    const ScreenshotConfiguration& configuration) {
  if (!connection_ || !connection_->healthy()) {
    return noDisplay();
  }
  if (configuration.width <= 0 || configuration.height <= 0 ||
      configuration.width > ScreenshotConfiguration::maximumSide ||
      configuration.height > ScreenshotConfiguration::maximumSide) {
    return ScreenCaptureError{"The screenshot size is invalid."};
  }
  const auto monitors = connection_->monitors();
  const auto monitor = std::find_if(monitors.begin(), monitors.end(), [&](const X11Monitor& candidate) {
    return candidate.identifier == filter.display.displayID;
  });
  if (monitor == monitors.end()) {
    return ScreenCaptureError{"The display is no longer connected."};
  }
  const Rect area = monitor->frame;
  xcb_connection_t* raw = connection_->raw();

  // Which client each child of the root holds.
  const std::vector<X11Client> clients = X11ClientList::read(*connection_, X11ClientDetail::ownersAndFrames);
  std::unordered_map<xcb_window_t, const X11Client*> clientOf;
  for (const X11Client& client : clients) {
    clientOf.emplace(client.topLevel, &client);
  }
  const std::set<std::uint32_t> excludedIDs(filter.excludedWindowIDs.begin(), filter.excludedWindowIDs.end());
  std::set<std::int32_t> excludedProcesses;
  for (const X11Client& client : clients) {
    if (client.processID && (excludedIDs.contains(client.window) || excludedIDs.contains(client.topLevel))) {
      excludedProcesses.insert(*client.processID);
    }
  }
  const bool applicationOnly = filter.kind == CaptureFilter::Kind::displayIncludingApplication;

  // The root's children bottom to top, each asked for its state at once.
  X11Reply<xcb_query_tree_reply_t> tree(xcb_query_tree_reply(raw, xcb_query_tree(raw, connection_->root()), nullptr));
  if (!tree) {
    return ScreenCaptureError{"The window tree cannot be read."};
  }
  const xcb_window_t* children = xcb_query_tree_children(tree.get());
  const int count = xcb_query_tree_children_length(tree.get());
  std::vector<std::pair<xcb_get_window_attributes_cookie_t, xcb_get_geometry_cookie_t>> cookies;
  for (int index = 0; index < count; ++index) {
    cookies.emplace_back(xcb_get_window_attributes(raw, children[index]), xcb_get_geometry(raw, children[index]));
  }
  // The painted children on the monitor; the owners of those that hold no
  // client are asked for all at once.
  struct Candidate {
    Layer layer;
    const X11Client* held = nullptr;
    X11Connection::ProcessRequest owner{};
  };
  std::vector<Candidate> candidates;
  for (int index = 0; index < count; ++index) {
    X11Reply<xcb_get_window_attributes_reply_t> attributes(
        xcb_get_window_attributes_reply(raw, cookies[static_cast<std::size_t>(index)].first, nullptr));
    X11Reply<xcb_get_geometry_reply_t> geometry(
        xcb_get_geometry_reply(raw, cookies[static_cast<std::size_t>(index)].second, nullptr));
    if (!attributes || !geometry || attributes->map_state != XCB_MAP_STATE_VIEWABLE ||
        attributes->_class != XCB_WINDOW_CLASS_INPUT_OUTPUT) {
      continue;
    }
    const double border = 2.0 * geometry->border_width;
    const Layer layer{children[index],
                      {static_cast<double>(geometry->x), static_cast<double>(geometry->y), geometry->width + border,
                       geometry->height + border},
                      attributes->visual,
                      geometry->depth};
    if (!layer.bounds.intersects(area)) {
      continue;
    }
    const auto client = clientOf.find(children[index]);
    Candidate candidate{.layer = layer, .held = client == clientOf.end() ? nullptr : client->second};
    if (!candidate.held) {
      candidate.owner = connection_->askProcess(children[index]);
    }
    candidates.push_back(candidate);
  }
  std::vector<Layer> layers;
  bool leftOut = false;
  for (const Candidate& candidate : candidates) {
    const xcb_window_t window = candidate.layer.window;
    const X11Client* held = candidate.held;
    // A window that is no client (a menu or tooltip) goes with its process:
    // out when that process owns an excluded window or cannot be told.
    const std::optional<std::int32_t> owner = held ? held->processID : connection_->process(candidate.owner);
    bool allowed = false;
    if (applicationOnly) {
      allowed = owner == filter.includedProcessID;
    } else if (held) {
      allowed = !excludedIDs.contains(held->window) && !excludedIDs.contains(window);
    } else {
      allowed = owner && !excludedProcesses.contains(*owner) && !excludedIDs.contains(window);
    }
    if (allowed) {
      layers.push_back(candidate.layer);
    } else {
      leftOut = true;
    }
  }

  std::variant<PixelImage, ScreenCaptureError> captured;
  if (!leftOut && !applicationOnly) {
    captured = readBack(connection_->root(), area);  // nothing to cut: the screen as it is
  } else if (!compositing_) {
    return ScreenCaptureError{
        "This X server cannot leave windows out of a capture (no Composite and Render extensions)."};
  } else {
    captured = compose(area, layers);
  }
  if (auto* image = std::get_if<PixelImage>(&captured)) {
    if (configuration.showsCursor) {
      drawCursor(*image, area);
    }
    return scaledByArea(std::move(*image), configuration.width, configuration.height);
  }
  return captured;
}

std::variant<PixelImage, ScreenCaptureError> X11ScreenCapture::compose(const Rect& monitor,
                                                                       const std::vector<Layer>& layers) {
  xcb_connection_t* raw = connection_->raw();
  const auto width = static_cast<std::uint16_t>(monitor.width);
  const auto height = static_cast<std::uint16_t>(monitor.height);
  const Canvas canvas = takeCanvas(width, height);
  const xcb_render_picture_t target = canvas.picture;

  // Each window is painted only where no opaque window above it covers it,
  // so no pixel is painted twice by opaque windows. A window Render cannot
  // describe stays out and covers nothing.
  std::vector<const Layer*> painted;
  for (const Layer& layer : layers) {
    if (formats_.contains(layer.visual)) {
      painted.push_back(&layer);
    }
  }
  std::vector<std::vector<xcb_rectangle_t>> visible(painted.size());
  pixman_region32_t covered;
  pixman_region32_init(&covered);
  for (std::size_t index = painted.size(); index-- > 0;) {
    const Layer& layer = *painted[index];
    pixman_region32_t own;
    pixman_region32_init_rect(&own, static_cast<int>(layer.bounds.x - monitor.x),
                              static_cast<int>(layer.bounds.y - monitor.y), static_cast<unsigned>(layer.bounds.width),
                              static_cast<unsigned>(layer.bounds.height));
    pixman_region32_t shown;
    pixman_region32_init(&shown);
    pixman_region32_subtract(&shown, &own, &covered);
    int count = 0;
    const pixman_box32_t* boxes = pixman_region32_rectangles(&shown, &count);
    for (int box = 0; box < count; ++box) {
      const int left = std::max(boxes[box].x1, 0);
      const int top = std::max(boxes[box].y1, 0);
      const int right = std::min(boxes[box].x2, static_cast<int>(width));
      const int bottom = std::min(boxes[box].y2, static_cast<int>(height));
      if (left < right && top < bottom) {
        visible[index].push_back({static_cast<std::int16_t>(left), static_cast<std::int16_t>(top),
                                  static_cast<std::uint16_t>(right - left), static_cast<std::uint16_t>(bottom - top)});
      }
    }
    if (layer.depth != 32) {
      pixman_region32_union(&covered, &covered, &own);
    }
    pixman_region32_fini(&shown);
    pixman_region32_fini(&own);
  }
  pixman_region32_fini(&covered);

  // The desktop background: the wallpaper pixmap when one is published, else
  // black. The whole canvas is filled first, so that no pixel of an earlier
  // screenshot survives a window that fails to paint.
  const xcb_rectangle_t whole{0, 0, width, height};
  xcb_render_fill_rectangles(raw, XCB_RENDER_PICT_OP_SRC, target, {0, 0, 0, 0xffff}, 1, &whole);
  const auto wallpaper = connection_->property32(connection_->root(), connection_->atoms().xrootpmapID);
  if (!wallpaper.empty() && wallpaper.front() != XCB_NONE) {
    const xcb_render_picture_t source = xcb_generate_id(raw);
    xcb_render_create_picture(raw, source, wallpaper.front(), rootFormat_, 0, nullptr);
    xcb_render_composite(raw, XCB_RENDER_PICT_OP_SRC, source, XCB_NONE, target, static_cast<std::int16_t>(monitor.x),
                         static_cast<std::int16_t>(monitor.y), 0, 0, 0, 0, width, height);
    xcb_render_free_picture(raw, source);
  }

  for (std::size_t index = 0; index < painted.size(); ++index) {
    if (visible[index].empty()) {
      continue;  // wholly covered
    }
    const Layer& layer = *painted[index];
    const xcb_pixmap_t contents = xcb_generate_id(raw);
    xcb_composite_name_window_pixmap(raw, layer.window, contents);
    const xcb_render_picture_t source = xcb_generate_id(raw);
    xcb_render_create_picture(raw, source, contents, formats_.at(layer.visual), 0, nullptr);
    xcb_render_set_picture_clip_rectangles(raw, target, 0, 0, static_cast<std::uint32_t>(visible[index].size()),
                                           visible[index].data());
    // Windows with an alpha channel are blended; the others cover what is below.
    const std::uint8_t op = layer.depth == 32 ? XCB_RENDER_PICT_OP_OVER : XCB_RENDER_PICT_OP_SRC;
    xcb_render_composite(
        raw, op, source, XCB_NONE, target, 0, 0, 0, 0, static_cast<std::int16_t>(layer.bounds.x - monitor.x),
        static_cast<std::int16_t>(layer.bounds.y - monitor.y), static_cast<std::uint16_t>(layer.bounds.width),
        static_cast<std::uint16_t>(layer.bounds.height));
    xcb_render_free_picture(raw, source);
    xcb_free_pixmap(raw, contents);
  }
  const std::uint32_t noClip = XCB_NONE;
  xcb_render_change_picture(raw, target, XCB_RENDER_CP_CLIP_MASK, &noClip);
  auto image = readBack(canvas.pixmap, {0, 0, monitor.width, monitor.height});
  returnCanvas(canvas);
  xcb_flush(raw);
  discardQueuedErrors(raw);
  return image;
}

X11ScreenCapture::Canvas X11ScreenCapture::takeCanvas(std::uint16_t width, std::uint16_t height) {
  std::optional<Canvas> spare;
  {
    const std::lock_guard lock(spareMutex_);
    spare.swap(spareCanvas_);
  }
  if (spare && spare->width == width && spare->height == height) {
    return *spare;
  }
  if (spare) {
    freeCanvas(*spare);
  }
  xcb_connection_t* raw = connection_->raw();
  Canvas canvas{.pixmap = xcb_generate_id(raw), .picture = xcb_generate_id(raw), .width = width, .height = height};
  xcb_create_pixmap(raw, connection_->screen().root_depth, canvas.pixmap, connection_->root(), width, height);
  xcb_render_create_picture(raw, canvas.picture, canvas.pixmap, rootFormat_, 0, nullptr);
  return canvas;
}

void X11ScreenCapture::returnCanvas(const Canvas& canvas) {
  {
    const std::lock_guard lock(spareMutex_);
    if (!spareCanvas_) {
      spareCanvas_ = canvas;
      return;
    }
  }
  freeCanvas(canvas);
}

void X11ScreenCapture::freeCanvas(const Canvas& canvas) {
  xcb_render_free_picture(connection_->raw(), canvas.picture);
  xcb_free_pixmap(connection_->raw(), canvas.pixmap);
}

std::variant<PixelImage, ScreenCaptureError> X11ScreenCapture::readBack(xcb_drawable_t drawable, const Rect& area) {
  xcb_connection_t* raw = connection_->raw();
  const auto x = static_cast<std::int16_t>(area.x);
  const auto y = static_cast<std::int16_t>(area.y);
  const auto width = static_cast<std::uint16_t>(area.width);
  const auto height = static_cast<std::uint16_t>(area.height);
  const std::size_t size = std::size_t{width} * height * 4;
  if (bitsPerPixel(raw, connection_->screen().root_depth) != 32) {
    return ScreenCaptureError{"The X server's pixel format is not supported."};
  }

  if (connection_->hasShm()) {
    if (auto segment = takeSegment(size)) {
      X11Reply<xcb_shm_get_image_reply_t> reply(xcb_shm_get_image_reply(
          raw,
          xcb_shm_get_image(raw, drawable, x, y, width, height, ~0u, XCB_IMAGE_FORMAT_Z_PIXMAP, segment->segment, 0),
          nullptr));
      std::optional<PixelImage> image;
      if (reply) {
        image = opaqueImage(static_cast<const std::uint8_t*>(segment->memory), width, height);
      }
      returnSegment(*segment);
      if (image) {
        return std::move(*image);
      }
    }
  }
  // Without shared memory (another machine, another IPC namespace): through the socket.
  X11Reply<xcb_generic_error_t> error;
  xcb_generic_error_t* rawError = nullptr;
  X11Reply<xcb_get_image_reply_t> reply(xcb_get_image_reply(
      raw, xcb_get_image(raw, XCB_IMAGE_FORMAT_Z_PIXMAP, drawable, x, y, width, height, ~0u), &rawError));
  error.reset(rawError);
  if (!reply || static_cast<std::size_t>(xcb_get_image_data_length(reply.get())) < size) {
    return ScreenCaptureError{"The screen image cannot be read from the X server."};
  }
  return opaqueImage(xcb_get_image_data(reply.get()), width, height);
}

void X11ScreenCapture::drawCursor(PixelImage& image, const Rect& monitor) {
  if (!connection_->hasXFixes()) {
    return;
  }
  xcb_connection_t* raw = connection_->raw();
  X11Reply<xcb_xfixes_get_cursor_image_reply_t> cursor(
      xcb_xfixes_get_cursor_image_reply(raw, xcb_xfixes_get_cursor_image(raw), nullptr));
  if (!cursor || cursor->width == 0 || cursor->height == 0) {
    return;
  }
  // The cursor's pixels are premultiplied ARGB, as pixman's a8r8g8b8 is.
  pixman_image_t* source =
      pixman_image_create_bits(PIXMAN_a8r8g8b8, cursor->width, cursor->height,
                               xcb_xfixes_get_cursor_image_cursor_image(cursor.get()), cursor->width * 4);
  pixman_image_t* target =
      pixman_image_create_bits(PIXMAN_a8r8g8b8, static_cast<int>(image.width), static_cast<int>(image.height),
                               reinterpret_cast<std::uint32_t*>(image.bgra.data()), static_cast<int>(image.width * 4));
  const int left = cursor->x - cursor->xhot - static_cast<int>(monitor.x);
  const int top = cursor->y - cursor->yhot - static_cast<int>(monitor.y);
  pixman_image_composite32(PIXMAN_OP_OVER, source, nullptr, target, 0, 0, 0, 0, left, top, cursor->width,
                           cursor->height);
  pixman_image_unref(source);
  pixman_image_unref(target);
}

}  // namespace Sablekit
