// Points and rectangles in the platform's global display space: points (not
// pixels), origin at the top-left corner of the main display, y growing
// downwards.
#pragma once

#include <algorithm>

namespace Sablekit {

struct Point {
  double x = 0;
  double y = 0;
  bool operator==(const Point&) const = default;
};

struct Rect {
  double x = 0;
  double y = 0;
  double width = 0;
  double height = 0;

  double minX() const { return std::min(x, x + width); }
  double maxX() const { return std::max(x, x + width); }
  double minY() const { return std::min(y, y + height); }
  double maxY() const { return std::max(y, y + height); }
  bool isEmpty() const { return !(width != 0 && height != 0); }
  Point midpoint() const { return {(minX() + maxX()) / 2, (minY() + maxY()) / 2}; }

  // Interiors overlap: rectangles that only touch at an edge do not intersect,
  // and an empty rectangle intersects nothing.
  bool intersects(const Rect& other) const {
    return !isEmpty() && !other.isEmpty() && minX() < other.maxX() && other.minX() < maxX() && minY() < other.maxY() &&
           other.minY() < maxY();
  }
  // Half-open on the far edges, as the window server counts containment.
  bool contains(Point point) const {
    return !isEmpty() && point.x >= minX() && point.x < maxX() && point.y >= minY() && point.y < maxY();
  }
  bool operator==(const Rect&) const = default;
};

}  // namespace Sablekit
