// The bounded sample of the privacy-leak harness, and the proof that the
// harness itself would notice a leak.
#include <algorithm>
#include <cstdlib>

#include <gtest/gtest.h>

#include "tests/leak/LeakDesktopGenerator.h"
#include "tests/leak/LeakOracle.h"
#include "tests/leak/MarkerScanner.h"
#include "tests/leak/PrivacyLeakHarness.h"

namespace Sablekit::Leak {
namespace {

std::string findings(const LeakHarnessReport& report) {
  std::string text;
  for (const auto* list : {&report.leaks, &report.wrongOutcomes}) {
    for (const LeakFinding& finding : *list) {
      text += PrivacyLeakHarness::describe(finding) + "\n";
    }
  }
  return text;
}

// 150 desktops in three parts; of the frames expected to be captured, every
// 15th is read by the real recogniser and every 5th decoded.
class LeakSample : public ::testing::TestWithParam<std::uint64_t> {};

TEST_P(LeakSample, NoSecretWindowReachesTheParentAndEveryRefusalHappens) {
  const LeakHarnessReport report = PrivacyLeakHarness::run(
      {.seed = 20261210, .firstDesktop = GetParam(), .desktops = 50, .recognizeEvery = 15, .decodeEvery = 5});
  EXPECT_TRUE(report.leaks.empty() && report.wrongOutcomes.empty()) << findings(report);
  EXPECT_EQ(report.desktops, 50u);
  // The sample exercised what it claims to check.
  EXPECT_GT(report.refusalsExpected, 10u);
  EXPECT_GT(report.secretChecks, report.captures);
  EXPECT_GT(report.filesDecoded, 0u);
  EXPECT_EQ(report.decodedControlsSeen, report.decodedControls);
  EXPECT_GT(report.recognizedFrames, 0u);
  EXPECT_GT(report.recognizedAllowedWords, 0u);
}

INSTANTIATE_TEST_SUITE_P(Desktops, LeakSample, ::testing::Values(0u, 50u, 100u));

TEST(LeakHarness, AScreenCaptureThatIgnoresCutOutsIsCaught) {
  const LeakHarnessReport report = PrivacyLeakHarness::run(
      {.seed = 7, .desktops = 20, .recognizeEvery = 0, .decodeEvery = 1, .leakyScreenCaptureForTesting = true});
  ASSERT_FALSE(report.leaks.empty());
  const auto inPixels = [](const LeakFinding& finding) {
    return finding.description.find("pixels of its colour") != std::string::npos;
  };
  EXPECT_TRUE(std::all_of(report.leaks.begin(), report.leaks.end(), inPixels)) << findings(report);
  EXPECT_TRUE(std::any_of(report.leaks.begin(), report.leaks.end(), [](const LeakFinding& finding) {
    return finding.description.find("decoded frame") != std::string::npos;
  })) << findings(report);
}

TEST(LeakDesktopGenerator, ASeedAlwaysGivesTheSameDesktopAndRequests) {
  const LeakDesktop first = LeakDesktopGenerator::generate(42);
  const LeakDesktop again = LeakDesktopGenerator::generate(42);
  const LeakDesktop other = LeakDesktopGenerator::generate(43);
  EXPECT_EQ(first.desktop->simulatedWindowServer().windows(), again.desktop->simulatedWindowServer().windows());
  EXPECT_EQ(first.desktop->simulatedWindowServer().displays(), again.desktop->simulatedWindowServer().displays());
  ASSERT_EQ(first.requests.size(), again.requests.size());
  for (std::size_t i = 0; i < first.requests.size(); ++i) {
    EXPECT_EQ(first.requests[i].parameters, again.requests[i].parameters);
  }
  EXPECT_NE(first.desktop->simulatedWindowServer().windows(), other.desktop->simulatedWindowServer().windows());
}

TEST(LeakDesktopGenerator, MarkerColoursStayApartFromEachOtherAndFromAllowedColours) {
  const auto& colours = LeakDesktopGenerator::markerColours();
  for (std::size_t a = 0; a < colours.size(); ++a) {
    EXPECT_FALSE(LeakDesktopGenerator::isAllowedColour(colours[a]));
    for (std::size_t b = a + 1; b < colours.size(); ++b) {
      int distance = 0;
      for (std::size_t channel = 0; channel < 3; ++channel) {
        distance = std::max(distance, std::abs(colours[a][channel] - colours[b][channel]));
      }
      EXPECT_GT(distance, 2 * MarkerScanner::colourTolerance) << a << " and " << b;
    }
  }
  // The scanner sees no marker in any allowed colour: grey, pastel, the
  // desktop background.
  for (const Colour allowed : {Colour{0x20, 0x20, 0x20, 0xff}, Colour{0xf4, 0xf4, 0xf4, 0xff},
                               Colour{0x40, 0x30, 0x20, 0xff}, Colour{200, 220, 230, 0xff}}) {
    ASSERT_TRUE(LeakDesktopGenerator::isAllowedColour(allowed));
    const PixelImage image{.width = 1, .height = 1, .bgra = {allowed.begin(), allowed.end()}};
    for (const Colour& marker : colours) {
      EXPECT_EQ(MarkerScanner::countPixels(image, marker), 0u);
    }
  }
}

// The oracle's decisive rules on one hand-made desktop: a password manager
// behind, a private window focused, a parent window listed.
TEST(LeakOracle, CutsOutAndRefusesByTheRequestsRules) {
  LeakDesktop desktop;
  desktop.secrets = {
      {.kind = SecretKind::protectedApplication, .group = ApplicationExclusionGroup::passwordManagers},
      {.kind = SecretKind::privateBrowserWindow},
      {.kind = SecretKind::parentListedWindow},
      {.kind = SecretKind::unknownBundle},
  };
  desktop.focusedSecret = 1;
  desktop.excludedDomains = {"d10000.example"};
  struct Case {
    const char* name;
    LeakRequest request;
    std::optional<std::string> refusal;
    std::vector<std::size_t> hidden;
  };
  const auto with = [](auto change) {
    CaptureProbeParameters parameters;
    change(parameters);
    return LeakRequest{.method = "capture.probe", .parameters = parameters, .listsSecrets = true};
  };
  const Case cases[] = {
      {"no parameters", {.method = "capture.probe"}, "privateBrowserWindow", {0, 1, 3}},
      {"listing", with([](CaptureProbeParameters&) {}), "privateBrowserWindow", {0, 1, 2, 3}},
      {"private windows allowed",
       with([](CaptureProbeParameters& p) { p.excludePrivateBrowsing = false; }),
       std::nullopt,
       {0, 2, 3}},
      {"protection off, unknown recorded, private allowed",
       with([](CaptureProbeParameters& p) {
         p.excludePrivateBrowsing = false;
         p.excludeProtectedApplications = false;
         p.recordUnknownBundleIDs = true;
       }),
       std::nullopt,
       {2}},
      {"password managers not enabled",
       with([](CaptureProbeParameters& p) {
         p.excludePrivateBrowsing = false;
         p.enabledExclusionGroups = std::vector<std::string>{"siri"};
       }),
       std::nullopt,
       {2, 3}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const ExpectedCapture expected = LeakOracle::expect(desktop, c.request);
    EXPECT_EQ(expected.refusal, c.refusal);
    EXPECT_EQ(expected.hidden, c.hidden);
  }
}

}  // namespace
}  // namespace Sablekit::Leak
