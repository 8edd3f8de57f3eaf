// The vocabulary table: AT-SPI roles, states, interfaces and events in the
// names the services read.
#include "Sablekit/platform/atspi/AtspiVocabulary.h"

#include <algorithm>
#include <array>
#include <string>

#include <atspi/atspi-constants.h>

namespace Sablekit {

namespace {

// Every AT-SPI role. Containers without a closer counterpart are "AXGroup".
constexpr AtspiRoleMapping roleTable[] = {
    {ATSPI_ROLE_INVALID, "invalid", "AXUnknown", ""},
    {ATSPI_ROLE_ACCELERATOR_LABEL, "accelerator label", "AXStaticText", ""},
    {ATSPI_ROLE_ALERT, "alert", "AXGroup", "AXApplicationAlert"},
    {ATSPI_ROLE_ANIMATION, "animation", "AXImage", ""},
    {ATSPI_ROLE_ARROW, "arrow", "AXGroup", ""},
    {ATSPI_ROLE_CALENDAR, "calendar", "AXGroup", ""},
    {ATSPI_ROLE_CANVAS, "canvas", "AXGroup", ""},
    {ATSPI_ROLE_CHECK_BOX, "check box", "AXCheckBox", ""},
    {ATSPI_ROLE_CHECK_MENU_ITEM, "check menu item", "AXMenuItem", ""},
    {ATSPI_ROLE_COLOR_CHOOSER, "color chooser", "AXWindow", "AXDialog"},
    {ATSPI_ROLE_COLUMN_HEADER, "column header", "AXCell", ""},
    {ATSPI_ROLE_COMBO_BOX, "combo box", "AXComboBox", ""},
    {ATSPI_ROLE_DATE_EDITOR, "date editor", "AXDateField", ""},
    {ATSPI_ROLE_DESKTOP_ICON, "desktop icon", "AXImage", ""},
    {ATSPI_ROLE_DESKTOP_FRAME, "desktop frame", "AXGroup", ""},
    {ATSPI_ROLE_DIAL, "dial", "AXSlider", ""},
    {ATSPI_ROLE_DIALOG, "dialog", "AXWindow", "AXDialog"},
    {ATSPI_ROLE_DIRECTORY_PANE, "directory pane", "AXGroup", ""},
    {ATSPI_ROLE_DRAWING_AREA, "drawing area", "AXGroup", ""},
    {ATSPI_ROLE_FILE_CHOOSER, "file chooser", "AXWindow", "AXDialog"},
    {ATSPI_ROLE_FILLER, "filler", "AXGroup", ""},
    {ATSPI_ROLE_FOCUS_TRAVERSABLE, "focus traversable", "AXGroup", ""},
    {ATSPI_ROLE_FONT_CHOOSER, "font chooser", "AXWindow", "AXDialog"},
    {ATSPI_ROLE_FRAME, "frame", "AXWindow", "AXStandardWindow"},
    {ATSPI_ROLE_GLASS_PANE, "glass pane", "AXGroup", ""},
    {ATSPI_ROLE_HTML_CONTAINER, "html container", "AXGroup", ""},
    {ATSPI_ROLE_ICON, "icon", "AXImage", ""},
    {ATSPI_ROLE_IMAGE, "image", "AXImage", ""},
    {ATSPI_ROLE_INTERNAL_FRAME, "internal frame", "AXGroup", ""},
    {ATSPI_ROLE_LABEL, "label", "AXStaticText", ""},
    {ATSPI_ROLE_LAYERED_PANE, "layered pane", "AXGroup", ""},
    {ATSPI_ROLE_LIST, "list", "AXList", ""},
    {ATSPI_ROLE_LIST_ITEM, "list item", "AXGroup", ""},
    {ATSPI_ROLE_MENU, "menu", "AXMenu", ""},
    {ATSPI_ROLE_MENU_BAR, "menu bar", "AXMenuBar", ""},
    {ATSPI_ROLE_MENU_ITEM, "menu item", "AXMenuItem", ""},
    {ATSPI_ROLE_OPTION_PANE, "option pane", "AXGroup", ""},
    {ATSPI_ROLE_PAGE_TAB, "page tab", "AXRadioButton", "AXTabButton"},
    {ATSPI_ROLE_PAGE_TAB_LIST, "page tab list", "AXTabGroup", ""},
    {ATSPI_ROLE_PANEL, "panel", "AXGroup", ""},
    {ATSPI_ROLE_PASSWORD_TEXT, "password text", "AXTextField", "AXSecureTextField"},
    {ATSPI_ROLE_POPUP_MENU, "popup menu", "AXMenu", ""},
    {ATSPI_ROLE_PROGRESS_BAR, "progress bar", "AXProgressIndicator", ""},
    {ATSPI_ROLE_PUSH_BUTTON, "push button", "AXButton", ""},
    {ATSPI_ROLE_RADIO_BUTTON, "radio button", "AXRadioButton", ""},
    {ATSPI_ROLE_RADIO_MENU_ITEM, "radio menu item", "AXMenuItem", ""},
    {ATSPI_ROLE_ROOT_PANE, "root pane", "AXGroup", ""},
    {ATSPI_ROLE_ROW_HEADER, "row header", "AXCell", ""},
    {ATSPI_ROLE_SCROLL_BAR, "scroll bar", "AXScrollBar", ""},
    {ATSPI_ROLE_SCROLL_PANE, "scroll pane", "AXScrollArea", ""},
    {ATSPI_ROLE_SEPARATOR, "separator", "AXSplitter", ""},
    {ATSPI_ROLE_SLIDER, "slider", "AXSlider", ""},
    {ATSPI_ROLE_SPIN_BUTTON, "spin button", "AXIncrementor", ""},
    {ATSPI_ROLE_SPLIT_PANE, "split pane", "AXSplitGroup", ""},
    {ATSPI_ROLE_STATUS_BAR, "status bar", "AXGroup", ""},
    {ATSPI_ROLE_TABLE, "table", "AXTable", ""},
    {ATSPI_ROLE_TABLE_CELL, "table cell", "AXCell", ""},
    {ATSPI_ROLE_TABLE_COLUMN_HEADER, "table column header", "AXCell", ""},
    {ATSPI_ROLE_TABLE_ROW_HEADER, "table row header", "AXCell", ""},
    {ATSPI_ROLE_TEAROFF_MENU_ITEM, "tearoff menu item", "AXMenuItem", ""},
    {ATSPI_ROLE_TERMINAL, "terminal", "AXTextArea", ""},
    {ATSPI_ROLE_TEXT, "text", "AXTextField", ""},
    {ATSPI_ROLE_TOGGLE_BUTTON, "toggle button", "AXCheckBox", "AXToggle"},
    {ATSPI_ROLE_TOOL_BAR, "tool bar", "AXToolbar", ""},
    {ATSPI_ROLE_TOOL_TIP, "tool tip", "AXHelpTag", ""},
    {ATSPI_ROLE_TREE, "tree", "AXOutline", ""},
    {ATSPI_ROLE_TREE_TABLE, "tree table", "AXOutline", ""},
    {ATSPI_ROLE_UNKNOWN, "unknown", "AXUnknown", ""},
    {ATSPI_ROLE_VIEWPORT, "viewport", "AXScrollArea", ""},
    {ATSPI_ROLE_WINDOW, "window", "AXWindow", ""},
    {ATSPI_ROLE_EXTENDED, "extended", "AXGroup", ""},
    {ATSPI_ROLE_HEADER, "header", "AXGroup", ""},
    {ATSPI_ROLE_FOOTER, "footer", "AXGroup", ""},
    {ATSPI_ROLE_PARAGRAPH, "paragraph", "AXGroup", ""},
    {ATSPI_ROLE_RULER, "ruler", "AXGroup", ""},
    {ATSPI_ROLE_APPLICATION, "application", "AXApplication", ""},
    {ATSPI_ROLE_AUTOCOMPLETE, "autocomplete", "AXComboBox", ""},
    {ATSPI_ROLE_EDITBAR, "editbar", "AXTextField", ""},
    {ATSPI_ROLE_EMBEDDED, "embedded", "AXGroup", ""},
    {ATSPI_ROLE_ENTRY, "entry", "AXTextField", ""},
    {ATSPI_ROLE_CHART, "chart", "AXGroup", ""},
    {ATSPI_ROLE_CAPTION, "caption", "AXStaticText", ""},
    {ATSPI_ROLE_DOCUMENT_FRAME, "document frame", "AXGroup", ""},
    {ATSPI_ROLE_HEADING, "heading", "AXHeading", ""},
    {ATSPI_ROLE_PAGE, "page", "AXGroup", ""},
    {ATSPI_ROLE_SECTION, "section", "AXGroup", ""},
    {ATSPI_ROLE_REDUNDANT_OBJECT, "redundant object", "AXGroup", ""},
    {ATSPI_ROLE_FORM, "form", "AXGroup", ""},
    {ATSPI_ROLE_LINK, "link", "AXLink", ""},
    {ATSPI_ROLE_INPUT_METHOD_WINDOW, "input method window", "AXGroup", ""},
    {ATSPI_ROLE_TABLE_ROW, "table row", "AXRow", ""},
    {ATSPI_ROLE_TREE_ITEM, "tree item", "AXRow", "AXOutlineRow"},
    {ATSPI_ROLE_DOCUMENT_SPREADSHEET, "document spreadsheet", "AXGroup", ""},
    {ATSPI_ROLE_DOCUMENT_PRESENTATION, "document presentation", "AXGroup", ""},
    {ATSPI_ROLE_DOCUMENT_TEXT, "document text", "AXGroup", ""},
    {ATSPI_ROLE_DOCUMENT_WEB, "document web", "AXWebArea", ""},
    {ATSPI_ROLE_DOCUMENT_EMAIL, "document email", "AXGroup", ""},
    {ATSPI_ROLE_COMMENT, "comment", "AXGroup", ""},
    {ATSPI_ROLE_LIST_BOX, "list box", "AXList", ""},
    {ATSPI_ROLE_GROUPING, "grouping", "AXGroup", ""},
    {ATSPI_ROLE_IMAGE_MAP, "image map", "AXImage", ""},
    {ATSPI_ROLE_NOTIFICATION, "notification", "AXGroup", "AXApplicationAlert"},
    {ATSPI_ROLE_INFO_BAR, "info bar", "AXGroup", ""},
    {ATSPI_ROLE_LEVEL_BAR, "level bar", "AXLevelIndicator", ""},
    {ATSPI_ROLE_TITLE_BAR, "title bar", "AXGroup", ""},
    {ATSPI_ROLE_BLOCK_QUOTE, "block quote", "AXGroup", ""},
    {ATSPI_ROLE_AUDIO, "audio", "AXGroup", ""},
    {ATSPI_ROLE_VIDEO, "video", "AXGroup", ""},
    {ATSPI_ROLE_DEFINITION, "definition", "AXGroup", ""},
    {ATSPI_ROLE_ARTICLE, "article", "AXGroup", ""},
    {ATSPI_ROLE_LANDMARK, "landmark", "AXGroup", ""},
    {ATSPI_ROLE_LOG, "log", "AXGroup", ""},
    {ATSPI_ROLE_MARQUEE, "marquee", "AXGroup", ""},
    {ATSPI_ROLE_MATH, "math", "AXGroup", "AXDocumentMath"},
    {ATSPI_ROLE_RATING, "rating", "AXLevelIndicator", ""},
    {ATSPI_ROLE_TIMER, "timer", "AXGroup", ""},
    {ATSPI_ROLE_STATIC, "static", "AXStaticText", ""},
    {ATSPI_ROLE_MATH_FRACTION, "math fraction", "AXGroup", ""},
    {ATSPI_ROLE_MATH_ROOT, "math root", "AXGroup", ""},
    {ATSPI_ROLE_SUBSCRIPT, "subscript", "AXGroup", ""},
    {ATSPI_ROLE_SUPERSCRIPT, "superscript", "AXGroup", ""},
    {ATSPI_ROLE_DESCRIPTION_LIST, "description list", "AXList", "AXDescriptionList"},
    {ATSPI_ROLE_DESCRIPTION_TERM, "description term", "AXGroup", "AXTerm"},
    {ATSPI_ROLE_DESCRIPTION_VALUE, "description value", "AXGroup", "AXDescription"},
    {ATSPI_ROLE_FOOTNOTE, "footnote", "AXGroup", ""},
    {ATSPI_ROLE_CONTENT_DELETION, "content deletion", "AXGroup", ""},
    {ATSPI_ROLE_CONTENT_INSERTION, "content insertion", "AXGroup", ""},
    {ATSPI_ROLE_MARK, "mark", "AXGroup", ""},
    {ATSPI_ROLE_SUGGESTION, "suggestion", "AXGroup", ""},
    {ATSPI_ROLE_PUSH_BUTTON_MENU, "push button menu", "AXMenuButton", ""},
};

constexpr AtspiRoleMapping unknownRole{0, "", "AXUnknown", ""};

bool isWindowRole(std::uint32_t role) {
  return AtspiVocabulary::role(role).axRole == "AXWindow";
}

bool isCheckable(const AtspiElementFacts& facts) {
  switch (facts.role) {
    case ATSPI_ROLE_CHECK_BOX:
    case ATSPI_ROLE_CHECK_MENU_ITEM:
    case ATSPI_ROLE_RADIO_BUTTON:
    case ATSPI_ROLE_RADIO_MENU_ITEM:
    case ATSPI_ROLE_TOGGLE_BUTTON:
      return true;
    default:
      return facts.has(ATSPI_STATE_CHECKABLE);
  }
}

std::optional<AccessibilityValue> nonEmpty(const std::string& text) {
  if (text.empty()) {
    return std::nullopt;
  }
  return AccessibilityValue(text);
}

std::optional<AccessibilityValue> attribute(const AtspiElementFacts& facts, const char* key) {
  const auto found = facts.attributes.find(key);
  return found == facts.attributes.end() ? std::nullopt : nonEmpty(found->second);
}

std::optional<AccessibilityValue> state(const AtspiElementFacts& facts, std::uint32_t state) {
  return AccessibilityValue(facts.has(state));
}

// A state reported only where it means something: only focusable elements
// say whether they are focused, and so on.
std::optional<AccessibilityValue> stateWhere(const AtspiElementFacts& facts,
                                             std::uint32_t condition,
                                             std::uint32_t state) {
  if (!facts.has(condition)) {
    return std::nullopt;
  }
  return AccessibilityValue(facts.has(state));
}

// Text without the placeholders for embedded objects (U+FFFC) that hypertext
// puts where a child element (a link, an image) sits in the text.
std::string withoutEmbeddedObjects(const std::string& text) {
  static constexpr std::string_view objectReplacement = "\xEF\xBF\xBC";
  std::string result;
  result.reserve(text.size());
  for (std::size_t at = 0; at < text.size();) {
    if (text.compare(at, objectReplacement.size(), objectReplacement) == 0) {
      at += objectReplacement.size();
    } else {
      result.push_back(text[at++]);
    }
  }
  return result;
}

// Byte offset of the code point with index `character` in UTF-8 `text`
// (the text's size when past its end): AT-SPI offsets count characters.
std::size_t byteOffset(const std::string& text, std::int32_t character) {
  std::size_t at = 0;
  for (std::int32_t counted = 0; at < text.size() && counted < character; ++counted) {
    ++at;
    while (at < text.size() && (static_cast<unsigned char>(text[at]) & 0xC0) == 0x80) {
      ++at;
    }
  }
  return at;
}

std::optional<AccessibilityValue> role(const AtspiElementFacts& facts, AccessibilityPoint) {
  const AtspiRoleMapping& mapping = AtspiVocabulary::role(facts.role);
  if ((facts.role == ATSPI_ROLE_TEXT || facts.role == ATSPI_ROLE_ENTRY) && facts.has(ATSPI_STATE_MULTI_LINE)) {
    return AccessibilityValue(std::string("AXTextArea"));
  }
  return AccessibilityValue(std::string(mapping.axRole));
}

std::optional<AccessibilityValue> subrole(const AtspiElementFacts& facts, AccessibilityPoint) {
  if (AtspiVocabulary::isConcealed(facts)) {
    return AccessibilityValue(std::string("AXSecureTextField"));
  }
  const std::string_view mapped = AtspiVocabulary::role(facts.role).axSubrole;
  return mapped.empty() ? std::nullopt : std::optional(AccessibilityValue(std::string(mapped)));
}

std::optional<AccessibilityValue> roleDescription(const AtspiElementFacts& facts, AccessibilityPoint) {
  const std::string_view name = AtspiVocabulary::role(facts.role).roleName;
  return name.empty() ? std::nullopt : std::optional(AccessibilityValue(std::string(name)));
}

// Text first (entries, labels, paragraphs), then a value, then a check mark.
std::optional<AccessibilityValue> value(const AtspiElementFacts& facts, AccessibilityPoint) {
  if (AtspiVocabulary::isConcealed(facts)) {
    return std::nullopt;
  }
  if (facts.text) {
    return AccessibilityValue(withoutEmbeddedObjects(*facts.text));
  }
  if (facts.value) {
    return AccessibilityValue(facts.value->current);
  }
  if (isCheckable(facts)) {
    const std::int64_t mark = facts.has(ATSPI_STATE_INDETERMINATE) ? 2 : facts.has(ATSPI_STATE_CHECKED) ? 1 : 0;
    return AccessibilityValue(mark);
  }
  return std::nullopt;
}

std::optional<AccessibilityValue> position(const AtspiElementFacts& facts, AccessibilityPoint origin) {
  if (!facts.extents) {
    return std::nullopt;
  }
  return AccessibilityValue(AccessibilityPoint{facts.extents->x - origin.x, facts.extents->y - origin.y});
}

std::optional<AccessibilityValue> size(const AtspiElementFacts& facts, AccessibilityPoint) {
  if (!facts.extents) {
    return std::nullopt;
  }
  return AccessibilityValue(
      AccessibilitySize{static_cast<double>(facts.extents->width), static_cast<double>(facts.extents->height)});
}

std::optional<AccessibilityValue> selectedText(const AtspiElementFacts& facts, AccessibilityPoint) {
  if (AtspiVocabulary::isConcealed(facts) || !facts.text || !facts.selection) {
    return std::nullopt;
  }
  const std::size_t start = byteOffset(*facts.text, facts.selection->first);
  const std::size_t end = byteOffset(*facts.text, facts.selection->second);
  return AccessibilityValue(withoutEmbeddedObjects(facts.text->substr(start, end - start)));
}

std::optional<AccessibilityValue> selectedTextRange(const AtspiElementFacts& facts, AccessibilityPoint) {
  if (facts.selection) {
    return AccessibilityValue(
        AccessibilityRange{facts.selection->first, facts.selection->second - facts.selection->first});
  }
  if (facts.caret && *facts.caret >= 0) {
    return AccessibilityValue(AccessibilityRange{*facts.caret, 0});
  }
  return std::nullopt;
}

// A showing document's address: Gecko names it "DocURL", Chromium "URI".
// Background tabs keep their documents, so one that is not showing reports none.
std::optional<AccessibilityValue> url(const AtspiElementFacts& facts, AccessibilityPoint) {
  if (!facts.documentAttributes || !facts.has(ATSPI_STATE_SHOWING)) {
    return std::nullopt;
  }
  for (const char* key : {"DocURL", "URI"}) {
    const auto found = facts.documentAttributes->find(key);
    if (found != facts.documentAttributes->end() && !found->second.empty()) {
      return AccessibilityValue(AccessibilityURL{found->second});
    }
  }
  return std::nullopt;
}

std::optional<AccessibilityValue> classList(const AtspiElementFacts& facts, AccessibilityPoint) {
  const auto found = facts.attributes.find("class");
  if (found == facts.attributes.end()) {
    return std::nullopt;
  }
  AccessibilityArray classes;
  std::size_t at = 0;
  const std::string& text = found->second;
  while (at < text.size()) {
    const std::size_t start = text.find_first_not_of(" \t\n", at);
    if (start == std::string::npos) {
      break;
    }
    const std::size_t end = std::min(text.find_first_of(" \t\n", start), text.size());
    classes.elements.emplace_back(text.substr(start, end - start));
    at = end;
  }
  return AccessibilityValue(std::move(classes));
}

std::optional<AccessibilityValue> windowState(const AtspiElementFacts& facts, std::uint32_t stateType) {
  if (!isWindowRole(facts.role)) {
    return std::nullopt;
  }
  return state(facts, stateType);
}

std::optional<AccessibilityValue> valueNumber(const AtspiElementFacts& facts, double AtspiValueFacts::*member) {
  if (!facts.value) {
    return std::nullopt;
  }
  return AccessibilityValue((*facts.value).*member);
}

using Reading = std::optional<AccessibilityValue> (*)(const AtspiElementFacts&, AccessibilityPoint);

struct AttributeMapping {
  std::string_view name;
  std::uint32_t parts;
  Reading read;
};

// The attributes answered from facts. Names the services ask for that are
// not here ("AXHidden", "AXIndex", element-valued ones…) read as errors.
constexpr AttributeMapping attributeTable[] = {
    {"AXRole", atspiCorePart, role},
    {"AXSubrole", atspiCorePart, subrole},
    {"AXRoleDescription", atspiCorePart, roleDescription},
    {"AXTitle", atspiCorePart, [](const AtspiElementFacts& f, AccessibilityPoint) { return nonEmpty(f.name); }},
    {"AXDescription", atspiCorePart,
     [](const AtspiElementFacts& f, AccessibilityPoint) { return nonEmpty(f.description); }},
    {"AXHelp", atspiCorePart, [](const AtspiElementFacts& f, AccessibilityPoint) { return nonEmpty(f.helpText); }},
    {"AXIdentifier", atspiCorePart,
     [](const AtspiElementFacts& f, AccessibilityPoint) { return nonEmpty(f.accessibleID); }},
    {"AXValue", atspiCorePart | atspiTextPart | atspiValuePart, value},
    {"AXPosition", atspiCorePart | atspiExtentsPart, position},
    {"AXSize", atspiCorePart | atspiExtentsPart, size},
    {"AXEnabled", atspiCorePart,
     [](const AtspiElementFacts& f, AccessibilityPoint) {
       return std::optional(AccessibilityValue(f.has(ATSPI_STATE_ENABLED) || f.has(ATSPI_STATE_SENSITIVE)));
     }},
    {"AXMinimized", atspiCorePart,
     [](const AtspiElementFacts& f, AccessibilityPoint) { return windowState(f, ATSPI_STATE_ICONIFIED); }},
    {"AXMain", atspiCorePart,
     [](const AtspiElementFacts& f, AccessibilityPoint) { return windowState(f, ATSPI_STATE_ACTIVE); }},
    {"AXModal", atspiCorePart,
     [](const AtspiElementFacts& f, AccessibilityPoint) { return windowState(f, ATSPI_STATE_MODAL); }},
    {"AXFocused", atspiCorePart,
     [](const AtspiElementFacts& f, AccessibilityPoint) {
       return stateWhere(f, ATSPI_STATE_FOCUSABLE, ATSPI_STATE_FOCUSED);
     }},
    {"AXSelected", atspiCorePart,
     [](const AtspiElementFacts& f, AccessibilityPoint) {
       return stateWhere(f, ATSPI_STATE_SELECTABLE, ATSPI_STATE_SELECTED);
     }},
    {"AXExpanded", atspiCorePart,
     [](const AtspiElementFacts& f, AccessibilityPoint) {
       return stateWhere(f, ATSPI_STATE_EXPANDABLE, ATSPI_STATE_EXPANDED);
     }},
    {"AXVisited", atspiCorePart,
     [](const AtspiElementFacts& f, AccessibilityPoint) {
       return f.role == ATSPI_ROLE_LINK ? state(f, ATSPI_STATE_VISITED) : std::nullopt;
     }},
    {"AXElementBusy", atspiCorePart,
     [](const AtspiElementFacts& f, AccessibilityPoint) { return state(f, ATSPI_STATE_BUSY); }},
    {"AXPlaceholderValue", atspiCorePart,
     [](const AtspiElementFacts& f, AccessibilityPoint) {
       return AtspiVocabulary::isConcealed(f) ? std::nullopt : attribute(f, "placeholder-text");
     }},
    {"AXDOMIdentifier", atspiCorePart,
     [](const AtspiElementFacts& f, AccessibilityPoint) { return attribute(f, "id"); }},
    {"AXDOMClassList", atspiCorePart, classList},
    {"AXARIALive", atspiCorePart, [](const AtspiElementFacts& f, AccessibilityPoint) { return attribute(f, "live"); }},
    {"AXAutocompleteValue", atspiCorePart,
     [](const AtspiElementFacts& f, AccessibilityPoint) { return attribute(f, "autocomplete"); }},
    {"AXSortDirection", atspiCorePart,
     [](const AtspiElementFacts& f, AccessibilityPoint) { return attribute(f, "sort"); }},
    {"AXURL", atspiCorePart | atspiDocumentPart, url},
    {"AXSelectedText", atspiCorePart | atspiTextPart, selectedText},
    {"AXSelectedTextRange", atspiCorePart | atspiTextPart, selectedTextRange},
    {"AXMinValue", atspiCorePart | atspiValuePart,
     [](const AtspiElementFacts& f, AccessibilityPoint) { return valueNumber(f, &AtspiValueFacts::minimum); }},
    {"AXMaxValue", atspiCorePart | atspiValuePart,
     [](const AtspiElementFacts& f, AccessibilityPoint) { return valueNumber(f, &AtspiValueFacts::maximum); }},
    {"AXValueIncrement", atspiCorePart | atspiValuePart,
     [](const AtspiElementFacts& f, AccessibilityPoint) { return valueNumber(f, &AtspiValueFacts::increment); }},
};

const AttributeMapping* findAttribute(std::string_view name) {
  for (const AttributeMapping& mapping : attributeTable) {
    if (mapping.name == name) {
      return &mapping;
    }
  }
  return nullptr;
}

constexpr std::string_view objectEvents = "org.a11y.atspi.Event.Object";
constexpr std::string_view windowEvents = "org.a11y.atspi.Event.Window";

// Bounds come from the window system, not from "object:bounds-changed",
// which floods while a window moves.
constexpr AtspiEventMapping eventTable[] = {
    {objectEvents, "StateChanged", "focused", 1, "AXFocusedUIElementChanged", "object:state-changed:focused"},
    {objectEvents, "ActiveDescendantChanged", "", -1, "AXFocusedUIElementChanged", "object:active-descendant-changed"},
    {windowEvents, "Activate", "", -1, "AXFocusedWindowChanged", "window:activate"},
    {windowEvents, "Deactivate", "", -1, "AXFocusedWindowChanged", "window:deactivate"},
    {windowEvents, "Create", "", -1, "AXWindowCreated", "window:create"},
    {windowEvents, "Destroy", "", -1, "AXUIElementDestroyed", "window:destroy"},
    {objectEvents, "StateChanged", "defunct", 1, "AXUIElementDestroyed", "object:state-changed:defunct"},
    {objectEvents, "TextChanged", "", -1, "AXValueChanged", "object:text-changed"},
    {objectEvents, "PropertyChange", "accessible-value", -1, "AXValueChanged",
     "object:property-change:accessible-value"},
    {objectEvents, "StateChanged", "checked", -1, "AXValueChanged", "object:state-changed:checked"},
    {objectEvents, "PropertyChange", "accessible-name", -1, "AXTitleChanged", "object:property-change:accessible-name"},
    {objectEvents, "PropertyChange", "accessible-description", -1, "AXTitleChanged",
     "object:property-change:accessible-description"},
    {objectEvents, "ChildrenChanged", "", -1, "AXLayoutChanged", "object:children-changed"},
    {objectEvents, "SelectionChanged", "", -1, "AXSelectedChildrenChanged", "object:selection-changed"},
    {objectEvents, "TextSelectionChanged", "", -1, "AXSelectedTextChanged", "object:text-selection-changed"},
    {objectEvents, "TextCaretMoved", "", -1, "AXSelectedTextChanged", "object:text-caret-moved"},
};

bool detailMatches(std::string_view wanted, std::string_view detail) {
  if (wanted.empty() || detail == wanted) {
    return true;
  }
  return detail.size() > wanted.size() && detail.substr(0, wanted.size()) == wanted && detail[wanted.size()] == ':';
}

}  // namespace

const AtspiRoleMapping& AtspiVocabulary::role(std::uint32_t role) {
  // The table is in enumeration order, so the role is its index.
  if (role < std::size(roleTable) && roleTable[role].role == role) {
    return roleTable[role];
  }
  return unknownRole;
}

std::span<const AtspiRoleMapping> AtspiVocabulary::roles() {
  return roleTable;
}

bool AtspiVocabulary::isConcealed(const AtspiElementFacts& facts) {
  if (facts.role == ATSPI_ROLE_PASSWORD_TEXT) {
    return true;
  }
  // Web engines say so of an <input type="password"> whatever role they give it.
  const auto type = facts.attributes.find("text-input-type");
  if (type == facts.attributes.end()) {
    return false;
  }
  std::string lowered = type->second;
  std::transform(lowered.begin(), lowered.end(), lowered.begin(), [](unsigned char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : static_cast<char>(c);
  });
  return lowered == "password";
}

std::uint32_t AtspiVocabulary::partsFor(std::string_view attribute) {
  const AttributeMapping* mapping = findAttribute(attribute);
  return mapping == nullptr ? 0 : mapping->parts;
}

std::vector<std::string_view> AtspiVocabulary::attributeNames() {
  std::vector<std::string_view> names;
  for (const AttributeMapping& mapping : attributeTable) {
    names.push_back(mapping.name);
  }
  return names;
}

std::optional<AccessibilityValue> AtspiVocabulary::value(const AtspiElementFacts& facts,
                                                         std::string_view attribute,
                                                         AccessibilityPoint screenOrigin) {
  const AttributeMapping* mapping = findAttribute(attribute);
  if (mapping == nullptr) {
    return std::nullopt;
  }
  return mapping->read(facts, screenOrigin);
}

std::span<const AtspiEventMapping> AtspiVocabulary::events() {
  return eventTable;
}

std::vector<std::string_view> AtspiVocabulary::notificationsFor(std::string_view interface,
                                                                std::string_view member,
                                                                std::string_view detail,
                                                                int detail1) {
  std::vector<std::string_view> notifications;
  for (const AtspiEventMapping& mapping : eventTable) {
    if (mapping.interface == interface && mapping.member == member && detailMatches(mapping.detail, detail) &&
        (mapping.detail1 < 0 || mapping.detail1 == detail1) &&
        std::find(notifications.begin(), notifications.end(), mapping.notification) == notifications.end()) {
      notifications.push_back(mapping.notification);
    }
  }
  return notifications;
}

std::vector<std::string_view> AtspiVocabulary::registryEventsFor(std::string_view notification) {
  std::vector<std::string_view> events;
  for (const AtspiEventMapping& mapping : eventTable) {
    if (mapping.notification == notification) {
      events.push_back(mapping.registryEvent);
    }
  }
  return events;
}

}  // namespace Sablekit
