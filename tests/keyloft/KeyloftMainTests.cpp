// The shortcut host inside the test: its command line, its start-up order and
// the event lines it writes, with a scripted keyboard and fake lease and pipe.
#include <functional>
#include <string>
#include <system_error>
#include <vector>

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include "Keyloft/KeyloftMain.h"
#include "Sablekit/platform/posix/PosixParentPipeWatcher.h"
#include "Sablekit/platform/simulated/SimulatedAccessibilityPrompt.h"
#include "Sablekit/platform/simulated/SimulatedKeyboard.h"
#include "tests/support/MemoryStreams.h"

namespace Sablekit {
namespace {

using Options = KeyloftMain::Options;
constexpr auto primary = ShortcutAction::primary;
constexpr auto search = ShortcutAction::search;

const std::string healthLine = R"({"accessibilityTrusted":true,"event":"health","monitorInstalled":true})";

TEST(KeyloftArguments, ExactFlagsAndTheFirstActionOfEachChord) {
  struct Case {
    const char* name;
    std::vector<std::string> arguments;
    Options expected;
  };
  const std::vector<Case> cases = {
      {"nothing", {}, {}},
      {"every flag",
       {"--exclusive", "--command-command-shift=search", "--prompt-accessibility", "--command-command=primary"},
       {.promptAccessibility = true,
        .exclusive = true,
        .commandCommandAction = primary,
        .commandCommandShiftAction = search}},
      {"the same action for both chords",
       {"--command-command=search", "--command-command-shift=search"},
       {.commandCommandAction = search, .commandCommandShiftAction = search}},
      {"a chord name is not a prefix of the other",
       {"--command-command-shift=primary"},
       {.commandCommandShiftAction = primary}},
      {"first occurrence decides",
       {"--command-command=search", "--command-command=primary"},
       {.commandCommandAction = search}},
      {"a bad first occurrence is not overruled", {"--command-command=bogus", "--command-command=primary"}, {}},
      {"action names are case-sensitive", {"--command-command=Primary"}, {}},
      {"empty action name", {"--command-command="}, {}},
      {"no '=' form of a flag", {"--exclusive=true", "--prompt-accessibility=1"}, {}},
      {"no abbreviations", {"--excl", "--prompt", "-exclusive", "--EXCLUSIVE"}, {}},
      {"chord without '='", {"--command-command", "primary"}, {}},
      {"single dash chord", {"-command-command=primary"}, {}},
      {"unknown arguments are ignored", {"--verbose", "x", "--exclusive"}, {.exclusive = true}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(KeyloftMain::options(c.arguments), c.expected);
  }
}

// Records what the host did with it, in order, into the fixture's log.
class FakeLease final : public HostLease {
 public:
  const std::filesystem::path& path() const override { return path_; }

 private:
  std::filesystem::path path_ = "/fake/orvane.keyloft.lock";
};

class FakePipeWatcher final : public ParentPipeWatcher {
 public:
  FakePipeWatcher(std::vector<std::string>& log, std::function<void()>& onClosed, bool failToStart)
      : log_(log), onClosed_(onClosed), failToStart_(failToStart) {}
  void start() override {
    log_.push_back("watch parent");
    if (failToStart_) {
      throw std::system_error(std::make_error_code(std::errc::resource_unavailable_try_again));
    }
  }
  void stop() override { closed_ = true; }
  bool isClosed() const override { return closed_; }

 private:
  std::vector<std::string>& log_;
  std::function<void()>& onClosed_;
  bool failToStart_;
  bool closed_ = false;
};

class FakePermissions final : public PermissionChecks {
 public:
  explicit FakePermissions(std::vector<std::string>& log) : log_(log) {}
  bool screenRecordingPreflight() override { return false; }
  bool accessibilityTrusted() override {
    log_.push_back("trust check");
    return trusted;
  }
  bool trusted = true;

 private:
  std::vector<std::string>& log_;
};

class KeyloftHost : public ::testing::Test {
 protected:
  // Runs the host with `arguments` (program path added); whatever was posted
  // to the run loop runs after start-up, then the parent closes the pipe.
  int runHost(std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), "Keyloft");
    runLoop.post([this] { closeParentPipe(); });
    return KeyloftMain::main(arguments, environment());
  }

