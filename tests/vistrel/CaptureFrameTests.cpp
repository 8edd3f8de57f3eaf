// Tests for frames on the simulated desktop: the order of text recognition,
// snapshot and encoding, the placeholder snapshots, the encoded bytes with
// their digest, and failures.
#include <gtest/gtest.h>
#include <openssl/evp.h>

#include "Sablekit/capture/CaptureHostServices.h"
#include "Sablekit/common/Digest.h"
#include "Sablekit/platform/simulated/SimulatedDesktop.h"
#include "Sablekit/protocol/CaptureHostError.h"

namespace Sablekit {
namespace {

// Editor (pid 7) in front of the parent's window (pid 300); the parent
// window's title is "Assistant".
constexpr std::string_view scenario = R"({
  "process": {"processID": 100, "parentProcessID": 300},
  "displays": [{"displayID": 1, "frame": {"x": 0, "y": 0, "width": 400, "height": 300}, "pixelsPerPoint": 1}],
  "windows": [
    {"windowNumber": 11, "ownerPID": 7, "title": "notes.txt", "bounds": {"x": 20, "y": 20, "width": 300, "height": 200}},
    {"windowNumber": 31, "ownerPID": 300, "title": "Assistant", "bounds": {"x": 0, "y": 0, "width": 400, "height": 300}}
  ],
  "applications": [
    {"processID": 7, "bundleID": "com.example.Editor", "localizedName": "Editor"},
    {"processID": 300, "bundleID": "app.example.Parent", "localizedName": "Parent"}
  ],
  "frontmostProcessID": 7,
  "textRecognition": {"lines": [
    {"text": "hello frame", "confidence": 0.5, "box": {"x": 0.1, "y": 0.5, "width": 0.4, "height": 0.05},
     "pieces": [{"offset": 0, "length": 5, "box": {"x": 0.1, "y": 0.5, "width": 0.15, "height": 0.05}},
                {"offset": 6, "length": 5, "box": {"x": 0.3, "y": 0.5, "width": 0.2, "height": 0.05}}]}
  ]}
})";

std::vector<std::uint8_t> decodeBase64(const std::string& text) {
  std::vector<std::uint8_t> bytes(text.size() / 4 * 3);
  const int decoded =
      EVP_DecodeBlock(bytes.data(), reinterpret_cast<const unsigned char*>(text.data()), static_cast<int>(text.size()));
  EXPECT_GE(decoded, 0);
  // EVP_DecodeBlock counts the padding as zero bytes.
  std::size_t padding = 0;
  for (auto it = text.rbegin(); it != text.rend() && *it == '='; ++it) {
    ++padding;
  }
  bytes.resize(static_cast<std::size_t>(std::max(decoded, 0)) - padding);
  return bytes;
}

class CaptureFrameTest : public ::testing::Test {
 protected:
  CaptureFrameTest() : desktop(SimulatedDesktop::fromScenario(scenario)) {
    desktop->simulatedAccessibility()
        .addApplication(7, "editor")
        .addElement("editor.window", 7)
        .setChildren("editor", {"editor.window"})
        .setValue("editor", "AXRole", std::string("AXApplication"))
        .setValue("editor.window", "AXRole", std::string("AXWindow"))
        .setValue("editor.window", "AXTitle", std::string("notes.txt"))
        .setValue("editor.window", "AXPosition", AccessibilityPoint{20, 20})
        .setValue("editor.window", "AXSize", AccessibilitySize{300, 200});
    services = std::make_unique<CaptureHostServices>(*desktop);
  }

  CaptureFrameResult frame(CaptureProbeParameters parameters = {}) {
    return services->captureFrameService().captureFrame(parameters);
  }

  std::unique_ptr<SimulatedDesktop> desktop;
  std::unique_ptr<CaptureHostServices> services;
};

TEST_F(CaptureFrameTest, FrameCarriesTheEncodedImageItsDigestTextAndSnapshot) {
  const CaptureFrameResult result = frame();
  EXPECT_EQ(result.encoding, "heic");
  const std::vector<std::uint8_t> bytes = decodeBase64(result.imageBase64);
  EXPECT_EQ(result.byteLength, static_cast<std::int64_t>(bytes.size()));
  EXPECT_EQ(result.sha256, sha256Hex(bytes));
  ASSERT_GT(bytes.size(), 12u);
  EXPECT_EQ(std::string(bytes.begin() + 4, bytes.begin() + 12), "ftypheic");

  EXPECT_TRUE(result.capture.pixelDataRetained);
  EXPECT_EQ(result.capture.focusedBundleID, "com.example.Editor");
  EXPECT_EQ(result.capture.width, 400);
  EXPECT_EQ(result.capture.height, 300);

  EXPECT_EQ(result.ocr.status, "success");
  EXPECT_EQ(result.ocr.mode, "full");
  EXPECT_EQ(result.ocr.fullText, "hello\nframe");

  EXPECT_EQ(result.accessibility.extractionMode, AccessibilityExtractionMode::staticWalk);
  EXPECT_EQ(result.accessibility.bundleID, "com.example.Editor");
  EXPECT_EQ(result.accessibility.applicationName, "Editor");
  EXPECT_EQ(result.accessibility.processID, 7);
  EXPECT_EQ(result.accessibility.nodes.size(), 2u);

  // The same scene again: the words are reused and the snapshot is cached.
  const CaptureFrameResult again = frame();
  EXPECT_EQ(again.ocr.mode, "reused");
  EXPECT_EQ(again.ocr.segments, result.ocr.segments);
  EXPECT_EQ(again.accessibility.extractionMode, AccessibilityExtractionMode::cached);
}

