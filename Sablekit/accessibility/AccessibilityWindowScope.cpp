// Deciding, element by element, whether a walk may enter a window.
#include "Sablekit/accessibility/AccessibilityWindowScope.h"

#include <algorithm>
#include <optional>
#include <utility>

namespace Sablekit {
namespace {

template <class T>
const T* rawAs(const AccessibilityRawAttributes& attributes, std::string_view name) {
  const AccessibilityValue* value = findRawAttribute(attributes, name);
  return value == nullptr ? nullptr : std::get_if<T>(&value->storage);
}

bool isMinimised(const AccessibilityRawAttributes& attributes) {
  if (const bool* flag = rawAs<bool>(attributes, "AXMinimized")) {
    return *flag;
  }
  if (const std::int64_t* number = rawAs<std::int64_t>(attributes, "AXMinimized")) {
    return *number != 0;
  }
  return false;
}

// The element's frame from its position and size; absent when either is missing.
std::optional<Rect> frameOf(const AccessibilityRawAttributes& attributes) {
  const auto* position = rawAs<AccessibilityPoint>(attributes, "AXPosition");
  const auto* size = rawAs<AccessibilitySize>(attributes, "AXSize");
  if (position == nullptr || size == nullptr) {
    return std::nullopt;
  }
  return Rect{position->x, position->y, size->width, size->height};
}

bool holds(const Rect& bounds, const Rect& frame, double tolerance) {
  return !frame.isEmpty() && frame.minX() >= bounds.minX() - tolerance && frame.maxX() <= bounds.maxX() + tolerance &&
         frame.minY() >= bounds.minY() - tolerance && frame.maxY() <= bounds.maxY() + tolerance;
}

}  // namespace

AccessibilityWindowScope::AccessibilityWindowScope(std::vector<ShownWindow> shown)
    : AccessibilityWindowScope(false, std::move(shown)) {}

AccessibilityWindowScope::AccessibilityWindowScope(bool unrestricted, std::vector<ShownWindow> shown)
    : unrestricted_(unrestricted), shown_(std::move(shown)) {}

AccessibilityWindowScope AccessibilityWindowScope::unrestricted() {
  return AccessibilityWindowScope(true, {});
}

bool AccessibilityWindowScope::admits(const AccessibilityRawAttributes& attributes) const {
  const std::string* role = rawAs<std::string>(attributes, "AXRole");
  if (unrestricted_ || role == nullptr || *role != "AXWindow") {
    return true;
  }
  if (isMinimised(attributes)) {
    return false;
  }
  const std::optional<Rect> frame = frameOf(attributes);
  if (!frame) {
    return false;
  }
  const std::string* title = rawAs<std::string>(attributes, "AXTitle");
  const std::string_view windowTitle = title == nullptr ? std::string_view() : std::string_view(*title);
  return std::any_of(shown_.begin(), shown_.end(), [&](const ShownWindow& window) {
    return window.title == windowTitle && holds(window.bounds, *frame, frameTolerance);
  });
}

}  // namespace Sablekit
