// The privacy-leak harness: generates desktops, sends every capture request of
// each through the capture host's own request handling, and checks the
// answer, the pixels before and after encoding and the recognised text for
// the marks of every window that had to stay out.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace Sablekit::Leak {

struct LeakHarnessOptions {
  std::uint64_t seed = 1;
  std::uint64_t firstDesktop = 0;  // index of the first desktop of the run
  std::uint64_t desktops = 150;
  // Of the frames expected to be captured, counted over the run from the
  // first, every n-th (0: none) is read by the real text recogniser, and
  // every n-th has its encoded file decoded and checked.
  std::uint64_t recognizeEvery = 35;
  std::uint64_t decodeEvery = 10;
  // For the harness's own tests: a screen capture that ignores cut-outs.
  bool leakyScreenCaptureForTesting = false;
};

// One fault found: where, and what got out or what answer was wrong.
struct LeakFinding {
  std::uint64_t desktopIndex = 0;
  std::uint64_t desktopSeed = 0;
  std::size_t request = 0;  // index into the desktop's requests
  std::string method;
  std::string description;
};

struct LeakHarnessReport {
  std::uint64_t desktops = 0;
  std::uint64_t captures = 0;  // requests answered and checked
  std::uint64_t frames = 0;
  std::uint64_t framesExpectedCaptured = 0;
  std::uint64_t refusalsExpected = 0;
  std::uint64_t secretChecks = 0;     // (capture, secret window that had to stay out) pairs
  std::uint64_t imagesScanned = 0;    // screenshots and encoder inputs
  std::uint64_t filesDecoded = 0;     // HEIC files decoded and scanned
  std::uint64_t decodedControls = 0;  // marker colours allowed in a frame, looked for after decoding
  std::uint64_t decodedControlsSeen = 0;
  std::uint64_t recognizedFrames = 0;  // frames read by the real recogniser
  std::uint64_t recognizedAllowedWords = 0;
  std::vector<LeakFinding> leaks;          // marks that reached the parent or an image
  std::vector<LeakFinding> wrongOutcomes;  // a refusal missing, or a refusal nobody asked for
};

class PrivacyLeakHarness {
 public:
  PrivacyLeakHarness() = delete;

  // Runs desktops firstDesktop ... firstDesktop + desktops - 1 on the calling
  // thread; `progress` (may be empty) is called after each desktop with the
  // report so far.
  static LeakHarnessReport run(const LeakHarnessOptions& options,
                               const std::function<void(const LeakHarnessReport&)>& progress = {});

  // One line per finding, for people.
  static std::string describe(const LeakFinding& finding);
};

}  // namespace Sablekit::Leak
