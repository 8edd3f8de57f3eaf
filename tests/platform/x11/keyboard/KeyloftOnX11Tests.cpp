// The built Keyloft on a private Xvfb, typed on through XTEST: chords become
// event lines in both modes, exclusive mode keeps the completing Super key
// from the focused application, and a second host on the same display and
// lock directory stands by.
#include <cstdlib>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "tests/platform/x11/keyboard/FocusedKeyWindow.h"
#include "tests/platform/x11/keyboard/XTestKeyboard.h"
#include "tests/support/RunningChild.h"
#include "tests/support/XvfbDisplay.h"

namespace Sablekit {
namespace {

using Testing::FocusedKeyWindow;
using Testing::RunningChild;
using Testing::XTestKeyboard;
using Testing::XvfbDisplay;
using K = XTestKeyboard;

struct KeyStep {
  std::uint32_t keysym;
  bool press;
};

const std::vector<KeyStep> plainChord = {{K::superL, true}, {K::superR, true}, {K::superR, false}, {K::superL, false}};

class KeyloftOnX11 : public ::testing::TestWithParam<bool> {
 protected:
  void SetUp() override {
    if (!XvfbDisplay::installed()) {
      GTEST_SKIP() << "Xvfb is not installed";
    }
    char lockDirectory[] = "/tmp/keyloft-x11-XXXXXX";
    ASSERT_NE(::mkdtemp(lockDirectory), nullptr);
    lockDirectory_ = lockDirectory;
    display_ = std::make_unique<XvfbDisplay>();
    keys_ = std::make_unique<XTestKeyboard>(display_->name());
  }
  void TearDown() override {
    if (!lockDirectory_.empty()) {
      std::filesystem::remove_all(lockDirectory_);
    }
  }

  bool exclusive() const { return GetParam(); }

  // A host on the test display whose lock file lives in the test's directory.
  std::unique_ptr<RunningChild> startHost(std::vector<std::string> arguments) const {
    if (exclusive()) {
      arguments.push_back("--exclusive");
    }
    return std::make_unique<RunningChild>(
        KEYLOFT_PATH, arguments,
        std::map<std::string, std::string>{
            {"DISPLAY", display_->name()}, {"TMPDIR", lockDirectory_}, {"XDG_RUNTIME_DIR", ""}});
  }

  static nlohmann::json readEvent(RunningChild& host) {
    const std::optional<std::string> line = host.readLine();
    return line ? nlohmann::json::parse(*line) : nlohmann::json();
  }

  void type(const std::vector<KeyStep>& steps) {
    for (const KeyStep& step : steps) {
      step.press ? keys_->press(step.keysym) : keys_->release(step.keysym);
    }
  }

  std::string lockDirectory_;
  std::unique_ptr<XvfbDisplay> display_;
  std::unique_ptr<XTestKeyboard> keys_;
};

TEST_P(KeyloftOnX11, ChordsBecomeEventLines) {
  struct Case {
    const char* name;
    std::vector<KeyStep> steps;
    std::optional<std::string> event;  // absent: no line (the plain chord after it proves it)
  };
  const std::vector<Case> cases = {
      {"both Super keys", plainChord, "primary"},
      {"right Super first", {{K::superR, true}, {K::superL, true}, {K::superL, false}, {K::superR, false}}, "primary"},
      {"Shift held first",
       {{K::shiftL, true},
        {K::superL, true},
        {K::superR, true},
        {K::superR, false},
        {K::superL, false},
        {K::shiftL, false}},
       "search"},
      {"Shift pressed after the chord",
       {{K::superL, true},
        {K::superR, true},
        {K::shiftR, true},
        {K::shiftR, false},
        {K::superR, false},
        {K::superL, false}},
       "primary"},
      {"Alt held",
       {{K::altL, true},
        {K::superL, true},
        {K::superR, true},
        {K::superR, false},
        {K::superL, false},
        {K::altL, false}},
       std::nullopt},
      {"Control pressed in between",
       {{K::superL, true},
        {K::controlR, true},
        {K::superR, true},
        {K::superR, false},
        {K::controlR, false},
        {K::superL, false}},
       std::nullopt},
  };
  const auto host = startHost({"--command-command=primary", "--command-command-shift=search"});
  const nlohmann::json health = readEvent(*host);
  ASSERT_EQ(health.value("event", ""), "health");
  ASSERT_EQ(health.value("monitorInstalled", false), true) << health;
  for (const Case& scenario : cases) {
    SCOPED_TRACE(scenario.name);
    type(scenario.steps);
    if (!scenario.event) {
      type(plainChord);
    }
    EXPECT_EQ(readEvent(*host), nlohmann::json({{"event", scenario.event.value_or("primary")}}));
  }
  host->closeInput();
  EXPECT_EQ(host->waitForExit(), 0);
}

TEST_P(KeyloftOnX11, TheFocusedApplicationLosesOnlyWhatExclusiveModeSwallows) {
  FocusedKeyWindow application(display_->name());
  const auto host = startHost({"--command-command=primary"});
  ASSERT_EQ(readEvent(*host).value("monitorInstalled", false), true);
  type(plainChord);
  type({{K::letterA, true}, {K::letterA, false}});
  EXPECT_EQ(readEvent(*host), nlohmann::json({{"event", "primary"}}));

  const std::uint8_t superL = keys_->keycodeOf(K::superL);
  const std::uint8_t superR = keys_->keycodeOf(K::superR);
  const std::uint8_t letterA = keys_->keycodeOf(K::letterA);
  std::vector<FocusedKeyWindow::KeyEvent> received;
  while (received.empty() || received.back() != FocusedKeyWindow::KeyEvent{false, letterA}) {
    const auto event = application.nextKeyEvent();
    ASSERT_TRUE(event) << "the application never got the letter";
    received.push_back(*event);
  }
  using E = FocusedKeyWindow::KeyEvent;
  const std::vector<E> expected =
      exclusive() ? std::vector<E>{{true, superL}, {false, superL}, {true, letterA}, {false, letterA}}
                  : std::vector<E>{{true, superL},  {true, superR},  {false, superR},
                                   {false, superL}, {true, letterA}, {false, letterA}};
  EXPECT_EQ(received, expected);
}

TEST_P(KeyloftOnX11, ASecondHostOnTheSameDisplayAndDirectoryStandsBy) {
  const auto owner = startHost({"--command-command=primary"});
  ASSERT_EQ(readEvent(*owner).value("monitorInstalled", false), true);
  const auto second = startHost({"--command-command=primary"});
  const nlohmann::json health = readEvent(*second);
  EXPECT_EQ(health.value("event", ""), "health");
  EXPECT_EQ(health.value("monitorInstalled", true), false);
  EXPECT_EQ(health.value("reason", ""), "ownerUnavailable");
  // The owner still has the shortcut, and the second host ends with its pipe.
  type(plainChord);
  EXPECT_EQ(readEvent(*owner), nlohmann::json({{"event", "primary"}}));
  second->closeInput();
  EXPECT_EQ(second->waitForExit(), 0);
}

INSTANTIATE_TEST_SUITE_P(BothModes,
                         KeyloftOnX11,
                         ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& mode) {
                           return mode.param ? "exclusive" : "listening";
                         });

}  // namespace
}  // namespace Sablekit
