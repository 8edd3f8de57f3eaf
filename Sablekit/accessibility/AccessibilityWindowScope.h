// Which windows of the walked application a snapshot may show. A snapshot
// must never carry what the captured image left out, so a capture passes the
// windows it showed, allowed; every other window element of the application
// (minimised, on another space, private, on an excluded domain, cut out for
// any reason) is left out of the walk, title and whole subtree.
#pragma once

#include <string>
#include <vector>

#include "Sablekit/accessibility/AccessibilityRawAttributes.h"
#include "Sablekit/platform/Geometry.h"

namespace Sablekit {

// A window the capture showed: its title and its frame in global points.
struct ShownWindow {
  std::string title;
  Rect bounds;
  bool operator==(const ShownWindow&) const = default;
};

class AccessibilityWindowScope {
 public:
  // How far an element's frame may stray outside a shown window's bounds
  // (rounding of coordinates between the window list and accessibility).
  static constexpr double frameTolerance = 1.0;

  // No window may be walked.
  AccessibilityWindowScope() = default;
  // Only the windows in `shown` may be walked.
  explicit AccessibilityWindowScope(std::vector<ShownWindow> shown);

  // Every window may be walked: for snapshots taken outside a capture.
  static AccessibilityWindowScope unrestricted();

  // Whether the walk may enter an element with these attributes. Elements
  // that are not windows (role other than "AXWindow") always may. A window
  // may when it is not minimised and a shown window has exactly its title
  // ("AXTitle", absent read as "") and holds its frame ("AXPosition" and
  // "AXSize", within frameTolerance; a window's frame may be its client area
  // inside the listed bounds). A window without a readable frame may not.
  bool admits(const AccessibilityRawAttributes& attributes) const;

  bool operator==(const AccessibilityWindowScope&) const = default;

 private:
  AccessibilityWindowScope(bool unrestricted, std::vector<ShownWindow> shown);

  bool unrestricted_ = false;
  std::vector<ShownWindow> shown_;
};

}  // namespace Sablekit
