// Tests for the simulated accessibility client: element identity, batched and
// single reads, slow applications on the injected clock, settings and scenarios.
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "Sablekit/platform/simulated/SimulatedAccessibility.h"
#include "Sablekit/platform/simulated/SimulatedDesktop.h"

namespace Sablekit {
namespace {

class SimulatedAccessibilityTest : public ::testing::Test {
 protected:
  SimulatedAccessibilityTest() {
    accessibility.addApplication(42, "app").addElement("window", 42).addElement("group", 42);
    accessibility.setChildren("app", {"window"})
        .setValue("app", "AXFocusedWindow", accessibility.reference("window"))
        .setValue("window", "AXTitle", std::string("Inbox"))
        .setValue("window", "AXDescription", AccessibilityError{})
        .setValue("window", "AXValue", AccessibilityNull{});
  }

  AccessibilityElement window() {
    const auto focused = accessibility.readAttribute(accessibility.applicationElement(42), "AXFocusedWindow");
    return std::get<AccessibilityElementReference>(focused.value().storage).element;
  }

  SimulatedClock clock;
  FaultInjector faults;
  SimulatedAccessibility accessibility{clock, faults};
};

TEST_F(SimulatedAccessibilityTest, HandlesToTheSameElementAreEqualButNeverTheSameObject) {
  const AccessibilityElement first = window();
  const AccessibilityElement second = window();
  EXPECT_NE(first.identity(), second.identity());
  EXPECT_EQ(first, second);
  EXPECT_EQ(first.hash(), second.hash());
  const auto children = accessibility.readAttribute(accessibility.applicationElement(42), "AXChildren");
  const auto& array = std::get<AccessibilityArray>(children.value().storage);
  ASSERT_EQ(array.elements.size(), 1u);
  EXPECT_EQ(std::get<AccessibilityElementReference>(array.elements[0].storage).element, first);
  EXPECT_NE(accessibility.applicationElement(42), first);
  EXPECT_NE(AccessibilityElement(), first);
}

TEST_F(SimulatedAccessibilityTest, ABatchCarriesOneSlotPerNameWithErrorsInPlace) {
  const std::vector<std::string> names{"AXTitle", "AXDescription", "AXValue", "AXHelp"};
  const auto slots = accessibility.readAttributes(window(), names);
  ASSERT_TRUE(slots.has_value());
  ASSERT_EQ(slots->size(), 4u);
  EXPECT_EQ(std::get<std::string>((*slots)[0].storage), "Inbox");
  EXPECT_TRUE(std::holds_alternative<AccessibilityError>((*slots)[1].storage));
  EXPECT_TRUE(std::holds_alternative<AccessibilityNull>((*slots)[2].storage));
  EXPECT_TRUE(std::holds_alternative<AccessibilityError>((*slots)[3].storage));  // unsupported
  // Single reads of failing or missing attributes fail instead.
  EXPECT_FALSE(accessibility.readAttribute(window(), "AXDescription").has_value());
  EXPECT_FALSE(accessibility.readAttribute(window(), "AXHelp").has_value());
}

TEST_F(SimulatedAccessibilityTest, InjectedFaultsBreakTheBatchAsAWholeOrAnswerTheWrongCount) {
  const std::vector<std::string> names{"AXTitle"};
  faults.arm(std::string(SimulatedOperation::accessibilityReadAttributes), FaultKind::fail, 1);
  EXPECT_FALSE(accessibility.readAttributes(window(), names).has_value());
  faults.arm(std::string(SimulatedOperation::accessibilityReadAttributes), FaultKind::empty, 1);
  EXPECT_EQ(accessibility.readAttributes(window(), names)->size(), 0u);
  EXPECT_EQ(accessibility.readAttributes(window(), names)->size(), 1u);
}

TEST_F(SimulatedAccessibilityTest, ASlowElementFailsAfterTheMessagingTimeoutOnTheInjectedClock) {
  accessibility.setResponseDelay("window", 0.7);
  const AccessibilityElement handle = window();
  // Under the platform's default timeout the answer just takes its time.
  EXPECT_EQ(std::get<std::string>(accessibility.readAttribute(handle, "AXTitle")->storage), "Inbox");
  EXPECT_DOUBLE_EQ(clock.monotonicNow(), 0.7);
  // The application element's timeout covers the elements read through it.
  accessibility.setMessagingTimeout(accessibility.applicationElement(42), 0.5);
  EXPECT_FALSE(accessibility.readAttribute(handle, "AXTitle").has_value());
  EXPECT_DOUBLE_EQ(clock.monotonicNow(), 1.2);
}

TEST_F(SimulatedAccessibilityTest, AVanishedElementOrUnknownProcessFailsEveryCall) {
  const AccessibilityElement handle = window();
  accessibility.removeElement("window");
  const std::vector<std::string> names{"AXTitle"};
  EXPECT_FALSE(accessibility.readAttributes(handle, names).has_value());
  EXPECT_FALSE(accessibility.readAttribute(handle, "AXTitle").has_value());
  EXPECT_FALSE(accessibility.setAttribute(handle, "AXTitle", std::string("x")));
  EXPECT_FALSE(accessibility.readAttribute(accessibility.applicationElement(7), "AXRole").has_value());
}

TEST_F(SimulatedAccessibilityTest, SettingsAreRecordedAndRefusalsLeaveTheValue) {
  accessibility.refuseSetting("app", "AXEnhancedUserInterface");
  const auto app = accessibility.applicationElement(42);
  EXPECT_TRUE(accessibility.setAttribute(app, "AXManualAccessibility", true));
  EXPECT_FALSE(accessibility.setAttribute(app, "AXEnhancedUserInterface", true));
  EXPECT_TRUE(std::get<bool>(accessibility.storedValue("app", "AXManualAccessibility")->storage));
  EXPECT_FALSE(accessibility.storedValue("app", "AXEnhancedUserInterface").has_value());
  const auto settings = accessibility.settings();
  ASSERT_EQ(settings.size(), 2u);
  EXPECT_TRUE(settings[0].accepted);
  EXPECT_FALSE(settings[1].accepted);
}

TEST(SimulatedAccessibilityScenarioTest, LoadsNestedTreesWithTypedValues) {
  SimulatedClock clock;
  FaultInjector faults;
  SimulatedAccessibility accessibility{clock, faults};
  accessibility.loadScenario(nlohmann::json::parse(R"({"applications": [{
      "processID": 7, "id": "app",
      "attributes": {"AXFocusedWindow": {"element": "w"}},
      "refuseSetting": ["AXManualAccessibility"],
      "children": [{"id": "w", "attributes": {
          "AXRole": "AXWindow", "AXURL": {"url": "https://example.com/"}, "AXPosition": {"point": [1, 2.5]},
          "AXSize": {"size": [3, 4]}, "AXFrame": {"rect": [0, 0, -1, 2]}, "AXRange": {"range": [3, 0]},
          "AXEnabled": true, "AXIndex": 3, "AXValue": 0.5, "AXHelp": {"error": true}, "AXNothing": null,
          "AXList": ["a", {"element": "app"}]},
        "responseDelay": 0.25, "children": [{}]}]}]})"));
  const auto app = accessibility.applicationElement(7);
  const auto window =
      std::get<AccessibilityElementReference>(accessibility.readAttribute(app, "AXFocusedWindow")->storage).element;
  EXPECT_EQ(SimulatedAccessibility::elementID(window), "w");
  const std::vector<std::string> names{"AXURL",   "AXPosition", "AXFrame",   "AXRange", "AXEnabled", "AXIndex",
                                       "AXValue", "AXHelp",     "AXNothing", "AXList",  "AXChildren"};
  const auto slots = accessibility.readAttributes(window, names).value();
  EXPECT_EQ(std::get<AccessibilityURL>(slots[0].storage).absoluteString, "https://example.com/");
  EXPECT_DOUBLE_EQ(std::get<AccessibilityPoint>(slots[1].storage).y, 2.5);
  EXPECT_DOUBLE_EQ(std::get<AccessibilityRect>(slots[2].storage).width, -1);
  EXPECT_EQ(std::get<AccessibilityRange>(slots[3].storage).location, 3);
  EXPECT_TRUE(std::get<bool>(slots[4].storage));
  EXPECT_EQ(std::get<std::int64_t>(slots[5].storage), 3);
  EXPECT_DOUBLE_EQ(std::get<double>(slots[6].storage), 0.5);
  EXPECT_TRUE(std::holds_alternative<AccessibilityError>(slots[7].storage));
  EXPECT_TRUE(std::holds_alternative<AccessibilityNull>(slots[8].storage));
  EXPECT_EQ(std::get<AccessibilityElementReference>(std::get<AccessibilityArray>(slots[9].storage).elements[1].storage)
                .element,
            app);
  EXPECT_EQ(std::get<AccessibilityArray>(slots[10].storage).elements.size(), 1u);
  EXPECT_DOUBLE_EQ(clock.monotonicNow(), 0.25);
  EXPECT_FALSE(accessibility.setAttribute(app, "AXManualAccessibility", true));
}

