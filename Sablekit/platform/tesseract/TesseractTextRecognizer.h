// The text recogniser backed by Tesseract 5: one LSTM engine for English,
// created once and reused for every read.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "Sablekit/platform/TextRecognizer.h"

namespace tesseract {
class TessBaseAPI;
}

namespace Sablekit {

// Lines come from Tesseract's sparse-text page segmentation, each with the
// engine's line confidence divided by 100 and the boxes of its words; a
// line's text is its words joined by single spaces. Tesseract has a single
// mode, so the request's `accurate` flag is ignored. Main thread only (the
// engine is not reentrant); each read is synchronous.
class TesseractTextRecognizer final : public TextRecognizer {
 public:
  // Where Debian's tesseract-ocr-eng installs the English model.
  static constexpr const char* defaultModelDirectory = "/usr/share/tesseract-ocr/5/tessdata";

  // Starts the engine with `modelDirectory`/eng.traineddata. A missing model
  // or an engine that will not start does not throw: startupError() says why,
  // and every read answers that error.
  explicit TesseractTextRecognizer(std::string modelDirectory = defaultModelDirectory);
  ~TesseractTextRecognizer() override;
  TesseractTextRecognizer(const TesseractTextRecognizer&) = delete;
  TesseractTextRecognizer& operator=(const TesseractTextRecognizer&) = delete;

  // Absent when the engine started; otherwise why it did not.
  const std::optional<std::string>& startupError() const { return startupError_; }

  // TextRecognizer
  std::variant<std::vector<RecognizedTextLine>, TextRecognitionError> recognizeText(
      const PixelImage& image,
      const TextRecognitionRequest& request) override;

 private:
  std::unique_ptr<tesseract::TessBaseAPI> engine_;
  std::optional<std::string> startupError_;
};

}  // namespace Sablekit