  void closeParentPipe() {
    ASSERT_TRUE(onClosed) << "the pipe watcher was never made";
    onClosed();
  }

  KeyloftMain::Environment environment() {
    return {.keyboard = keyboard,
            .permissions = permissions,
            .accessibilityPrompt = prompt,
            .runLoop = runLoop,
            .output = output,
            .acquireLease = [this]() -> std::unique_ptr<HostLease> {
              log.push_back("take lease");
              return leaseAvailable ? std::make_unique<FakeLease>() : nullptr;
            },
            .watchParentPipe = [this](std::function<void()> handler) -> std::unique_ptr<ParentPipeWatcher> {
              onClosed = std::move(handler);
              return std::make_unique<FakePipeWatcher>(log, onClosed, watcherFails);
            }};
  }

  std::vector<std::string> lines() const {
    std::vector<std::string> result;
    for (std::size_t i = 0; i < output.writes.size(); i += 2) {
      result.push_back(output.writes[i]);
      EXPECT_EQ(i + 1 < output.writes.size() ? output.writes[i + 1] : "", "\n") << "line feed written on its own";
    }
    return result;
  }

  // Both Command keys, left first, then both released.
  void pressChord() {
    keyboard.press(KeyCode::leftCommand);
    keyboard.press(KeyCode::rightCommand);
    keyboard.release(KeyCode::rightCommand);
    keyboard.release(KeyCode::leftCommand);
  }

