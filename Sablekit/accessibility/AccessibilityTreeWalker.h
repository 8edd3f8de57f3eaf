// Reads one accessibility tree, or one subtree of it, depth first into a flat
// list of nodes, within a node budget, a byte budget, a depth limit and a
// time limit.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "Sablekit/accessibility/AccessibilityRawAttributes.h"
#include "Sablekit/accessibility/AccessibilityTreeBuild.h"
#include "Sablekit/accessibility/AccessibilityWindowScope.h"
#include "Sablekit/platform/AccessibilityClient.h"
#include "Sablekit/platform/AccessibilityElement.h"
#include "Sablekit/platform/Clock.h"

namespace Sablekit {

class AccessibilityTreeWalker {
 public:
  // `maximumDepth` and `maximumWalkDuration` (seconds of monotonic time) apply
  // to every walk; the caller clamps them. The client and the clock must
  // outlive the walker. The walker holds no lock and no state between calls:
  // use it from one thread at a time (the snapshot service's).
  AccessibilityTreeWalker(AccessibilityClient& accessibility,
                          const Clock& clock,
                          std::int64_t maximumDepth,
                          double maximumWalkDuration);

  // Walks from `root`, which gets `rootPath` and `rootDepth`, parents before
  // children, children in their order. Stops, marking the build partial, when
  // `maximumNodes` nodes are held, when the time limit has run out, or when
  // the next node's attributes would take the byte total past `maximumBytes`
  // (that node is left out); all three are tested only as each entry is taken.
  // Elements equal to one of `ancestorElements` or already visited are not
  // visited again (partial). Children below `maximumDepth` are not read in
  // (partial when there are any). `bundleID` (as the caller has it) and
  // `processID` go into the node hashes. Platform failures only leave
  // attributes or children out. The nodes come back linked, in path order.
  //
  // What the parent must not see is never walked into the result:
  // - a window element that `windows` does not admit is left out with its
  //   whole subtree (the snapshot carries no window the capture did not show);
  //   this is by rule, not a limit, so it does not make the build partial;
  // - below a secure element, every element's values are masked as the secure
  //   element's own are (`withinSecure`: the root has a secure ancestor).
  AccessibilityTreeBuild buildTree(const AccessibilityElement& root,
                                   const std::string& rootPath,
                                   std::int64_t rootDepth,
                                   std::string_view bundleID,
                                   std::int32_t processID,
                                   std::int64_t maximumNodes,
                                   std::int64_t maximumBytes,
                                   std::span<const AccessibilityElement> ancestorElements,
                                   const AccessibilityWindowScope& windows,
                                   bool withinSecure);

  // The element's attributes of the three batches: each batch in one call,
  // pairing slots with names; a batch whose call fails or answers the wrong
  // number of slots is read one attribute at a time instead. Null and error
  // values are left out.
  AccessibilityRawAttributes readAttributes(const AccessibilityElement& element);

  // The element's "AXChildren" in their order; empty when the read fails or
  // the value is not an array of elements.
  std::vector<AccessibilityElement> children(const AccessibilityElement& element);

  std::int64_t maximumDepth() const { return maximumDepth_; }
  double maximumWalkDuration() const { return maximumWalkDuration_; }

 private:
  AccessibilityClient& accessibility_;
  const Clock& clock_;
  const std::int64_t maximumDepth_;
  const double maximumWalkDuration_;
};

}  // namespace Sablekit
