// A desktop seen through recorders: every screenshot the capture service
// receives, every image handed to the encoder with the bytes that came back,
// and every line the text recogniser read. The harness checks these
// before anything is encoded or serialised.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "Sablekit/platform/ForwardingPlatform.h"

namespace Sablekit::Leak {

// What the platform handed out while one request was served.
struct PlatformRecording {
  std::vector<PixelImage> screenshots;
  std::vector<PixelImage> encoderInputs;
  std::vector<std::vector<std::uint8_t>> encodedFiles;
  std::vector<std::string> recognizedLines;
};

// Main thread only, like the services it serves. The desktop must outlive it.
class RecordingPlatform final : public ForwardingPlatform,
                                private ScreenCapture,
                                private ImageEncoder,
                                private TextRecognizer {
 public:
  using ForwardingPlatform::ForwardingPlatform;

  // Hands out what was recorded since the last call and starts afresh.
  PlatformRecording takeRecording();

  // Until called again, text is read by the real recogniser (Tesseract)
  // instead of the desktop's scripted one; it is set up on first use.
  void useRealTextRecognizer(bool real) { realTextRecognizerInUse_ = real; }

  // A deliberately faulty screen capture for the harness's own tests: every
  // screenshot ignores the windows the filter cuts out.
  void ignoreExclusionsForTesting(bool ignore) { ignoreExclusions_ = ignore; }

  // Platform: the desktop's services, three of them behind the recorders.
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

  PlatformRecording recording_;
  bool ignoreExclusions_ = false;
  bool realTextRecognizerInUse_ = false;
  std::unique_ptr<TextRecognizer> realTextRecognizer_;
};

}  // namespace Sablekit::Leak
