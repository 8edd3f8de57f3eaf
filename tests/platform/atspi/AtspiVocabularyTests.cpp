// The vocabulary table without a bus: roles, concealed fields, attribute
// values from facts, and events.
#include <atspi/atspi-constants.h>
#include <gtest/gtest.h>

#include "Sablekit/platform/atspi/AtspiVocabulary.h"

namespace Sablekit {
namespace {

AtspiElementFacts facts(std::uint32_t role, std::initializer_list<std::uint32_t> states = {}) {
  AtspiElementFacts result;
  result.role = role;
  for (const std::uint32_t state : states) {
    result.states |= std::uint64_t{1} << state;
  }
  result.parts = atspiCorePart | atspiExtentsPart | atspiTextPart | atspiValuePart | atspiDocumentPart;
  return result;
}

std::string textOf(const std::optional<AccessibilityValue>& value) {
  return value && std::holds_alternative<std::string>(value->storage) ? std::get<std::string>(value->storage)
                                                                      : "<none>";
}

TEST(AtspiVocabularyTest, EveryRoleIsInTheTableAtItsNumber) {
  for (std::uint32_t role = 0; role < ATSPI_ROLE_LAST_DEFINED; ++role) {
    SCOPED_TRACE(role);
    EXPECT_EQ(AtspiVocabulary::role(role).role, role);
    EXPECT_FALSE(AtspiVocabulary::role(role).axRole.empty());
  }
  EXPECT_EQ(AtspiVocabulary::role(ATSPI_ROLE_LAST_DEFINED + 7).axRole, "AXUnknown");
}

TEST(AtspiVocabularyTest, RolesAndSubroles) {
  struct Case {
    const char* name;
    std::uint32_t role;
    std::initializer_list<std::uint32_t> states;
    const char* axRole;
    const char* axSubrole;
    const char* description;
  };
  const Case cases[] = {
      {"application", ATSPI_ROLE_APPLICATION, {}, "AXApplication", "<none>", "application"},
      {"frame", ATSPI_ROLE_FRAME, {}, "AXWindow", "AXStandardWindow", "frame"},
      {"dialog", ATSPI_ROLE_DIALOG, {}, "AXWindow", "AXDialog", "dialog"},
      {"button", ATSPI_ROLE_PUSH_BUTTON, {}, "AXButton", "<none>", "push button"},
      {"entry", ATSPI_ROLE_ENTRY, {ATSPI_STATE_SINGLE_LINE}, "AXTextField", "<none>", "entry"},
      {"text view", ATSPI_ROLE_TEXT, {ATSPI_STATE_MULTI_LINE}, "AXTextArea", "<none>", "text"},
      {"password", ATSPI_ROLE_PASSWORD_TEXT, {}, "AXTextField", "AXSecureTextField", "password text"},
      {"web page", ATSPI_ROLE_DOCUMENT_WEB, {}, "AXWebArea", "<none>", "document web"},
      {"label", ATSPI_ROLE_LABEL, {}, "AXStaticText", "<none>", "label"},
      {"panel", ATSPI_ROLE_PANEL, {}, "AXGroup", "<none>", "panel"},
      {"tab list", ATSPI_ROLE_PAGE_TAB_LIST, {}, "AXTabGroup", "<none>", "page tab list"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const AtspiElementFacts element = facts(c.role, c.states);
    EXPECT_EQ(textOf(AtspiVocabulary::value(element, "AXRole")), c.axRole);
    EXPECT_EQ(textOf(AtspiVocabulary::value(element, "AXSubrole")), c.axSubrole);
    EXPECT_EQ(textOf(AtspiVocabulary::value(element, "AXRoleDescription")), c.description);
  }
}

TEST(AtspiVocabularyTest, ConcealedFieldsNeverReportTheirText) {
  AtspiElementFacts password = facts(ATSPI_ROLE_PASSWORD_TEXT);
  password.text = "hunter2";
  password.selection = std::pair(0, 3);
  password.attributes["placeholder-text"] = "Your hunter2";
  AtspiElementFacts markedByToolkit = facts(ATSPI_ROLE_ENTRY);
  markedByToolkit.attributes["text-input-type"] = "Password";
  markedByToolkit.text = "hunter2";
  AtspiElementFacts plain = facts(ATSPI_ROLE_ENTRY);
  plain.text = "hello";
  plain.attributes["text-input-type"] = "email";

  for (const AtspiElementFacts* concealed : {&password, &markedByToolkit}) {
    EXPECT_TRUE(AtspiVocabulary::isConcealed(*concealed));
    EXPECT_EQ(textOf(AtspiVocabulary::value(*concealed, "AXSubrole")), "AXSecureTextField");
    for (const char* attribute : {"AXValue", "AXSelectedText", "AXPlaceholderValue"}) {
      SCOPED_TRACE(attribute);
      EXPECT_FALSE(AtspiVocabulary::value(*concealed, attribute));
    }
  }
  EXPECT_FALSE(AtspiVocabulary::isConcealed(plain));
  EXPECT_EQ(textOf(AtspiVocabulary::value(plain, "AXValue")), "hello");
}

TEST(AtspiVocabularyTest, ValuesFromTextValueAndCheckMarks) {
  AtspiElementFacts paragraph = facts(ATSPI_ROLE_PARAGRAPH);
  paragraph.text = "See \xEF\xBF\xBC for caf\xC3\xA9 prices";  // an embedded link, an accented letter
  paragraph.selection = std::pair(13, 17);
  EXPECT_EQ(textOf(AtspiVocabulary::value(paragraph, "AXValue")), "See  for caf\xC3\xA9 prices");
  EXPECT_EQ(textOf(AtspiVocabulary::value(paragraph, "AXSelectedText")), "\xC3\xA9 pr");
  const auto range = AtspiVocabulary::value(paragraph, "AXSelectedTextRange");
  ASSERT_TRUE(range);
  EXPECT_EQ(std::get<AccessibilityRange>(range->storage).location, 13);
  EXPECT_EQ(std::get<AccessibilityRange>(range->storage).length, 4);

  AtspiElementFacts slider = facts(ATSPI_ROLE_SLIDER);
  slider.value = AtspiValueFacts{.current = 0.25, .minimum = 0, .maximum = 1, .increment = 0.05};
  EXPECT_EQ(std::get<double>(AtspiVocabulary::value(slider, "AXValue")->storage), 0.25);
  EXPECT_EQ(std::get<double>(AtspiVocabulary::value(slider, "AXMaxValue")->storage), 1.0);

  struct Mark {
    std::initializer_list<std::uint32_t> states;
    std::int64_t value;
  };
  for (const Mark& mark : {Mark{{}, 0}, Mark{{ATSPI_STATE_CHECKED}, 1}, Mark{{ATSPI_STATE_INDETERMINATE}, 2}}) {
    SCOPED_TRACE(mark.value);
    EXPECT_EQ(
        std::get<std::int64_t>(AtspiVocabulary::value(facts(ATSPI_ROLE_CHECK_BOX, mark.states), "AXValue")->storage),
        mark.value);
  }
  EXPECT_FALSE(AtspiVocabulary::value(facts(ATSPI_ROLE_PANEL), "AXValue"));
}

TEST(AtspiVocabularyTest, StatesAreReportedWhereTheyMeanSomething) {
  const auto boolean = [](const AtspiElementFacts& element, const char* name) -> std::string {
    const auto value = AtspiVocabulary::value(element, name);
    return !value ? "<none>" : std::get<bool>(value->storage) ? "true" : "false";
  };
  EXPECT_EQ(boolean(facts(ATSPI_ROLE_PUSH_BUTTON, {ATSPI_STATE_FOCUSABLE, ATSPI_STATE_FOCUSED}), "AXFocused"), "true");
  EXPECT_EQ(boolean(facts(ATSPI_ROLE_LABEL), "AXFocused"), "<none>");
  EXPECT_EQ(boolean(facts(ATSPI_ROLE_FRAME, {ATSPI_STATE_ICONIFIED}), "AXMinimized"), "true");
  EXPECT_EQ(boolean(facts(ATSPI_ROLE_PUSH_BUTTON, {ATSPI_STATE_ICONIFIED}), "AXMinimized"), "<none>");
  EXPECT_EQ(boolean(facts(ATSPI_ROLE_FRAME, {ATSPI_STATE_ACTIVE}), "AXMain"), "true");
  EXPECT_EQ(boolean(facts(ATSPI_ROLE_PUSH_BUTTON, {ATSPI_STATE_SENSITIVE}), "AXEnabled"), "true");
  EXPECT_EQ(boolean(facts(ATSPI_ROLE_PUSH_BUTTON), "AXEnabled"), "false");
}

TEST(AtspiVocabularyTest, OnlyAShowingDocumentReportsItsAddress) {
  struct Case {
    const char* name;
    const char* key;
    bool showing;
    const char* expected;
  };
  const Case cases[] = {
      {"Gecko", "DocURL", true, "http://127.0.0.1:8000/a.html"},
      {"Chromium", "URI", true, "http://127.0.0.1:8000/a.html"},
      {"background tab", "DocURL", false, "<none>"},
      {"other key", "Title", true, "<none>"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    AtspiElementFacts document =
        c.showing ? facts(ATSPI_ROLE_DOCUMENT_WEB, {ATSPI_STATE_SHOWING}) : facts(ATSPI_ROLE_DOCUMENT_WEB);
    document.documentAttributes = std::map<std::string, std::string>{{c.key, "http://127.0.0.1:8000/a.html"}};
    const auto url = AtspiVocabulary::value(document, "AXURL");
    EXPECT_EQ(url ? std::get<AccessibilityURL>(url->storage).absoluteString : "<none>", c.expected);
  }
}

TEST(AtspiVocabularyTest, GeometryAndAttributes) {
  AtspiElementFacts button = facts(ATSPI_ROLE_PUSH_BUTTON);
  button.extents = AtspiExtents{.x = 110, .y = 220, .width = 80, .height = 30};
  button.attributes = {{"id", "save"}, {"class", "  primary  wide\tbig "}};
  const auto position = AtspiVocabulary::value(button, "AXPosition", AccessibilityPoint{100, 200});
  ASSERT_TRUE(position);
  EXPECT_EQ(std::get<AccessibilityPoint>(position->storage).x, 10);
  EXPECT_EQ(std::get<AccessibilityPoint>(position->storage).y, 20);
  EXPECT_EQ(std::get<AccessibilitySize>(AtspiVocabulary::value(button, "AXSize")->storage).width, 80);
  EXPECT_EQ(textOf(AtspiVocabulary::value(button, "AXDOMIdentifier")), "save");
  const auto classes = AtspiVocabulary::value(button, "AXDOMClassList");
  ASSERT_TRUE(classes);
  const auto& list = std::get<AccessibilityArray>(classes->storage).elements;
  ASSERT_EQ(list.size(), 3U);
  EXPECT_EQ(std::get<std::string>(list[2].storage), "big");
  EXPECT_FALSE(AtspiVocabulary::value(facts(ATSPI_ROLE_LABEL), "AXPosition")) << "no extents were read";
  EXPECT_EQ(AtspiVocabulary::partsFor("AXHidden"), 0U);
}

TEST(AtspiVocabularyTest, EventsAndTheirNotifications) {
  struct Case {
    const char* interface;
    const char* member;
    const char* detail;
    int detail1;
    std::vector<std::string_view> expected;
  };
  const char* object = "org.a11y.atspi.Event.Object";
  const char* window = "org.a11y.atspi.Event.Window";
  const Case cases[] = {
      {object, "TextChanged", "insert", 0, {"AXValueChanged"}},
      {object, "TextChanged", "delete:system", 3, {"AXValueChanged"}},
      {object, "StateChanged", "focused", 1, {"AXFocusedUIElementChanged"}},
      {object, "StateChanged", "focused", 0, {}},
      {object, "StateChanged", "defunct", 1, {"AXUIElementDestroyed"}},
      {object, "StateChanged", "defunctive", 1, {}},
      {object, "PropertyChange", "accessible-name", 0, {"AXTitleChanged"}},
      {object, "ChildrenChanged", "add", 2, {"AXLayoutChanged"}},
      {object, "BoundsChanged", "", 0, {}},
      {window, "Activate", "", 0, {"AXFocusedWindowChanged"}},
      {window, "Create", "", 0, {"AXWindowCreated"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.member) + " " + c.detail);
    EXPECT_EQ(AtspiVocabulary::notificationsFor(c.interface, c.member, c.detail, c.detail1), c.expected);
  }
  EXPECT_TRUE(AtspiVocabulary::registryEventsFor("AXMoved").empty());
  EXPECT_EQ(AtspiVocabulary::registryEventsFor("AXTitleChanged"),
            (std::vector<std::string_view>{"object:property-change:accessible-name",
                                           "object:property-change:accessible-description"}));
}

}  // namespace
}  // namespace Sablekit
