// The harness loop: one desktop at a time, one fresh service graph per
// desktop, every request answered through the host's own request handling.
#include "tests/leak/PrivacyLeakHarness.h"

#include <algorithm>
#include <sstream>

#include <nlohmann/json.hpp>

#include "Sablekit/capture/CaptureHostServices.h"
#include "Sablekit/protocol/HostRequest.h"
#include "Vistrel/VistrelMain.h"
#include "tests/leak/LeakDesktopGenerator.h"
#include "tests/leak/LeakOracle.h"
#include "tests/leak/MarkerScanner.h"
#include "tests/leak/RecordingPlatform.h"

namespace Sablekit::Leak {
namespace {

// A marker colour shown by this many raw pixels must survive encoding; fewer
// may be lost to the lossy round trip at a window's edge.
constexpr std::size_t decodedControlMinimumPixels = 400;

// Up to 60 bytes either side of the first place `word` occurs in `text`.
std::string context(const std::string& text, const std::string& word) {
  std::string lowered = text;
  std::transform(lowered.begin(), lowered.end(), lowered.begin(),
                 [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; });
  const std::size_t at = lowered.find(word);
  if (at == std::string::npos) {
    return {};
  }
  const std::size_t from = at < 60 ? 0 : at - 60;
  return text.substr(from, at - from + word.size() + 60);
}

bool sampled(std::uint64_t index, std::uint64_t every) {
  return every != 0 && index % every == 0;
}

// The focused window a successful answer names, or absent when it names none.
std::optional<std::uint32_t> answeredFocusedWindow(const nlohmann::json& line) {
  const nlohmann::json* result = &line.at("result");
  if (result->contains("capture")) {
    result = &result->at("capture");
  }
  if (!result->contains("focusedWindowID")) {
    return std::nullopt;
  }
  return result->at("focusedWindowID").get<std::uint32_t>();
}

class DesktopRun {
 public:
  DesktopRun(const LeakHarnessOptions& options, std::uint64_t index, LeakHarnessReport& report)
      : options_(options),
        index_(index),
        report_(report),
        desktop_(LeakDesktopGenerator::generate(LeakDesktopGenerator::desktopSeed(options.seed, index))) {}

  void run() {
    RecordingPlatform platform(*desktop_.desktop);
    platform.ignoreExclusionsForTesting(options_.leakyScreenCaptureForTesting);
    CaptureHostServices services(platform);
    for (std::size_t i = 0; i < desktop_.requests.size(); ++i) {
      const LeakRequest& request = desktop_.requests[i];
      const ExpectedCapture expected = LeakOracle::expect(desktop_, request);
      // Samples are taken among frames expected to be captured, so that each
      // one has an image to read and decode.
      bool recognize = false;
      bool decode = false;
      if (request.method == "capture.frame" && !expected.refusal) {
        const std::uint64_t ordinal = report_.framesExpectedCaptured++;
        recognize = sampled(ordinal, options_.recognizeEvery);
        decode = sampled(ordinal, options_.decodeEvery);
      }
      platform.useRealTextRecognizer(recognize);
      const HostRequest hostRequest{
          .id = static_cast<std::int64_t>(i + 1), .method = request.method, .params = request.parameters};
      const JsonCodec::Value requestJSON = hostRequest;
      const HostResponse response = VistrelMain::respond(services, requestJSON.dump());
      const std::string wire = encodeResponse(response);
      const PlatformRecording recording = platform.takeRecording();
      ++report_.captures;
      if (request.method == "capture.frame") {
        ++report_.frames;
      }
      checkOutcome(i, request, response, wire, expected);
      checkMarks(i, response, wire, recording, expected);
      if (decode) {
        checkDecoded(i, expected, recording);
      }
      if (recognize && response.ok()) {
        countRecognizedAllowedWords(recording);
      }
    }
    ++report_.desktops;
  }

 private:
  void finding(std::vector<LeakFinding>& list, std::size_t request, std::string description) {
    list.push_back({.desktopIndex = index_,
                    .desktopSeed = desktop_.seed,
                    .request = request,
                    .method = desktop_.requests[request].method,
                    .description = std::move(description)});
  }

  std::string describeSecret(std::size_t secretIndex) const {
    const SecretMarker& secret = desktop_.secrets[secretIndex];
    return std::string(name(secret.kind)) + " window " + std::to_string(secret.windowNumber) + " (word \"" +
           secret.word + "\")";
  }

  void scanImage(std::size_t request,
                 const PixelImage& image,
                 const ExpectedCapture& expected,
                 std::string_view where) {
    std::vector<Colour> colours;
    for (const std::size_t secretIndex : expected.hidden) {
      colours.push_back(desktop_.secrets[secretIndex].colour);
    }
    const std::vector<std::size_t> counts = MarkerScanner::countPixels(image, colours);
    for (std::size_t i = 0; i < counts.size(); ++i) {
      if (counts[i] > 0) {
        finding(report_.leaks, request,
                describeSecret(expected.hidden[i]) + ": " + std::to_string(counts[i]) +
                    " pixels of its colour in the " + std::string(where));
      }
    }
    ++report_.imagesScanned;
  }

