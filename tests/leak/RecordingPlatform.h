// The simulated desktop seen through recorders: every screenshot the capture
// service receives, every image handed to the encoder with the bytes that came
// back, and every line the text recogniser read. The harness checks these
// before anything is encoded or serialised.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "Sablekit/platform/Platform.h"
#include "Sablekit/platform/simulated/SimulatedDesktop.h"

namespace Sablekit::Leak {

// What the platform handed out while one request was served.
struct PlatformRecording {
  std::vector<PixelImage> screenshots;
  std::vector<PixelImage> encoderInputs;
  std::vector<std::vector<std::uint8_t>> encodedFiles;
  std::vector<std::string> recognizedLines;
};

// Main thread only, like the services it serves. The desktop must outlive it.
class RecordingPlatform final : public Platform, private ScreenCapture, private ImageEncoder, private TextRecognizer {
 public:
  explicit RecordingPlatform(SimulatedDesktop& desktop) : desktop_(desktop) {}

  // Hands out what was recorded since the last call and starts afresh.
  PlatformRecording takeRecording();

  // Until called again, text is read by the real recogniser (Tesseract)
  // instead of the desktop's scripted one; it is set up on first use.
  void useRealTextRecognizer(bool real) { realTextRecognizerInUse_ = real; }

  // A deliberately faulty screen capture for the harness's own tests: every
  // screenshot ignores the windows the filter cuts out.
  void ignoreExclusionsForTesting(bool ignore) { ignoreExclusions_ = ignore; }

  // Platform: the desktop's services, three of them behind the recorders.
  const PlatformCapabilities& capabilities() const override { return desktop_.capabilities(); }
  Clock& clock() override { return desktop_.clock(); }
  TimerScheduler& timers() override { return desktop_.timers(); }
  ProcessIdentity& processIdentity() override { return desktop_.processIdentity(); }
  PermissionChecks& permissions() override { return desktop_.permissions(); }
  WindowServer& windowServer() override { return desktop_.windowServer(); }
  Workspace& workspace() override { return desktop_.workspace(); }
  ScriptRunner& scripting() override { return desktop_.scripting(); }
  AccessibilityClient& accessibility() override { return desktop_.accessibility(); }
  AccessibilityObservers& accessibilityObservers() override { return desktop_.accessibilityObservers(); }
  AccessibilityPrompt& accessibilityPrompt() override { return desktop_.accessibilityPrompt(); }
  Keyboard& keyboard() override { return desktop_.keyboard(); }
  ScreenCapture& screenCapture() override { return *this; }
  TextRecognizer& textRecognizer() override { return *this; }
  ImageEncoder& imageEncoder() override { return *this; }

 private:
  // ScreenCapture
  std::variant<ShareableContent, ScreenCaptureError> shareableContent() override;
  std::variant<PixelImage, ScreenCaptureError> screenshot(const CaptureFilter& filter,
                                                          const ScreenshotConfiguration& configuration) override;
  // ImageEncoder
  std::variant<std::vector<std::uint8_t>, ImageEncodingError> encodeHEIC(const PixelImage& image,
                                                                         double quality) override;
  // TextRecognizer
  std::variant<std::vector<RecognizedTextLine>, TextRecognitionError> recognizeText(
      const PixelImage& image,
      const TextRecognitionRequest& request) override;

  SimulatedDesktop& desktop_;
  PlatformRecording recording_;
  bool ignoreExclusions_ = false;
  bool realTextRecognizerInUse_ = false;
  std::unique_ptr<TextRecognizer> realTextRecognizer_;
};

}  // namespace Sablekit::Leak
