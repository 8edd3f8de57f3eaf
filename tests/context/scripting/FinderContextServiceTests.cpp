// Reading Finder's front folder: statuses, the remembered refusal, the file
// URL, and the record's JSON form. Scripts run on the simulated engine, which
// answers only the exact script text.
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "Sablekit/context/FinderContextService.h"
#include "Sablekit/platform/simulated/SimulatedClock.h"
#include "Sablekit/platform/simulated/SimulatedScripting.h"

namespace Sablekit {
namespace {

class FinderContextServiceTest : public ::testing::Test {
 protected:
  void finder(SimulatedScripting::Application application) {
    application.bundleID = "com.apple.finder";
    scripting.setApplication(std::move(application));
  }
  std::size_t scriptsRun() const { return scripting.ranScripts().size(); }

  SimulatedClock clock;
  FaultInjector faults;
  SimulatedScripting scripting{clock, faults};
  FinderContextService service{scripting};
};

TEST_F(FinderContextServiceTest, ScriptIsTheFixedFrontFolderQuery) {
  EXPECT_EQ(SimulatedScripting::recognise(FinderContextService::frontFolderScript()).first,
            SimulatedScripting::ScriptKind::finderFrontFolder);
  EXPECT_FALSE(FinderContextService::frontFolderScript().ends_with("\n"));
}

TEST_F(FinderContextServiceTest, TurnsFinderAnswersIntoStatuses) {
  struct Case {
    const char* name;
    SimulatedScripting::Application finder;
    FinderReadStatus status;
    std::optional<std::string> url;
  };
  const std::vector<Case> cases{
      {"folder", {.frontFolder = "/Users/me/Documents/"}, FinderReadStatus::folderURL, "file:///Users/me/Documents/"},
      {"space in name",
       {.frontFolder = "/Users/me/My Folder/"},
       FinderReadStatus::folderURL,
       "file:///Users/me/My%20Folder/"},
      {"surrounded by white space",
       {.frontFolder = "  /Volumes/Data\n"},
       FinderReadStatus::folderURL,
       "file:///Volumes/Data/"},
      {"no windows", {.windowCount = 0}, FinderReadStatus::noWindow, std::nullopt},
      {"only white space", {.frontFolder = " \n\t"}, FinderReadStatus::noWindow, std::nullopt},
      {"no string value", {.noStringResult = true}, FinderReadStatus::noWindow, std::nullopt},
      {"not a POSIX path", {.frontFolder = "Macintosh HD:Users:me:"}, FinderReadStatus::failed, std::nullopt},
      {"window shows no folder", {}, FinderReadStatus::failed, std::nullopt},
      {"other error", {.errorNumber = -600}, FinderReadStatus::failed, std::nullopt},
      {"timed out", {.errorNumber = ScriptErrorNumber::timedOut}, FinderReadStatus::failed, std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    finder(c.finder);
    const FinderContextResult result = service.read(true);
    EXPECT_EQ(result.status, c.status);
    EXPECT_EQ(result.folderURL, c.url);
    EXPECT_FALSE(service.automationUnavailable());
  }
}

TEST_F(FinderContextServiceTest, RefusalIsRememberedUntilReset) {
  for (const std::int32_t refusal : {ScriptErrorNumber::notAuthorized, ScriptErrorNumber::privilegeViolation}) {
    SCOPED_TRACE(refusal);
    finder({.errorNumber = refusal});
    EXPECT_EQ(service.read(true).status, FinderReadStatus::automationUnavailable);
    EXPECT_TRUE(service.automationUnavailable());

    // Now Finder would answer, but it is not asked again.
    finder({.frontFolder = "/tmp/"});
    const std::size_t before = scriptsRun();
    EXPECT_EQ(service.read(true), (FinderContextResult{FinderReadStatus::automationUnavailable, {}}));
    EXPECT_EQ(scriptsRun(), before);

    // Not allowed wins over the remembered refusal, and does not clear it.
    EXPECT_EQ(service.read(false).status, FinderReadStatus::automationDisabled);
    EXPECT_TRUE(service.automationUnavailable());

    service.resetAutomationState();
    EXPECT_FALSE(service.automationUnavailable());
    EXPECT_EQ(service.read(true).folderURL, "file:///tmp/");
    EXPECT_EQ(scriptsRun(), before + 1);
  }
}

TEST_F(FinderContextServiceTest, NotAllowedRunsNoScript) {
  finder({.frontFolder = "/tmp/"});
  EXPECT_EQ(service.read(false), (FinderContextResult{FinderReadStatus::automationDisabled, {}}));
  EXPECT_EQ(scriptsRun(), 0U);
}

TEST_F(FinderContextServiceTest, ScriptThatCannotBeMadeFails) {
  finder({.frontFolder = "/tmp/"});
  scripting.refuseCompile();
  EXPECT_EQ(service.read(true).status, FinderReadStatus::failed);
  EXPECT_FALSE(service.automationUnavailable());
}

TEST(FinderContextResultJSON, LeavesOutAnAbsentURLAndReadsBack) {
  const std::vector<FinderContextResult> results{
      {FinderReadStatus::folderURL, "file:///Users/me/My%20Folder/"},
      {FinderReadStatus::automationUnavailable, std::nullopt},
  };
  for (const FinderContextResult& result : results) {
    const JsonCodec::Value json = result;
    EXPECT_EQ(json.contains("folderURL"), result.folderURL.has_value());
    EXPECT_EQ(FinderContextResult::decode(json), result);
  }
  EXPECT_EQ(JsonCodec::Value(results[1]).dump(), R"({"status":"automationUnavailable"})");
}

}  // namespace
}  // namespace Sablekit
