#include "Sablekit/context/browser/BrowserPageAddressReader.h"

#include <array>
#include <utility>
#include <vector>

#include "Sablekit/common/TextRules.h"
#include "Sablekit/context/ApplicationCapabilityRegistry.h"

namespace Sablekit {

namespace {

bool startsWith(std::string_view text, std::string_view prefix) {
  return text.substr(0, prefix.size()) == prefix;
}

}  // namespace

BrowserPageAddressReader::Reader BrowserPageAddressReader::readerFor(std::string_view bundleID) {
  if (bundleID == "com.google.chrome" || bundleID == "com.microsoft.edgemac" || bundleID == "com.brave.browser" ||
      ApplicationCapabilityRegistry::secondaryChromiumBundleIDs().contains(bundleID)) {
    return Reader::chromium;
  }
  if (bundleID == "com.apple.safari") {
    return Reader::safari;
  }
  if (bundleID == "company.thebrowser.browser") {
    return Reader::webArea;
  }
  if (bundleID == "company.thebrowser.dia") {
    return Reader::webAreaWithChromiumFallback;
  }
  if (startsWith(bundleID, ApplicationCapabilityRegistry::mozillaBundleIDPrefix)) {
    return Reader::gecko;
  }
  return Reader::anyEngine;
}

std::optional<std::string> BrowserPageAddressReader::read(Reader reader, const AccessibilityElement& window) const {
  switch (reader) {
    case Reader::chromium:
      return chromium(window);
    case Reader::safari:
      return safari(window);
    case Reader::webArea:
      return webArea(window, false);
    case Reader::webAreaWithChromiumFallback:
      return webArea(window, true);
    case Reader::gecko:
      return gecko(window);
    case Reader::anyEngine:
      break;
  }
  if (auto found = chromium(window)) {
    return found;
  }
  if (auto found = safari(window)) {
    return found;
  }
  if (auto found = webArea(window, true)) {
    return found;
  }
  return gecko(window);
}

std::optional<std::string> BrowserPageAddressReader::chromium(const AccessibilityElement& window) const {
  for (const auto& child : attributes_.children(window)) {
    if (attributes_.role(child) == "AXGroup") {
      if (auto found = attributes_.url(child)) {
        return found;
      }
    }
  }
  return std::nullopt;
}

std::optional<std::string> BrowserPageAddressReader::safari(const AccessibilityElement& window) const {
  static constexpr std::array<std::string_view, 6> path{"AXSplitGroup", "AXTabGroup",   "AXGroup",
                                                        "AXGroup",      "AXScrollArea", "AXWebArea"};
  AccessibilityElement current = window;
  for (const std::string_view wanted : path) {
    bool descended = false;
    for (const auto& child : attributes_.children(current)) {
      if (attributes_.role(child) == wanted) {
        current = child;
        descended = true;
        break;
      }
    }
    if (!descended) {
      return std::nullopt;
    }
  }
  return attributes_.url(current);
}

std::optional<std::string> BrowserPageAddressReader::webAreaURL(const AccessibilityElement& element) const {
  if (attributes_.role(element) != "AXWebArea") {
    return std::nullopt;
  }
  return attributes_.url(element);
}

std::optional<std::string> BrowserPageAddressReader::webArea(const AccessibilityElement& window,
                                                             bool chromiumFallback) const {
  const auto children = attributes_.children(window);
  for (const auto& child : children) {
    if (auto found = webAreaURL(child)) {
      return found;
    }
  }
  for (const auto& child : children) {
    if (attributes_.role(child) == "AXSplitGroup") {
      for (const auto& grandchild : attributes_.children(child)) {
        if (auto found = webAreaURL(grandchild)) {
          return found;
        }
      }
    }
  }
  std::optional<std::string> found;
  walk(window, [&](const AccessibilityElement& element) {
    found = webAreaURL(element);
    return found.has_value();
  });
  if (found || !chromiumFallback) {
    return found;
  }
  return chromium(window);
}

std::optional<std::string> BrowserPageAddressReader::gecko(const AccessibilityElement& window) const {
  std::optional<std::string> found;
  walk(window, [&](const AccessibilityElement& element) {
    found = webAreaURL(element);
    return found.has_value();
  });
  if (found) {
    return found;
  }

  // No page element: fall back to the address bar's text.
  std::optional<std::string> addressBar;
  walk(window, [&](const AccessibilityElement& element) {
    if (attributes_.role(element) != "AXTextField") {
      return false;
    }
    addressBar = attributes_.string(element, "AXValue");
    return addressBar.has_value();
  });
  if (!addressBar) {
    return std::nullopt;
  }
  std::string typed(trimWhitespaceAndNewlines(*addressBar));
  if (typed.empty()) {
    return std::nullopt;
  }
  const std::string lowered = asciiLowercase(typed);
  for (const std::string_view scheme : {"http://", "https://", "about:", "file://", "moz-extension://"}) {
    if (startsWith(lowered, scheme)) {
      return typed;
    }
  }
  // A bare host and path, as the bar shows pages without their scheme.
  if (typed.find('.') != std::string::npos && typed.find(' ') == std::string::npos) {
    return "https://" + typed;
  }
  return std::nullopt;
}

void BrowserPageAddressReader::walk(const AccessibilityElement& window,
                                    const std::function<bool(const AccessibilityElement&)>& visit) const {
  std::vector<std::pair<AccessibilityElement, std::size_t>> stack{{window, 0}};
  std::size_t examined = 0;
  while (!stack.empty() && examined < walkElementLimit) {
    auto [element, depth] = std::move(stack.back());
    stack.pop_back();
    ++examined;
    if (visit(element)) {
      return;
    }
    if (depth < walkDepthLimit) {
      const auto children = attributes_.children(element);
      for (auto child = children.rbegin(); child != children.rend(); ++child) {
        stack.emplace_back(*child, depth + 1);
      }
    }
  }
}

}  // namespace Sablekit
