// The recorders: each passes the call on to the desktop and keeps a copy of
// what went through.
#include "tests/leak/RecordingPlatform.h"

#include "Sablekit/platform/tesseract/TesseractTextRecognizer.h"

namespace Sablekit::Leak {

PlatformRecording RecordingPlatform::takeRecording() {
  return std::exchange(recording_, PlatformRecording{});
}

std::variant<ShareableContent, ScreenCaptureError> RecordingPlatform::shareableContent() {
  return inner().screenCapture().shareableContent();
}

std::variant<PixelImage, ScreenCaptureError> RecordingPlatform::screenshot(
    const CaptureFilter& filter,
    const ScreenshotConfiguration& configuration) {
  CaptureFilter asked = filter;
  if (ignoreExclusions_) {
    asked.excludedWindowIDs.clear();
  }
  auto shot = inner().screenCapture().screenshot(asked, configuration);
  if (const auto* image = std::get_if<PixelImage>(&shot)) {
    recording_.screenshots.push_back(*image);
  }
  return shot;
}

std::variant<std::vector<std::uint8_t>, ImageEncodingError> RecordingPlatform::encodeHEIC(const PixelImage& image,
                                                                                          double quality) {
  recording_.encoderInputs.push_back(image);
  auto encoded = inner().imageEncoder().encodeHEIC(image, quality);
  if (const auto* bytes = std::get_if<std::vector<std::uint8_t>>(&encoded)) {
    recording_.encodedFiles.push_back(*bytes);
  }
  return encoded;
}

std::variant<std::vector<RecognizedTextLine>, TextRecognitionError> RecordingPlatform::recognizeText(
    const PixelImage& image,
    const TextRecognitionRequest& request) {
  if (realTextRecognizerInUse_ && !realTextRecognizer_) {
    realTextRecognizer_ = std::make_unique<TesseractTextRecognizer>();
  }
  TextRecognizer& recognizer = realTextRecognizerInUse_ ? *realTextRecognizer_ : inner().textRecognizer();
  auto read = recognizer.recognizeText(image, request);
  if (const auto* lines = std::get_if<std::vector<RecognizedTextLine>>(&read)) {
    for (const RecognizedTextLine& line : *lines) {
      recording_.recognizedLines.push_back(line.text);
    }
  }
  return read;
}

}  // namespace Sablekit::Leak
