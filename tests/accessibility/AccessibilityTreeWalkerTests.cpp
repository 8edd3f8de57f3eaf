// Tests for the bounded tree walk on the simulated accessibility client:
// batched reads and their fallback, the four limits at their boundaries,
// cycles, ancestors and node hashes.
#include <algorithm>

#include <gtest/gtest.h>

#include "Sablekit/accessibility/AccessibilityTreeWalker.h"
#include "Sablekit/platform/simulated/SimulatedAccessibility.h"

namespace Sablekit {
namespace {

constexpr std::int32_t pid = 42;

class AccessibilityTreeWalkerTest : public ::testing::Test {
 protected:
  AccessibilityTreeWalkerTest() { accessibility.addApplication(pid, "app"); }

  AccessibilityTreeBuild walk(std::int64_t maximumNodes = 5000,
                              std::int64_t maximumBytes = 16 * 1024 * 1024,
                              std::int64_t maximumDepth = 12,
                              double maximumWalkDuration = 1.5) {
    AccessibilityTreeWalker walker(accessibility, clock, maximumDepth, maximumWalkDuration);
    return walker.buildTree(accessibility.applicationElement(pid), "0", 0, "com.example.App", pid, maximumNodes,
                            maximumBytes, {}, AccessibilityWindowScope::unrestricted(), false);
  }

  AccessibilityTreeBuild walkShowing(const AccessibilityWindowScope& windows) {
    AccessibilityTreeWalker walker(accessibility, clock, 12, 1.5);
    return walker.buildTree(accessibility.applicationElement(pid), "0", 0, "com.example.App", pid, 5000,
                            16 * 1024 * 1024, {}, windows, false);
  }

  // The titles of every node of a build, in path order.
  static std::vector<std::string> titles(const AccessibilityTreeBuild& build) {
    std::vector<std::string> result;
    for (const auto& node : build.nodes) {
      const auto title = node.result.attributes.find("AXTitle");
      if (title != node.result.attributes.end()) {
        result.push_back(title->second);
      }
    }
    return result;
  }

  // A chain app -> c1 -> c2 ... -> c<length>; returns the deepest identifier.
  std::string addChain(int length, const std::string& prefix = "c") {
    std::string parent = "app";
    for (int depth = 1; depth <= length; ++depth) {
      const std::string id = prefix + std::to_string(depth);
      accessibility.addElement(id, pid).setValue(id, "AXRole", std::string("AXGroup"));
      accessibility.setChildren(parent, {id});
      parent = id;
    }
    return parent;
  }

  AccessibilityElement handle(const std::string& id) const {
    return std::get<AccessibilityElementReference>(accessibility.reference(id).storage).element;
  }

  static const IndexedAccessibilityNode& at(const AccessibilityTreeBuild& build, const std::string& path) {
    const auto found =
        std::find_if(build.nodes.begin(), build.nodes.end(), [&](const auto& node) { return node.path == path; });
    if (found == build.nodes.end()) {
      throw std::out_of_range("no node " + path);
    }
    return *found;
  }

