// The keyboard section of a scenario: refusals, the scripted changes and
// the strict reading that names what is wrong.
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "Sablekit/platform/simulated/SimulatedDesktop.h"
#include "Sablekit/platform/simulated/SimulatedKeyboard.h"

namespace Sablekit {
namespace {

class Listener final : public KeyboardListener {
 public:
  bool modifierChanged(std::uint16_t keyCode, std::uint64_t) override {
    heard.push_back(keyCode);
    return keyCode == KeyCode::rightCommand;
  }
  void interceptionSwitchedOff() override {}
  std::vector<std::uint16_t> heard;
};

TEST(SimulatedKeyboardScenario, ReplaysTheScriptInOrderOnce) {
  SimulatedKeyboard keyboard;
  keyboard.loadScenario(nlohmann::json::parse(R"({
    "script": [{"press": 56}, {"press": 55}, {"keyCode": 54, "modifierFlags": 1179648}, {"release": 56}]
  })"));
  Listener listener;
  ASSERT_TRUE(keyboard.startIntercepting(listener));
  EXPECT_EQ(keyboard.playScript(), 4u);
  using Change = SimulatedKeyboard::Change;
  const std::uint64_t shift = ModifierFlag::shift, command = ModifierFlag::command;
  EXPECT_EQ(keyboard.changes(), (std::vector<Change>{{KeyCode::leftShift, shift, true, false},
                                                     {KeyCode::leftCommand, shift | command, true, false},
                                                     {KeyCode::rightCommand, shift | command, true, true},
                                                     {KeyCode::leftShift, command, true, false}}))
      << "a raw change carries its own flags and leaves the held keys alone";
  EXPECT_EQ(keyboard.playScript(), 0u) << "the script is played once";
}

TEST(SimulatedKeyboardScenario, RefusalsComeFromTheSection) {
  struct Case {
    const char* section;
    bool listens;
    bool intercepts;
  };
  const std::vector<Case> cases = {
      {R"({})", true, true},
      {R"({"refuseListening": true})", false, true},
      {R"({"refuseIntercepting": true})", true, false},
      {R"({"refuseListening": true, "refuseIntercepting": true})", false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.section);
    Listener listener;
    SimulatedKeyboard listening;
    listening.loadScenario(nlohmann::json::parse(c.section));
    EXPECT_EQ(listening.startListening(listener), c.listens);
    SimulatedKeyboard intercepting;
    intercepting.loadScenario(nlohmann::json::parse(c.section));
    EXPECT_EQ(intercepting.startIntercepting(listener), c.intercepts);
  }
}

TEST(SimulatedKeyboardScenario, RefusesMalformedSectionsNamingThePathAndKeepsItsState) {
  struct Case {
    const char* section;
    const char* path;
  };
  const std::vector<Case> cases = {
      {R"([])", "scenario keyboard:"},
      {R"({"refuseListen": true})", "keyboard.refuseListen"},
      {R"({"refuseIntercepting": "yes"})", "keyboard.refuseIntercepting"},
      {R"({"script": {}})", "keyboard.script"},
      {R"({"script": [{"press": 55}, {"tap": 54}]})", "keyboard.script[1].tap"},
      {R"({"script": [{"press": 55, "release": 55}]})", "keyboard.script[0]"},
      {R"({"script": [{}]})", "keyboard.script[0]"},
      {R"({"script": [{"press": -1}]})", "keyboard.script[0].press"},
      {R"({"script": [{"release": 65536}]})", "keyboard.script[0].release"},
      {R"({"script": [{"press": "55"}]})", "keyboard.script[0].press"},
      {R"({"script": [{"keyCode": 55}]})", "keyboard.script[0].modifierFlags"},
      {R"({"script": [{"keyCode": 55, "modifierFlags": -4}]})", "keyboard.script[0].modifierFlags"},
      {R"({"script": [{"press": 55, "modifierFlags": 0}]})", "keyboard.script[0].modifierFlags"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.section);
    SimulatedKeyboard keyboard;
    keyboard.loadScenario(nlohmann::json::parse(R"({"refuseListening": true, "script": [{"press": 55}]})"));
    try {
      keyboard.loadScenario(nlohmann::json::parse(c.section));
      ADD_FAILURE() << "accepted";
    } catch (const ScenarioError& error) {
      EXPECT_NE(std::string(error.what()).find(c.path), std::string::npos) << error.what();
    }
    Listener listener;
    EXPECT_FALSE(keyboard.startListening(listener)) << "earlier refusal kept";
    EXPECT_EQ(keyboard.playScript(), 1u) << "earlier script kept";
  }
}

}  // namespace
}  // namespace Sablekit
