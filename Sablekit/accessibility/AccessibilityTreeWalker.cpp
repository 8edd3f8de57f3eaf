// The bounded depth-first walk of an accessibility tree.
#include "Sablekit/accessibility/AccessibilityTreeWalker.h"

#include <unordered_set>
#include <utility>

#include "Sablekit/accessibility/AccessibilityAttributeSerialization.h"
#include "Sablekit/accessibility/AccessibilityNodeHash.h"
#include "Sablekit/accessibility/AccessibilityNodeOrder.h"

namespace Sablekit {
namespace {

// An entry of the walk's work stack: an element still to visit.
struct PendingAccessibilityNode {
  AccessibilityElement element;
  std::string path;
  std::int64_t depth = 0;
  bool withinSecure = false;  // an ancestor is secure
};

// Neither the platform's null object nor an error value.
bool isReportable(const AccessibilityValue& value) {
  return !std::holds_alternative<AccessibilityNull>(value.storage) &&
         !std::holds_alternative<AccessibilityError>(value.storage);
}

std::string_view serializedOrEmpty(const std::map<std::string, std::string>& attributes, const char* name) {
  const auto found = attributes.find(name);
  return found == attributes.end() ? std::string_view() : std::string_view(found->second);
}

}  // namespace

AccessibilityTreeWalker::AccessibilityTreeWalker(AccessibilityClient& accessibility,
                                                 const Clock& clock,
                                                 std::int64_t maximumDepth,
                                                 double maximumWalkDuration)
    : accessibility_(accessibility),
      clock_(clock),
      maximumDepth_(maximumDepth),
      maximumWalkDuration_(maximumWalkDuration) {}

AccessibilityRawAttributes AccessibilityTreeWalker::readAttributes(const AccessibilityElement& element) {
  AccessibilityRawAttributes attributes;
  for (const auto& batch : attributeBatches()) {
    auto values = accessibility_.readAttributes(element, batch);
    if (values && values->size() == batch.size()) {
      for (std::size_t index = 0; index < batch.size(); ++index) {
        if (isReportable((*values)[index])) {
          attributes.push_back({batch[index], std::move((*values)[index])});
        }
      }
      continue;
    }
    for (const auto& name : batch) {
      auto value = accessibility_.readAttribute(element, name);
      if (value && isReportable(*value)) {
        attributes.push_back({name, std::move(*value)});
      }
    }
  }
  return attributes;
}

std::vector<AccessibilityElement> AccessibilityTreeWalker::children(const AccessibilityElement& element) {
  std::vector<AccessibilityElement> result;
  auto value = accessibility_.readAttribute(element, "AXChildren");
  auto* array = value ? std::get_if<AccessibilityArray>(&value->storage) : nullptr;
  if (array == nullptr) {
    return result;
  }
  result.reserve(array->elements.size());
  for (auto& entry : array->elements) {
    auto* reference = std::get_if<AccessibilityElementReference>(&entry.storage);
    if (reference == nullptr) {
      // Not an array of elements: the platform answered something else.
      return {};
    }
    result.push_back(std::move(reference->element));
  }
  return result;
}

AccessibilityTreeBuild AccessibilityTreeWalker::buildTree(const AccessibilityElement& root,
                                                          const std::string& rootPath,
                                                          std::int64_t rootDepth,
                                                          std::string_view bundleID,
                                                          std::int32_t processID,
                                                          std::int64_t maximumNodes,
                                                          std::int64_t maximumBytes,
                                                          std::span<const AccessibilityElement> ancestorElements,
                                                          const AccessibilityWindowScope& windows,
                                                          bool withinSecure) {
  std::vector<PendingAccessibilityNode> stack;
  stack.push_back({root, rootPath, rootDepth, withinSecure});
  // A set keyed by the platform's identity hash gives the same answer as
  // comparing with every visited element, without the quadratic cost.
  std::unordered_set<AccessibilityElement, AccessibilityElementHash> visited(ancestorElements.begin(),
                                                                             ancestorElements.end());
  AccessibilityTreeBuild build;
  const double startedAt = clock_.monotonicNow();

  while (!stack.empty()) {
    PendingAccessibilityNode entry = std::move(stack.back());
    stack.pop_back();
    if (static_cast<std::int64_t>(build.nodes.size()) >= maximumNodes) {
      build.partial = true;
      break;
    }
    if (startedAt + maximumWalkDuration_ <= clock_.monotonicNow()) {
      build.partial = true;
      break;
    }
    if (!visited.insert(entry.element).second) {
      build.partial = true;  // a cycle, or an element listed twice: cut here
      continue;
    }

    AccessibilityRawAttributes raw = readAttributes(entry.element);
    if (!windows.admits(raw)) {
      continue;  // a window the capture did not show: neither it nor anything in it
    }
    const bool masked = entry.withinSecure || isSecure(raw);
    auto attributes = serializeAttributes(std::move(raw), masked);
    const std::int64_t size = serializedByteCount(attributes);
    if (build.serializedBytes + size > maximumBytes) {
      build.partial = true;
      break;
    }
    build.serializedBytes += size;

    std::string hash = accessibilityNodeHash({
        .bundleID = bundleID,
        .processID = processID,
        .path = entry.path,
        .role = serializedOrEmpty(attributes, "AXRole"),
        .identifier = serializedOrEmpty(attributes, "AXIdentifier"),
        .title = serializedOrEmpty(attributes, "AXTitle"),
    });

    std::vector<AccessibilityElement> elementChildren = children(entry.element);
    if (entry.depth < maximumDepth_) {
      for (std::size_t index = elementChildren.size(); index-- > 0;) {
        stack.push_back(
            {std::move(elementChildren[index]), entry.path + "." + std::to_string(index), entry.depth + 1, masked});
      }
    } else if (!elementChildren.empty()) {
      build.partial = true;
    }

    build.nodes.push_back({
        .element = std::move(entry.element),
        .path = std::move(entry.path),
        .depth = entry.depth,
        .result = {.hash = std::move(hash), .attributes = std::move(attributes)},
        .masked = masked,
    });
  }

  build.nodes = normalizeRelationships(std::move(build.nodes));
  return build;
}

}  // namespace Sablekit