  SimulatedClock clock;
  FaultInjector faults;
  SimulatedAccessibility accessibility{clock, faults};
};

TEST_F(AccessibilityTreeWalkerTest, ReadsEachBatchInOneCallAndSkipsNullAndErrorSlots) {
  accessibility.setValue("app", "AXRole", std::string("AXApplication"))
      .setValue("app", "AXTitle", std::string("Mail"))
      .setValue("app", "AXDescription", AccessibilityError{})
      .setValue("app", "AXValue", AccessibilityNull{})
      .setValue("app", "AXURL", AccessibilityURL{"https://example.com/"})
      .setValue("app", "AXSelectedTextRange", AccessibilityRange{3, 0});
  AccessibilityTreeWalker walker(accessibility, clock, 12, 1.5);
  const std::uint64_t before = accessibility.callCount();
  const auto raw = walker.readAttributes(accessibility.applicationElement(pid));
  EXPECT_EQ(accessibility.callCount() - before, 3U);
  std::vector<std::string_view> names;
  for (const auto& attribute : raw) {
    names.push_back(attribute.name);
  }
  EXPECT_EQ(names, (std::vector<std::string_view>{"AXRole", "AXTitle", "AXURL", "AXSelectedTextRange"}));
}

TEST_F(AccessibilityTreeWalkerTest, ABatchThatFailsOrMiscountsIsReadOneAttributeAtATime) {
  accessibility.setValue("app", "AXRole", std::string("AXApplication"))
      .setValue("app", "AXValue", AccessibilityNull{})
      .setValue("app", "AXDescription", AccessibilityError{})
      .setValue("app", "AXFocused", true)
      .setValue("app", "AXLanguage", std::string("en"));
  struct Case {
    const char* name;
    SimulatedAccessibility::BatchedReads answer;
  };
  for (const Case& testCase : {Case{"fails", SimulatedAccessibility::BatchedReads::fail},
                               Case{"wrong count", SimulatedAccessibility::BatchedReads::wrongCount}}) {
    SCOPED_TRACE(testCase.name);
    accessibility.setBatchedReads("app", testCase.answer);
    AccessibilityTreeWalker walker(accessibility, clock, 12, 1.5);
    const std::uint64_t before = accessibility.callCount();
    const auto raw = walker.readAttributes(accessibility.applicationElement(pid));
    EXPECT_EQ(accessibility.callCount() - before, 3U + 45U);
    ASSERT_EQ(raw.size(), 3U);  // the null object read singly is left out too
    EXPECT_EQ(raw[0].name, "AXRole");
    EXPECT_EQ(raw[1].name, "AXFocused");
    EXPECT_EQ(raw[2].name, "AXLanguage");
  }
}

TEST_F(AccessibilityTreeWalkerTest, OnlyTheFailingBatchFallsBack) {
  accessibility.setValue("app", "AXRole", std::string("AXApplication")).setValue("app", "AXFocused", true);
  faults.arm(std::string(SimulatedOperation::accessibilityReadAttributes), FaultKind::fail, 1);
  AccessibilityTreeWalker walker(accessibility, clock, 12, 1.5);
  const std::uint64_t before = accessibility.callCount();
  const auto raw = walker.readAttributes(accessibility.applicationElement(pid));
  EXPECT_EQ(accessibility.callCount() - before, 1U + 12U + 2U);
  EXPECT_EQ(raw.size(), 2U);
}

TEST_F(AccessibilityTreeWalkerTest, ChildrenThatAreNotAllElementsCountAsNone) {
  accessibility.addElement("a", pid).addElement("b", pid);
  AccessibilityTreeWalker walker(accessibility, clock, 12, 1.5);
  accessibility.setChildren("app", {"a", "b"});
  EXPECT_EQ(walker.children(accessibility.applicationElement(pid)).size(), 2U);
  accessibility.setValue("app", "AXChildren", AccessibilityArray{{accessibility.reference("a"), std::string("b")}});
  EXPECT_TRUE(walker.children(accessibility.applicationElement(pid)).empty());
  accessibility.setValue("app", "AXChildren", std::string("a"));
  EXPECT_TRUE(walker.children(accessibility.applicationElement(pid)).empty());
}

TEST_F(AccessibilityTreeWalkerTest, VisitsDepthFirstWithChildrenInOrderAndLinksThem) {
  std::vector<std::string> children;
  for (int index = 0; index < 12; ++index) {
    const std::string id = "child" + std::to_string(index);
    accessibility.addElement(id, pid).setValue(id, "AXTitle", id);
    children.push_back(id);
  }
  accessibility.setChildren("app", children);
  accessibility.addElement("grandchild", pid).setChildren("child1", {"grandchild"});
  const auto build = walk();
  EXPECT_FALSE(build.partial);
  std::vector<std::string> paths;
  for (const auto& node : build.nodes) {
    paths.push_back(node.path);
  }
  EXPECT_EQ(paths, (std::vector<std::string>{"0", "0.0", "0.1", "0.1.0", "0.2", "0.3", "0.4", "0.5", "0.6", "0.7",
                                             "0.8", "0.9", "0.10", "0.11"}));
  const auto& root = at(build, "0");
  EXPECT_EQ(root.result.parentHash, std::nullopt);
  ASSERT_EQ(root.result.childHashes.size(), 12U);
  EXPECT_EQ(root.result.childHashes[2], at(build, "0.2").result.hash);
  EXPECT_EQ(root.result.childHashes[10], at(build, "0.10").result.hash);
  EXPECT_EQ(at(build, "0.1.0").depth, 2);
  EXPECT_EQ(at(build, "0.1.0").result.parentHash, at(build, "0.1").result.hash);
  EXPECT_TRUE(at(build, "0.11").result.childHashes.empty());
  EXPECT_EQ(SimulatedAccessibility::elementID(at(build, "0.10").element), "child10");
}

TEST_F(AccessibilityTreeWalkerTest, NodeBudgetIsTestedOnlyWhenAnEntryIsTaken) {
  // The application element plus 4999 descendants: exactly 5000 nodes.
  accessibility.addGeneratedDescendants("app", {.count = 4999, .fanOut = 10});
  auto build = walk();
  EXPECT_EQ(build.nodes.size(), 5000U);
  EXPECT_FALSE(build.partial);

  accessibility.addElement("extra", pid).setChildren("#app/4999", {"extra"});
  build = walk();
  EXPECT_EQ(build.nodes.size(), 5000U);
  EXPECT_TRUE(build.partial);
}

TEST_F(AccessibilityTreeWalkerTest, DepthLimitReportsTheNodeAtTheLimitButNotItsChildren) {
  struct Case {
    const char* name;
    int chainLength;
    bool partial;
  };
  for (const Case& testCase : {Case{"leaf at depth 12", 12, false}, Case{"depth 12 with a child", 13, true}}) {
    SCOPED_TRACE(testCase.name);
    accessibility.setChildren("app", {});
    addChain(testCase.chainLength, std::string("chain") + std::to_string(testCase.chainLength) + ".");
    const auto build = walk();
    ASSERT_EQ(build.nodes.size(), 13U);
    EXPECT_EQ(build.nodes.back().depth, 12);
    EXPECT_EQ(build.nodes.back().path, "0.0.0.0.0.0.0.0.0.0.0.0.0");
    EXPECT_TRUE(build.nodes.back().result.childHashes.empty());
    EXPECT_EQ(build.partial, testCase.partial);
  }
}

TEST_F(AccessibilityTreeWalkerTest, ByteBudgetLeavesOutTheNodeThatWouldExceedItAndStops) {
  // Each element serializes to "AXTitle" + a 93-byte value: 100 bytes.
  std::vector<std::string> children;
  for (int index = 0; index < 5; ++index) {
    const std::string id = "c" + std::to_string(index);
    accessibility.addElement(id, pid).setValue(id, "AXTitle", std::string(93, 'a' + index));
    children.push_back(id);
  }
  accessibility.setChildren("app", children);  // the application element itself has no attributes: 0 bytes
  struct Case {
    std::int64_t budget;
    std::size_t nodes;
    bool partial;
  };
  for (const Case& testCase : {Case{500, 6, false}, Case{499, 5, true}, Case{300, 4, true}, Case{99, 1, true}}) {
    SCOPED_TRACE(testCase.budget);
    const auto build = walk(5000, testCase.budget);
    EXPECT_EQ(build.nodes.size(), testCase.nodes);
    EXPECT_EQ(build.partial, testCase.partial);
    EXPECT_EQ(build.serializedBytes, static_cast<std::int64_t>(testCase.nodes - 1) * 100);
  }
}

TEST_F(AccessibilityTreeWalkerTest, TimeLimitStopsBetweenNodesOnceItHasRunOut) {
  // Every call takes 0.125 s and an element costs four calls (three batches
  // and its children): elements are taken at 0, 0.5, 1.0 and 1.5 seconds.
  addChain(5);
  for (const char* id : {"app", "c1", "c2", "c3", "c4", "c5"}) {
    accessibility.setResponseDelay(id, 0.125);
  }
  const double start = clock.monotonicNow();
  auto build = walk();
  EXPECT_EQ(build.nodes.size(), 3U);
  EXPECT_TRUE(build.partial);
  EXPECT_DOUBLE_EQ(clock.monotonicNow() - start, 1.5);

  build = walk(5000, 16 * 1024 * 1024, 12, 1.5001);
  EXPECT_EQ(build.nodes.size(), 4U);
}

TEST_F(AccessibilityTreeWalkerTest, ARepeatedElementIsCutAndMarksThePartial) {
  struct Case {
    const char* name;
    std::vector<std::string> appChildren;
    std::vector<std::string> groupChildren;
    std::size_t nodes;
  };
  const Case cases[] = {
      {"child lists its ancestor", {"group"}, {"leaf", "app"}, 3},
      {"element listed twice", {"group", "leaf"}, {"leaf"}, 3},
      {"element is its own child", {"group"}, {"group", "leaf"}, 3},
  };
  accessibility.addElement("group", pid).addElement("leaf", pid);
  for (const auto& testCase : cases) {
    SCOPED_TRACE(testCase.name);
    accessibility.setChildren("app", testCase.appChildren).setChildren("group", testCase.groupChildren);
    const auto build = walk();
    EXPECT_EQ(build.nodes.size(), testCase.nodes);
    EXPECT_TRUE(build.partial);
  }
}

TEST_F(AccessibilityTreeWalkerTest, ASubtreeWalkKeepsItsPathAndDepthAndAvoidsItsAncestors) {
  // app -> c1 -> c2 -> {c3, side}; side lists c1 again.
  addChain(3);
  accessibility.addElement("side", pid).setChildren("c2", {"c3", "side"}).setChildren("side", {"c1"});
  AccessibilityTreeWalker walker(accessibility, clock, 12, 1.5);
  const std::vector<AccessibilityElement> ancestors = {handle("app"), handle("c1")};
  const auto build = walker.buildTree(handle("c2"), "0.0.0", 2, "com.example.App", pid, 10, 1024, ancestors,
                                      AccessibilityWindowScope::unrestricted(), false);
  std::vector<std::string> paths;
  for (const auto& node : build.nodes) {
    paths.push_back(node.path);
  }
  EXPECT_EQ(paths, (std::vector<std::string>{"0.0.0", "0.0.0.0", "0.0.0.1"}));
  EXPECT_EQ(build.nodes[0].depth, 2);
  EXPECT_EQ(build.nodes[2].depth, 3);
  EXPECT_EQ(build.nodes[0].result.parentHash, std::nullopt);
  EXPECT_TRUE(build.partial);  // c1 below side was cut as an ancestor

  // The same subtree walked as part of the whole tree gets the same hashes.
  const auto whole = walk();
  EXPECT_EQ(at(whole, "0.0.0.1").result.hash, build.nodes[2].result.hash);
}

TEST_F(AccessibilityTreeWalkerTest, HashesAreStableAndChangeOnlyForTheChangedNode) {
  accessibility.setValue("app", "AXRole", std::string("AXApplication"));
  for (const char* id : {"first", "second", "third"}) {
    accessibility.addElement(id, pid).setValue(id, "AXRole", std::string("AXButton"));
    accessibility.setValue(id, "AXTitle", std::string(id)).setValue(id, "AXValue", std::string("v"));
  }
  accessibility.setChildren("app", {"first", "second", "third"});
  const auto before = walk();
  const auto again = walk();
  ASSERT_EQ(before.nodes.size(), 4U);
  for (std::size_t index = 0; index < before.nodes.size(); ++index) {
    EXPECT_EQ(before.nodes[index].result, again.nodes[index].result);
    EXPECT_EQ(before.nodes[index].result.hash.size(), 64U);
    EXPECT_EQ(before.nodes[index].result.hash.find_first_not_of("0123456789abcdef"), std::string::npos);
  }

  struct Case {
    const char* name;
    const char* attribute;
    AccessibilityValue value;
    bool hashChanges;
  };
  const Case cases[] = {
      {"title", "AXTitle", std::string("renamed"), true},
      {"identifier", "AXIdentifier", std::string("id-2"), true},
      {"role", "AXRole", std::string("AXLink"), true},
      {"value", "AXValue", std::string("other"), false},
      {"masked title", "AXTitle", std::string("\u2022\u2022\u2022"), true},
  };
  for (const auto& testCase : cases) {
    SCOPED_TRACE(testCase.name);
    const auto original = accessibility.storedValue("second", testCase.attribute);
    accessibility.setValue("second", testCase.attribute, testCase.value);
    const auto after = walk();
    EXPECT_EQ(at(after, "0.1").result.hash != at(before, "0.1").result.hash, testCase.hashChanges);
    EXPECT_EQ(at(after, "0").result.hash, at(before, "0").result.hash);
    EXPECT_EQ(at(after, "0.0").result.hash, at(before, "0.0").result.hash);
    EXPECT_EQ(at(after, "0.2").result.hash, at(before, "0.2").result.hash);
    EXPECT_EQ(at(after, "0").result.childHashes[1], at(after, "0.1").result.hash);
    if (original) {
      accessibility.setValue("second", testCase.attribute, *original);
    } else {
      accessibility.setValue("second", testCase.attribute, AccessibilityError{});
    }
  }

  // Moving a node to another position changes its hash.
  accessibility.setChildren("app", {"second", "first", "third"});
  const auto moved = walk();
  EXPECT_NE(at(moved, "0.0").result.hash, at(before, "0.1").result.hash);
  EXPECT_NE(at(moved, "0.0").result.hash, at(before, "0.0").result.hash);
}

TEST_F(AccessibilityTreeWalkerTest, SecureElementsAndEverythingInsideThemKeepTheirTitleButNeverTheirValue) {
  accessibility.addElement("field", pid)
      .setValue("field", "AXRole", std::string("AXTextField"))
      .setValue("field", "AXSubrole", std::string("AXSecureTextField"))
      .setValue("field", "AXTitle", std::string("Password"))
      .setValue("field", "AXValue", std::string("hunter2"))
      .setValue("field", "AXSelectedText", std::string("hunter"))
      .setValue("field", "AXPlaceholderValue", std::string("required"));
  // The field's text as a child element of its own, and a plain field beside it.
  accessibility.addElement("text", pid)
      .setValue("text", "AXRole", std::string("AXStaticText"))
      .setValue("text", "AXTitle", std::string("Typed"))
      .setValue("text", "AXValue", std::string("hunter2"))
      .setValue("text", "AXValueDescription", std::string("hunter2"))
      .addElement("plain", pid)
      .setValue("plain", "AXRole", std::string("AXTextField"))
      .setValue("plain", "AXValue", std::string("hello"));
  accessibility.setChildren("field", {"text"}).setChildren("app", {"field", "plain"});
  const auto build = walk();
  EXPECT_EQ(at(build, "0.0").result.attributes,
            (std::map<std::string, std::string>{
                {"AXRole", "AXTextField"}, {"AXSubrole", "AXSecureTextField"}, {"AXTitle", "Password"}}));
  EXPECT_EQ(at(build, "0.0.0").result.attributes,
            (std::map<std::string, std::string>{{"AXRole", "AXStaticText"}, {"AXTitle", "Typed"}}));
  EXPECT_EQ(at(build, "0.1").result.attributes.at("AXValue"), "hello");

  // A re-walk of the text alone, below its secure ancestor, masks it too.
  AccessibilityTreeWalker walker(accessibility, clock, 12, 1.5);
  const std::vector<AccessibilityElement> ancestors{accessibility.applicationElement(pid), handle("field")};
  const auto rewalked = walker.buildTree(handle("text"), "0.0.0", 2, "com.example.App", pid, 10, 1024, ancestors,
                                         AccessibilityWindowScope::unrestricted(), true);
  ASSERT_EQ(rewalked.nodes.size(), 1U);
  EXPECT_FALSE(rewalked.nodes[0].result.attributes.contains("AXValue"));
  EXPECT_TRUE(rewalked.nodes[0].masked);
}

TEST_F(AccessibilityTreeWalkerTest, OnlyWindowsTheCaptureShowedAreWalked) {
  constexpr Rect shownBounds{100, 100, 400, 300};
  struct Window {
    const char* id;
    const char* title;
    std::optional<Rect> frame;
    bool minimised;
    bool walked;
  };
  const Window windows[] = {
      {"shown", "Shown page", shownBounds, false, true},
      {"client area", "Shown page", Rect{101, 121, 398, 278}, false, true},
      {"minimised", "Shown page", shownBounds, true, false},
      {"elsewhere", "Shown page", Rect{600, 100, 400, 300}, false, false},
      {"larger than shown", "Shown page", Rect{90, 100, 420, 300}, false, false},
      {"another title", "Clinic booking", shownBounds, false, false},
      {"no frame", "Shown page", std::nullopt, false, false},
  };
  std::vector<std::string> children;
  for (const Window& window : windows) {
    const std::string content = std::string(window.id) + " content";
    accessibility.addElement(window.id, pid)
        .setValue(window.id, "AXRole", std::string("AXWindow"))
        .setValue(window.id, "AXTitle", std::string(window.title))
        .setValue(window.id, "AXMinimized", window.minimised)
        .addElement(content, pid)
        .setValue(content, "AXRole", std::string("AXStaticText"))
        .setValue(content, "AXTitle", content)
        .setChildren(window.id, {content});
    if (window.frame) {
      accessibility.setValue(window.id, "AXPosition", AccessibilityPoint{window.frame->x, window.frame->y})
          .setValue(window.id, "AXSize", AccessibilitySize{window.frame->width, window.frame->height});
    }
    children.emplace_back(window.id);
  }
  // Elements that are not windows are walked whatever the scope.
  accessibility.addElement("menus", pid)
      .setValue("menus", "AXRole", std::string("AXMenuBar"))
      .setValue("menus", "AXTitle", std::string("Menus"));
  children.emplace_back("menus");
  accessibility.setChildren("app", children);

  const auto build = walkShowing(AccessibilityWindowScope({{.title = "Shown page", .bounds = shownBounds}}));
  EXPECT_EQ(titles(build),
            (std::vector<std::string>{"Shown page", "shown content", "Shown page", "client area content", "Menus"}));
  EXPECT_EQ(at(build, "0.7").result.attributes.at("AXTitle"), "Menus");  // paths keep their positions
  EXPECT_FALSE(build.partial);                                           // left out by rule, not by a limit

  EXPECT_EQ(walkShowing(AccessibilityWindowScope()).nodes.size(), 2U);  // the application and its menus
  EXPECT_EQ(walkShowing(AccessibilityWindowScope::unrestricted()).nodes.size(), 1U + 2U * std::size(windows) + 1U);
}

}  // namespace
}  // namespace Sablekit
