// Tests for path order and for linking parents and children.
#include <algorithm>

#include <gtest/gtest.h>

#include "Sablekit/accessibility/AccessibilityNodeOrder.h"

namespace Sablekit {
namespace {

TEST(AccessibilityPathOrderTest, ComparesPathsAsIntegerSequences) {
  struct Case {
    const char* left;
    const char* right;
    bool before;
  };
  const Case cases[] = {
      {"0.2", "0.10", true},   {"0.10", "0.2", false}, {"0", "0.0", true},     {"0.0", "0", false},
      {"0.1.5", "0.2", true},  {"0.3", "0.3", false},  {"0..3", "0.3", false}, {"0.3", "0..3", false},
      {"0.x.1", "0.0", false}, {"0.x.1", "0.2", true}, {"", "0", true},        {"0.9.9", "0.10", true},
      {"0.007", "0.10", true},
  };
  for (const auto& testCase : cases) {
    SCOPED_TRACE(std::string(testCase.left) + " vs " + testCase.right);
    EXPECT_EQ(pathIsBefore(testCase.left, testCase.right), testCase.before);
  }
}

IndexedAccessibilityNode node(const std::string& path) {
  return {.path = path,
          .depth = static_cast<std::int64_t>(std::count(path.begin(), path.end(), '.')),
          .result = {.hash = "h" + path, .parentHash = "stale", .childHashes = {"stale"}}};
}

TEST(AccessibilityNormalizeRelationshipsTest, SortsAndLinksOnlyNodesPresentInTheList) {
  const auto nodes =
      normalizeRelationships({node("0.10"), node("0.2.0"), node("0"), node("0.2"), node("0.5.1"), node("0.1")});
  std::vector<std::string> paths;
  for (const auto& entry : nodes) {
    paths.push_back(entry.path);
  }
  EXPECT_EQ(paths, (std::vector<std::string>{"0", "0.1", "0.2", "0.2.0", "0.5.1", "0.10"}));
  EXPECT_EQ(nodes[0].result.parentHash, std::nullopt);
  EXPECT_EQ(nodes[0].result.childHashes, (std::vector<std::string>{"h0.1", "h0.2", "h0.10"}));
  EXPECT_EQ(nodes[2].result.parentHash, "h0");
  EXPECT_EQ(nodes[2].result.childHashes, std::vector<std::string>{"h0.2.0"});
  EXPECT_EQ(nodes[3].result.parentHash, "h0.2");
  EXPECT_TRUE(nodes[3].result.childHashes.empty());
  // Its parent 0.5 is not in the list: no parent hash, and nobody lists it.
  EXPECT_EQ(nodes[4].result.parentHash, std::nullopt);
  EXPECT_EQ(nodes[4].result.hash, "h0.5.1");
}

TEST(AccessibilityNormalizeRelationshipsTest, ASubtreeRootWithoutItsParentHasNoParentHash) {
  const auto nodes = normalizeRelationships({node("0.3.1"), node("0.3")});
  ASSERT_EQ(nodes.size(), 2U);
  EXPECT_EQ(nodes[0].path, "0.3");
  EXPECT_EQ(nodes[0].result.parentHash, std::nullopt);
  EXPECT_EQ(nodes[0].result.childHashes, std::vector<std::string>{"h0.3.1"});
  EXPECT_EQ(nodes[1].result.parentHash, "h0.3");
}

}  // namespace
}  // namespace Sablekit
