// Finds the raw page address of a browser's focused window in its
// accessibility tree, with one reader per browser engine, each looking only
// along fixed paths or within a bounded walk.
#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "Sablekit/context/browser/BrowserElementAttributes.h"

namespace Sablekit {

class BrowserPageAddressReader {
 public:
  enum class Reader { chromium, safari, webArea, webAreaWithChromiumFallback, gecko, anyEngine };

  static constexpr std::size_t walkElementLimit = 512;
  static constexpr std::size_t walkDepthLimit = 10;

  // `accessibility` must outlive the reader. Called on the main thread.
  explicit BrowserPageAddressReader(AccessibilityClient& accessibility) : attributes_(accessibility) {}

  // The reader for a normalised identifier of a recognised browser.
  static Reader readerFor(std::string_view bundleID);

  // The address the chosen reader finds, not yet normalised; absent when none.
  std::optional<std::string> read(Reader reader, const AccessibilityElement& window) const;

  std::optional<std::string> chromium(const AccessibilityElement& window) const;
  std::optional<std::string> safari(const AccessibilityElement& window) const;
  std::optional<std::string> webArea(const AccessibilityElement& window, bool chromiumFallback) const;
  std::optional<std::string> gecko(const AccessibilityElement& window) const;

  // Depth-first from the window, children in their natural order, at most
  // walkElementLimit elements, not expanding below walkDepthLimit. Stops at
  // the first element for which `visit` answers true.
  void walk(const AccessibilityElement& window, const std::function<bool(const AccessibilityElement&)>& visit) const;

 private:
  // The URL of an element whose role is "AXWebArea".
  std::optional<std::string> webAreaURL(const AccessibilityElement& element) const;

  BrowserElementAttributes attributes_;
};

}  // namespace Sablekit