TEST(SimulatedAccessibilityScenarioTest, RefusesMalformedSectionsNamingThePath) {
  struct Case {
    const char* json;
    const char* path;
  };
  const Case cases[] = {
      {R"({"apps": []})", "accessibility.apps"},
      {R"({"applications": [{"id": "a"}]})", "accessibility.applications[0].processID"},
      {R"({"applications": [{"processID": 1, "children": [{"colour": 1}]}]})",
       "accessibility.applications[0].children[0].colour"},
      {R"({"applications": [{"processID": 1, "attributes": {"AXFocusedWindow": {"element": "nowhere"}}}]})",
       "accessibility.applications[0].attributes.AXFocusedWindow.element"},
      {R"({"applications": [{"processID": 1, "attributes": {"AXPosition": {"point": [1]}}}]})",
       "accessibility.applications[0].attributes.AXPosition.point"},
      {R"({"applications": [{"processID": 1, "id": "x"}, {"processID": 2, "id": "x"}]})",
       "accessibility.applications[1].id"},
      {R"({"applications": [{"processID": 1, "responseDelay": -1}]})", "accessibility.applications[0].responseDelay"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.json);
    SimulatedClock clock;
    FaultInjector faults;
    SimulatedAccessibility accessibility{clock, faults};
    try {
      accessibility.loadScenario(nlohmann::json::parse(c.json));
      ADD_FAILURE() << "loaded";
    } catch (const ScenarioError& error) {
      EXPECT_NE(std::string(error.what()).find(std::string("scenario ") + c.path + ":"), std::string::npos)
          << error.what();
    }
  }
}

}  // namespace
}  // namespace Sablekit