  void checkMarks(std::size_t index,
                  const HostResponse& response,
                  const std::string& wire,
                  const PlatformRecording& recording,
                  const ExpectedCapture& expected) {
    for (const std::size_t secretIndex : expected.hidden) {
      const SecretMarker& secret = desktop_.secrets[secretIndex];
      ++report_.secretChecks;
      // The refusal of a focused window the parent listed names the title the
      // parent itself sent; nothing else may carry the word.
      const bool titleEchoed = desktop_.focusedSecret == secretIndex && secret.kind == SecretKind::parentListedWindow &&
                               !response.ok() && response.error()->code == "focusedWindowExcluded";
      if (!titleEchoed && MarkerScanner::containsWord(wire, secret.word)) {
        finding(report_.leaks, index,
                describeSecret(secretIndex) + ": its word is in the response: …" + context(wire, secret.word) + "…");
      }
      for (const std::string& line : recording.recognizedLines) {
        if (MarkerScanner::containsWord(line, secret.word)) {
          finding(report_.leaks, index, describeSecret(secretIndex) + ": its word was recognised in \"" + line + "\"");
        }
      }
    }
    for (const PixelImage& image : recording.screenshots) {
      scanImage(index, image, expected, "screenshot");
    }
    for (const PixelImage& image : recording.encoderInputs) {
      scanImage(index, image, expected, "image to encode");
    }
  }

  void countRecognizedAllowedWords(const PlatformRecording& recording) {
    ++report_.recognizedFrames;
    for (const std::string& word : desktop_.allowedWords) {
      for (const std::string& line : recording.recognizedLines) {
        if (MarkerScanner::containsWord(line, word)) {
          ++report_.recognizedAllowedWords;
          break;
        }
      }
    }
  }

  void checkOutcome(std::size_t index,
                    const LeakRequest& request,
                    const HostResponse& response,
                    const std::string& wire,
                    const ExpectedCapture& expected) {
    if (expected.refusal) {
      ++report_.refusalsExpected;
      if (response.ok()) {
        finding(report_.wrongOutcomes, index, "expected the refusal " + *expected.refusal + ", got a capture");
      } else if (response.error()->code != *expected.refusal) {
        finding(report_.wrongOutcomes, index,
                "expected the refusal " + *expected.refusal + ", got " + response.error()->code + ": " +
                    response.error()->message);
      }
      return;
    }
    if (!response.ok()) {
      finding(report_.wrongOutcomes, index,
              "expected a capture, got " + response.error()->code + ": " + response.error()->message);
      return;
    }
    const bool inactive = request.parameters && request.parameters->inactive.value_or(false);
    const auto focused = answeredFocusedWindow(nlohmann::json::parse(wire));
    if (!inactive && focused != desktop_.focusedWindowNumber) {
      finding(report_.wrongOutcomes, index,
              "expected focused window " + std::to_string(desktop_.focusedWindowNumber) + ", answered " +
                  (focused ? std::to_string(*focused) : std::string("none")));
    }
  }

  // The encoded frames as the parent would decode them: no colour that had to
  // stay out, and every marker colour that was allowed and plainly shown still
  // found, so the scan after the lossy round trip is known to see colours.
  void checkDecoded(std::size_t index, const ExpectedCapture& expected, const PlatformRecording& recording) {
    for (std::size_t file = 0; file < recording.encodedFiles.size(); ++file) {
      const auto decoded = MarkerScanner::decodeHEIC(recording.encodedFiles[file]);
      if (!decoded) {
        finding(report_.wrongOutcomes, index, "the encoded frame does not decode");
        continue;
      }
      ++report_.filesDecoded;
      for (std::size_t secretIndex = 0; secretIndex < desktop_.secrets.size(); ++secretIndex) {
        const SecretMarker& secret = desktop_.secrets[secretIndex];
        const std::size_t pixels = MarkerScanner::countPixels(*decoded, secret.colour);
        const bool hidden =
            std::find(expected.hidden.begin(), expected.hidden.end(), secretIndex) != expected.hidden.end();
        if (hidden) {
          if (pixels > 0) {
            finding(report_.leaks, index,
                    std::string(name(secret.kind)) + " window " + std::to_string(secret.windowNumber) + ": " +
                        std::to_string(pixels) + " pixels of its colour in the decoded frame");
          }
        } else if (file < recording.encoderInputs.size() &&
                   MarkerScanner::countPixels(recording.encoderInputs[file], secret.colour) >=
                       decodedControlMinimumPixels) {
          ++report_.decodedControls;
          if (pixels > 0) {
            ++report_.decodedControlsSeen;
          }
        }
      }
    }
  }

  const LeakHarnessOptions& options_;
  std::uint64_t index_;
  LeakHarnessReport& report_;
  LeakDesktop desktop_;
};

}  // namespace

LeakHarnessReport PrivacyLeakHarness::run(const LeakHarnessOptions& options,
                                          const std::function<void(const LeakHarnessReport&)>& progress) {
  LeakHarnessReport report;
  for (std::uint64_t index = options.firstDesktop; index < options.firstDesktop + options.desktops; ++index) {
    DesktopRun(options, index, report).run();
    if (progress) {
      progress(report);
    }
  }
  return report;
}

std::string PrivacyLeakHarness::describe(const LeakFinding& finding) {
  std::ostringstream text;
  text << "desktop " << finding.desktopIndex << " (seed " << finding.desktopSeed << "), request " << finding.request
       << " (" << finding.method << "): " << finding.description;
  return text.str();
}

}  // namespace Sablekit::Leak