  std::vector<std::string> log;
  SimulatedKeyboard keyboard;
  FakePermissions permissions{log};
  SimulatedAccessibilityPrompt prompt;
  RunLoop runLoop;
  Testing::RecordingByteSink output;
  std::function<void()> onClosed;
  bool leaseAvailable = true;
  bool watcherFails = false;
};

TEST_F(KeyloftHost, HealthLineReflectsLeaseInstallationAndTrust) {
  using Mode = SimulatedKeyboard::Mode;
  const std::string primaryLine = R"({"event":"primary"})";
  struct Case {
    const char* name;
    std::vector<std::string> arguments;
    bool leaseAvailable;
    bool refuseListening;
    bool refuseIntercepting;
    bool trusted;
    std::vector<std::string> expectedLines;  // after one left-then-right Command chord
    Mode expectedMode;
  };
  const std::vector<Case> cases = {
      {"owner, listening, no action", {}, true, false, false, true, {healthLine}, Mode::listening},
      {"owner, listening, with action",
       {"--command-command=primary"},
       true,
       false,
       false,
       true,
       {healthLine, primaryLine},
       Mode::listening},
      {"owner, untrusted",
       {},
       true,
       false,
       false,
       false,
       {R"({"accessibilityTrusted":false,"event":"health","monitorInstalled":true})"},
       Mode::listening},
      {"listening refused",
       {"--command-command=primary"},
       true,
       true,
       false,
       true,
       {R"({"accessibilityTrusted":true,"event":"health","monitorInstalled":false})"},
       Mode::none},
      {"exclusive intercepts",
       {"--exclusive", "--command-command=primary"},
       true,
       true,
       false,
       true,
       {healthLine, primaryLine},
       Mode::intercepting},
      {"exclusive refused",
       {"--exclusive", "--command-command=primary"},
       true,
       false,
       true,
       false,
       {R"({"accessibilityTrusted":false,"event":"health","monitorInstalled":false})"},
       Mode::none},
      {"standby",
       {"--command-command=primary"},
       false,
       false,
       false,
       true,
       {R"({"accessibilityTrusted":true,"event":"health","monitorInstalled":false,"reason":"ownerUnavailable"})"},
       Mode::none},
      {"standby, untrusted",
       {"--exclusive"},
       false,
       false,
       false,
       false,
       {R"({"accessibilityTrusted":false,"event":"health","monitorInstalled":false,"reason":"ownerUnavailable"})"},
       Mode::none},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SimulatedKeyboard caseKeyboard;
    caseKeyboard.refuseListening(c.refuseListening).refuseIntercepting(c.refuseIntercepting);
    Testing::RecordingByteSink caseOutput;
    permissions.trusted = c.trusted;
    leaseAvailable = c.leaseAvailable;
    KeyloftMain::Environment env = environment();
    std::vector<std::string> arguments = c.arguments;
    arguments.insert(arguments.begin(), "Keyloft");
    runLoop.post([this, &caseKeyboard] {
      caseKeyboard.press(KeyCode::leftCommand);
      caseKeyboard.press(KeyCode::rightCommand);
      closeParentPipe();
    });
    EXPECT_EQ(KeyloftMain::main(arguments, {caseKeyboard, permissions, prompt, runLoop, caseOutput, env.acquireLease,
                                            env.watchParentPipe}),
              0);
    std::string expected;
    for (const std::string& line : c.expectedLines) {
      expected += line + "\n";
    }
    EXPECT_EQ(caseOutput.text(), expected);
    EXPECT_EQ(caseKeyboard.mode(), c.expectedMode);
  }
}

TEST_F(KeyloftHost, StartsInOrderPromptWatcherLeaseMonitorThenTrust) {
  keyboard.refuseListening();
  struct Prompting final : AccessibilityPrompt {
    explicit Prompting(std::vector<std::string>& l) : log(l) {}
    void promptIfNotTrusted() override { log.push_back("prompt"); }
    std::vector<std::string>& log;
  } prompting{log};
  KeyloftMain::Environment env = environment();
  runLoop.post([this] { closeParentPipe(); });
  EXPECT_EQ(KeyloftMain::main({"Keyloft", "--prompt-accessibility"}, {keyboard, permissions, prompting, runLoop, output,
                                                                      env.acquireLease, env.watchParentPipe}),
            0);
  EXPECT_EQ(log, (std::vector<std::string>{"prompt", "watch parent", "take lease", "trust check"}));
}

TEST_F(KeyloftHost, PromptsOnlyWhenAsked) {
  EXPECT_EQ(runHost({"--exclusive", "--command-command=primary"}), 0);
  EXPECT_EQ(prompt.promptCount(), 0);
  EXPECT_EQ(runHost({"--prompt-accessibility"}), 0);
  EXPECT_EQ(prompt.promptCount(), 1);
}

TEST_F(KeyloftHost, ListeningReportsConfiguredChordsAndSwallowsNothing) {
  runLoop.post([this] {
    pressChord();
    keyboard.press(KeyCode::leftShift);
    pressChord();
    keyboard.release(KeyCode::leftShift);
    pressChord();
  });
  EXPECT_EQ(runHost({"--command-command=primary", "--command-command-shift=search"}), 0);
  EXPECT_EQ(lines(), (std::vector<std::string>{healthLine, R"({"event":"primary"})", R"({"event":"search"})",
                                               R"({"event":"primary"})"}));
  EXPECT_TRUE(keyboard.droppedChanges().empty());
}

TEST_F(KeyloftHost, WithoutActionsChordsAreNeitherReportedNorSwallowed) {
  runLoop.post([this] {
    pressChord();
    keyboard.press(KeyCode::rightShift);
    pressChord();
  });
  EXPECT_EQ(runHost({"--exclusive"}), 0);
  EXPECT_EQ(lines(), (std::vector<std::string>{healthLine}));
  EXPECT_TRUE(keyboard.droppedChanges().empty());
}

TEST_F(KeyloftHost, ExclusiveShiftChordIsReportedAndSwallowedPlainChordPasses) {
  runLoop.post([this] {
    pressChord();
    keyboard.press(KeyCode::leftShift);
    pressChord();
  });
  EXPECT_EQ(runHost({"--command-command-shift=search", "--exclusive"}), 0);
  EXPECT_EQ(lines(), (std::vector<std::string>{healthLine, R"({"event":"search"})"}));
  using Change = SimulatedKeyboard::Change;
  const std::uint64_t held = ModifierFlag::command | ModifierFlag::shift;
  EXPECT_EQ(keyboard.droppedChanges(),
            (std::vector<Change>{{KeyCode::rightCommand, held, true, true}, {KeyCode::rightCommand, held, true, true}}))
      << "the completing press and its release only";
}

TEST_F(KeyloftHost, StandbyInstallsNothingAndWritesNothingMore) {
  leaseAvailable = false;
  runLoop.post([this] { pressChord(); });
  EXPECT_EQ(runHost({"--command-command=primary", "--exclusive"}), 0);
  ASSERT_EQ(lines().size(), 1u);
  EXPECT_EQ(keyboard.mode(), SimulatedKeyboard::Mode::none);
  for (const SimulatedKeyboard::Change& change : keyboard.changes()) {
    EXPECT_FALSE(change.delivered);
  }
}

TEST_F(KeyloftHost, ParentGoneBeforeTheLoopStillEndsTheHost) {
  // The watcher fires during start-up: the loop must not wait for it again.
  KeyloftMain::Environment env = environment();
  const KeyloftMain::PipeWatcherFactory closesAtOnce = [&](std::function<void()> handler) {
    auto watcher = env.watchParentPipe(std::move(handler));
    onClosed();
    return watcher;
  };
  bool laterTaskRan = false;
  runLoop.post([&] { laterTaskRan = true; });
  EXPECT_EQ(
      KeyloftMain::main({"Keyloft"}, {keyboard, permissions, prompt, runLoop, output, env.acquireLease, closesAtOnce}),
      0);
  EXPECT_EQ(lines(), (std::vector<std::string>{healthLine}));
  EXPECT_FALSE(laterTaskRan);
}

TEST_F(KeyloftHost, UnwatchableParentPipeEndsBeforeAnythingElse) {
  watcherFails = true;
  EXPECT_EQ(KeyloftMain::main({"Keyloft", "--command-command=primary"}, environment()),
            KeyloftMain::cannotWatchParentStatus);
  EXPECT_TRUE(output.writes.empty());
  EXPECT_EQ(log, (std::vector<std::string>{"watch parent"})) << "no lease taken, no trust check";
  EXPECT_EQ(keyboard.mode(), SimulatedKeyboard::Mode::none);
}

// The real watcher on a real pipe: the parent's bytes are discarded, and
// closing the pipe ends the loop from the watcher's thread.
TEST_F(KeyloftHost, RealPipeWatcherEndsTheLoopWhenTheWriterCloses) {
  int fds[2];
  ASSERT_EQ(::pipe2(fds, O_CLOEXEC), 0);
  const int readEnd = fds[0];
  int writeEnd = fds[1];
  KeyloftMain::Environment env = environment();
  env.watchParentPipe = [readEnd](std::function<void()> handler) -> std::unique_ptr<ParentPipeWatcher> {
    return std::make_unique<PosixParentPipeWatcher>(readEnd, std::move(handler));
  };
  runLoop.post([&] {
    ASSERT_EQ(::write(writeEnd, "noise\n", 6), 6);
    pressChord();
    ::close(writeEnd);
    writeEnd = -1;
  });
  EXPECT_EQ(KeyloftMain::main({"Keyloft", "--command-command=search"}, env), 0);
  EXPECT_EQ(lines(), (std::vector<std::string>{healthLine, R"({"event":"search"})"}));
  ::close(readEnd);
}

}  // namespace
}  // namespace Sablekit
