// Tests for the simulated client's tree builders: generated trees, batched
// reads that fail or miscount, and their scenario keys.
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "Sablekit/platform/simulated/ScenarioError.h"
#include "Sablekit/platform/simulated/SimulatedAccessibility.h"

namespace Sablekit {
namespace {

class SimulatedAccessibilityTreeTest : public ::testing::Test {
 protected:
  std::vector<std::string> childIDs(const std::string& id) const {
    std::vector<std::string> ids;
    const auto children = accessibility.storedValue(id, "AXChildren");
    if (!children) {
      return ids;
    }
    for (const auto& entry : std::get<AccessibilityArray>(children->storage).elements) {
      ids.push_back(
          SimulatedAccessibility::elementID(std::get<AccessibilityElementReference>(entry.storage).element).value());
    }
    return ids;
  }

  SimulatedClock clock;
  FaultInjector faults;
  SimulatedAccessibility accessibility{clock, faults};
};

TEST_F(SimulatedAccessibilityTreeTest, GeneratedTreesFillBreadthFirstAfterExistingChildren) {
  accessibility.addApplication(7, "app").addElement("own", 7).setChildren("app", {"own"});
  const auto ids = accessibility.addGeneratedDescendants(
      "app", {.count = 7, .fanOut = 3, .attributes = {{"AXEnabled", AccessibilityValue(true)}}});
  ASSERT_EQ(ids.size(), 7U);
  EXPECT_EQ(childIDs("app"), (std::vector<std::string>{"own", ids[0], ids[1], ids[2]}));
  EXPECT_EQ(childIDs(ids[0]), (std::vector<std::string>{ids[3], ids[4], ids[5]}));
  EXPECT_EQ(childIDs(ids[1]), std::vector<std::string>{ids[6]});
  EXPECT_TRUE(childIDs(ids[2]).empty());
  EXPECT_EQ(std::get<std::string>(accessibility.storedValue(ids[4], "AXTitle")->storage), "Item 5");
  EXPECT_EQ(std::get<std::string>(accessibility.storedValue(ids[4], "AXIdentifier")->storage), "item-5");
  EXPECT_TRUE(std::get<bool>(accessibility.storedValue(ids[6], "AXEnabled")->storage));
  EXPECT_THROW(accessibility.addGeneratedDescendants("app", {.count = 1, .fanOut = 0}), std::invalid_argument);

  const auto more = accessibility.addGeneratedDescendants("app", {.count = 1});
  EXPECT_EQ(more, std::vector<std::string>{"#app/8"});
  EXPECT_EQ(childIDs("app").back(), "#app/8");
}

TEST_F(SimulatedAccessibilityTreeTest, BatchedReadsFailOrMiscountPerElement) {
  accessibility.addApplication(7, "app").setValue("app", "AXRole", std::string("AXApplication"));
  const std::vector<std::string> names = {"AXRole", "AXTitle"};
  const auto element = accessibility.applicationElement(7);
  EXPECT_EQ(accessibility.readAttributes(element, names)->size(), 2U);
  accessibility.setBatchedReads("app", SimulatedAccessibility::BatchedReads::wrongCount);
  EXPECT_EQ(accessibility.readAttributes(element, names)->size(), 1U);
  accessibility.setBatchedReads("app", SimulatedAccessibility::BatchedReads::fail);
  EXPECT_EQ(accessibility.readAttributes(element, names), std::nullopt);
  EXPECT_TRUE(accessibility.readAttribute(element, "AXRole").has_value());
}

TEST_F(SimulatedAccessibilityTreeTest, ScenariosGenerateTreesAndSetBatchedReads) {
  accessibility.loadScenario(nlohmann::json::parse(R"({"applications": [{
      "processID": 9, "id": "app", "batchedReads": "wrongCount",
      "attributes": {"AXFocusedUIElement": {"element": "#app/3"}},
      "generated": {"count": 3, "fanOut": 2, "attributes": {"AXHelp": "generated"}}}]})"));
  EXPECT_EQ(childIDs("app"), (std::vector<std::string>{"#app/1", "#app/2"}));
  EXPECT_EQ(std::get<std::string>(accessibility.storedValue("#app/3", "AXHelp")->storage), "generated");
  const std::vector<std::string> names = {"AXRole", "AXTitle"};
  EXPECT_EQ(accessibility.readAttributes(accessibility.applicationElement(9), names)->size(), 1U);
}

TEST_F(SimulatedAccessibilityTreeTest, ScenarioFaultsNameTheirPath) {
  struct Case {
    const char* scenario;
    const char* path;
  };
  const Case cases[] = {
      {R"({"applications": [{"processID": 1, "batchedReads": "sometimes"}]})",
       "accessibility.applications[0].batchedReads"},
      {R"({"applications": [{"processID": 1, "generated": {"fanOut": 2}}]})",
       "accessibility.applications[0].generated.count"},
      {R"({"applications": [{"processID": 1, "generated": {"count": 2, "fanOut": 0}}]})",
       "accessibility.applications[0].generated.fanOut"},
      {R"({"applications": [{"processID": 1, "generated": {"count": 2000000}}]})",
       "accessibility.applications[0].generated.count"},
      {R"({"applications": [{"processID": 1, "generated": {"count": 2, "depth": 3}}]})",
       "accessibility.applications[0].generated.depth"},
      {R"({"applications": [{"processID": 1, "generated": {"count": 2, "attributes": {"AXChildren": []}}}]})",
       "accessibility.applications[0].generated.attributes.AXChildren"},
  };
  for (const auto& testCase : cases) {
    SCOPED_TRACE(testCase.scenario);
    SimulatedAccessibility fresh(clock, faults);
    try {
      fresh.loadScenario(nlohmann::json::parse(testCase.scenario));
      ADD_FAILURE() << "accepted";
    } catch (const ScenarioError& error) {
      EXPECT_NE(std::string(error.what()).find(std::string(testCase.path) + ":"), std::string::npos) << error.what();
    }
  }
}

}  // namespace
}  // namespace Sablekit