TEST_F(CaptureFrameTest, ProbeAndFrameOfOneSceneDifferOnlyInRetainedPixelsAndTime) {
  CaptureProbeResult probe = services->captureProbeService().probe(CaptureProbeParameters{});
  CaptureProbeResult framed = frame().capture;
  EXPECT_FALSE(probe.pixelDataRetained);
  probe.pixelDataRetained = true;
  probe.capturedAtMilliseconds = framed.capturedAtMilliseconds;
  EXPECT_EQ(probe, framed);
}

TEST_F(CaptureFrameTest, InactiveFrameGetsTheNeutralPlaceholderButItsTextIsRead) {
  CaptureProbeParameters inactive;
  inactive.inactive = true;
  const CaptureFrameResult away = frame(inactive);
  EXPECT_TRUE(away.capture.inactive);
  EXPECT_EQ(away.accessibility.extractionMode, AccessibilityExtractionMode::none);
  EXPECT_EQ(away.accessibility.status, AccessibilitySnapshotStatus::success);
  EXPECT_EQ(away.accessibility.applicationName, "Finder");
  EXPECT_EQ(away.accessibility.bundleID, "com.apple.finder");
  EXPECT_EQ(away.accessibility.processID, 0);
  EXPECT_EQ(away.accessibility.capturedAtMilliseconds, away.capture.capturedAtMilliseconds);
  EXPECT_FALSE(away.accessibility.partial);
  EXPECT_TRUE(away.accessibility.nodes.empty());
  // The text of an inactive frame is still read.
  EXPECT_EQ(away.ocr.fullText, "hello\nframe");
}

TEST(CaptureFrameParentTest, ParentWindowInFrontGetsThePlaceholderWithItsOwnIdentity) {
  // The parent's own window in front, with titles given that don't match it.
  const auto desktop = SimulatedDesktop::fromScenario(R"({
    "process": {"processID": 100, "parentProcessID": 300},
    "displays": [{"displayID": 1, "frame": {"x": 0, "y": 0, "width": 400, "height": 300}, "pixelsPerPoint": 1}],
    "windows": [
      {"windowNumber": 31, "ownerPID": 300, "title": "Assistant", "bounds": {"x": 0, "y": 0, "width": 400, "height": 300}},
      {"windowNumber": 11, "ownerPID": 7, "title": "notes.txt", "bounds": {"x": 20, "y": 20, "width": 300, "height": 200}}
    ],
    "applications": [
      {"processID": 7, "bundleID": "com.example.Editor", "localizedName": "Editor"},
      {"processID": 300, "bundleID": "app.example.Parent", "localizedName": "Parent"}
    ],
    "frontmostProcessID": 300
  })");
  CaptureHostServices services(*desktop);
  CaptureProbeParameters parent;
  parent.excludedParentWindowTitles = std::vector<std::string>{"Settings"};
  const CaptureFrameResult suppressed = services.captureFrameService().captureFrame(parent);
  EXPECT_EQ(suppressed.accessibility.extractionMode, AccessibilityExtractionMode::none);
  EXPECT_EQ(suppressed.accessibility.bundleID, "app.example.Parent");
  EXPECT_EQ(suppressed.accessibility.applicationName, "Parent");
  EXPECT_EQ(suppressed.accessibility.processID, 300);
  EXPECT_TRUE(suppressed.accessibility.nodes.empty());
  EXPECT_FALSE(suppressed.accessibility.partial);
}

TEST_F(CaptureFrameTest, EncodingFailureComesAfterTheTextWasRead) {
  for (const FaultKind kind : {FaultKind::fail, FaultKind::empty}) {
    desktop->faults().arm(std::string(SimulatedOperation::encodeHEIC), kind, 1);
    try {
      frame();
      ADD_FAILURE() << "expected imageEncodingFailed";
    } catch (const CaptureHostError& error) {
      EXPECT_EQ(error.code(), CaptureHostError::Code::imageEncodingFailed);
    }
  }
  // The failed frames were remembered: the next identical frame reuses their words.
  EXPECT_EQ(desktop->simulatedTextRecognizer().recognitions().size(), 1u);
  EXPECT_EQ(frame().ocr.mode, "reused");
}

TEST_F(CaptureFrameTest, PipelineFailuresPassThroughBeforeAnythingIsRead) {
  desktop->faults().arm(std::string(SimulatedOperation::screenshot), FaultKind::fail, 1);
  EXPECT_THROW(frame(), CaptureHostError);
  EXPECT_TRUE(desktop->simulatedTextRecognizer().recognitions().empty());
  EXPECT_EQ(desktop->simulatedImageEncoder().encodings(), 0);
}

// The demo desktop read by the real recogniser at full resolution: the
// editor's words are found, the words of every window cut out are not.
TEST(CaptureFrameDemoTest, RecognisedTextComesOnlyFromCapturedWindows) {
  const auto desktop = SimulatedDesktop::demo();
  CaptureHostServices services(*desktop);
  CaptureProbeParameters parameters;
  parameters.maximumDimension = 3024;
  const CaptureFrameResult result = services.captureFrameService().captureFrame(parameters);
  ASSERT_EQ(result.ocr.status, "success");
  const std::string& text = result.ocr.fullText;
  for (const char* word : {"inventory.visible(display);", "Quarterly", "Documents"}) {
    EXPECT_NE(text.find(word), std::string::npos) << word << " missing from:\n" << text;
  }
  // Firefox (both windows), Slack and 1Password are cut out.
  for (const char* word : {"Harbour", "Lantern", "Dermatology", "mockups", "amber-otter-42", "vault"}) {
    EXPECT_EQ(text.find(word), std::string::npos) << word << " leaked into:\n" << text;
  }
}

}  // namespace
}  // namespace Sablekit
