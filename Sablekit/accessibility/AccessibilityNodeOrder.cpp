// Path order and parent/child linking of accessibility nodes.
#include "Sablekit/accessibility/AccessibilityNodeOrder.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <numeric>
#include <string>
#include <unordered_map>

namespace Sablekit {
namespace {

std::vector<std::int64_t> pathComponents(std::string_view path) {
  std::vector<std::int64_t> components;
  std::size_t start = 0;
  while (start <= path.size()) {
    const std::size_t stop = std::min(path.find('.', start), path.size());
    const std::string_view piece = path.substr(start, stop - start);
    std::int64_t value = 0;
    const auto [end, error] = std::from_chars(piece.data(), piece.data() + piece.size(), value);
    if (!piece.empty() && error == std::errc() && end == piece.data() + piece.size()) {
      components.push_back(value);
    }
    start = stop + 1;
  }
  return components;
}

std::string_view parentPath(std::string_view path) {
  const std::size_t stop = path.rfind('.');
  return stop == std::string_view::npos ? std::string_view() : path.substr(0, stop);
}

}  // namespace

bool pathIsBefore(std::string_view left, std::string_view right) {
  const auto leftComponents = pathComponents(left);
  const auto rightComponents = pathComponents(right);
  return std::lexicographical_compare(leftComponents.begin(), leftComponents.end(), rightComponents.begin(),
                                      rightComponents.end());
}

std::vector<IndexedAccessibilityNode> normalizeRelationships(std::vector<IndexedAccessibilityNode> nodes) {
  // Each path is parsed once rather than at every comparison; the order is
  // exactly pathIsBefore's.
  std::vector<std::vector<std::int64_t>> keys;
  keys.reserve(nodes.size());
  for (const auto& node : nodes) {
    keys.push_back(pathComponents(node.path));
  }
  std::vector<std::size_t> order(nodes.size());
  std::iota(order.begin(), order.end(), std::size_t{0});
  std::stable_sort(order.begin(), order.end(), [&keys](std::size_t left, std::size_t right) {
    return std::lexicographical_compare(keys[left].begin(), keys[left].end(), keys[right].begin(), keys[right].end());
  });
  std::vector<IndexedAccessibilityNode> sorted;
  sorted.reserve(nodes.size());
  for (const std::size_t index : order) {
    sorted.push_back(std::move(nodes[index]));
  }

  // Path to position in `sorted`; the views point into the sorted nodes' paths.
  std::unordered_map<std::string_view, std::size_t> byPath;
  byPath.reserve(sorted.size());
  for (std::size_t index = 0; index < sorted.size(); ++index) {
    byPath.try_emplace(sorted[index].path, index);
  }
  for (auto& node : sorted) {
    node.result.parentHash.reset();
    node.result.childHashes.clear();
  }
  for (auto& node : sorted) {
    const std::string_view parent = parentPath(node.path);
    if (node.path.find('.') == std::string::npos) {
      continue;
    }
    const auto found = byPath.find(parent);
    if (found == byPath.end()) {
      continue;
    }
    IndexedAccessibilityNode& parentNode = sorted[found->second];
    node.result.parentHash = parentNode.result.hash;
    parentNode.result.childHashes.push_back(node.result.hash);
  }
  return sorted;
}

}  // namespace Sablekit
