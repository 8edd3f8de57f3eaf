// Tesseract behind the text recogniser: grey conversion of the region, page
// segmentation, and lines with their word boxes normalised to the region.
#include "Sablekit/platform/tesseract/TesseractTextRecognizer.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include <tesseract/baseapi.h>
#include <tesseract/resultiterator.h>

namespace Sablekit {

namespace {

// Screens captured at their full resolution are about twice the 72 points
// per inch of their layout; telling the engine keeps it from guessing (and
// from reporting its guess on standard error).
constexpr int screenPixelsPerInch = 144;

struct OwnedText {
  char* text;
  ~OwnedText() { delete[] text; }
};

}  // namespace

TesseractTextRecognizer::TesseractTextRecognizer(std::string modelDirectory) {
  const std::filesystem::path model = std::filesystem::path(modelDirectory) / "eng.traineddata";
  std::error_code error;
  if (!std::filesystem::is_regular_file(model, error)) {
    startupError_ =
        "Tesseract's English model " + model.string() + " is missing (it comes with the tesseract-ocr-eng package).";
    return;
  }
  auto engine = std::make_unique<tesseract::TessBaseAPI>();
  if (engine->Init(modelDirectory.c_str(), "eng", tesseract::OEM_LSTM_ONLY) != 0) {
    startupError_ = "Tesseract could not start with the English model " + model.string() + ".";
    return;
  }
  // The engine's own diagnostics would otherwise reach standard error.
  engine->SetVariable("debug_file", "/dev/null");
  // Screens hold scattered labels, menus and short runs of text rather than
  // columns of prose: sparse-text segmentation finds the same words as the
  // automatic page layout about 30% faster (docs/ocr.md).
  engine->SetPageSegMode(tesseract::PSM_SPARSE_TEXT);
  engine_ = std::move(engine);
}

TesseractTextRecognizer::~TesseractTextRecognizer() {
  if (engine_) {
    engine_->End();
  }
}

std::variant<std::vector<RecognizedTextLine>, TextRecognitionError> TesseractTextRecognizer::recognizeText(
    const PixelImage& image,
    const TextRecognitionRequest& request) {
  if (!engine_) {
    return TextRecognitionError{*startupError_};
  }
  const PixelRegion& region = request.region;
  if (!regionIsReadable(image, region)) {
    return TextRecognitionError{"The region to read is not inside the image."};
  }
  // The engine thresholds a grey image itself; handing it grey rather than
  // BGRA also spares it from reading blue as red.
  std::vector<std::uint8_t> grey(static_cast<std::size_t>(region.width * region.height));
  auto out = grey.begin();
  for (std::int64_t y = region.y; y < region.y + region.height; ++y) {
    for (std::int64_t x = region.x; x < region.x + region.width; ++x) {
      *out++ = greyLevel(image.pixel(x, y));
    }
  }
  const int width = static_cast<int>(region.width);
  const int height = static_cast<int>(region.height);
  engine_->SetImage(grey.data(), width, height, 1, width);
  engine_->SetSourceResolution(screenPixelsPerInch);
  if (engine_->Recognize(nullptr) != 0) {
    engine_->Clear();
    return TextRecognitionError{"Tesseract could not recognise the image."};
  }

  const double regionWidth = width;
  const double regionHeight = height;
  const auto normalized = [&](int left, int top, int right, int bottom) {
    return NormalizedBox{left / regionWidth, 1 - bottom / regionHeight, (right - left) / regionWidth,
                         (bottom - top) / regionHeight};
  };
  const double minimumPixelHeight = request.minimumTextHeight * regionHeight;

  std::vector<RecognizedTextLine> lines;
  std::optional<RecognizedTextLine> line;
  const auto finishLine = [&] {
    if (line && !line->text.empty() && line->box.height * regionHeight >= minimumPixelHeight) {
      lines.push_back(std::move(*line));
    }
    line.reset();
  };
  {
    std::unique_ptr<tesseract::ResultIterator> words(engine_->GetIterator());
    if (words && !words->Empty(tesseract::RIL_WORD)) {
      do {
        if (!line || words->IsAtBeginningOf(tesseract::RIL_TEXTLINE)) {
          finishLine();
          int left = 0, top = 0, right = 0, bottom = 0;
          words->BoundingBox(tesseract::RIL_TEXTLINE, &left, &top, &right, &bottom);
          const float confidence = std::clamp(words->Confidence(tesseract::RIL_TEXTLINE) / 100.0f, 0.0f, 1.0f);
          line = RecognizedTextLine{"", confidence, normalized(left, top, right, bottom), {}};
        }
        const OwnedText word{words->GetUTF8Text(tesseract::RIL_WORD)};
        if (word.text == nullptr || *word.text == '\0') {
          continue;
        }
        int left = 0, top = 0, right = 0, bottom = 0;
        words->BoundingBox(tesseract::RIL_WORD, &left, &top, &right, &bottom);
        if (!line->text.empty()) {
          line->text += ' ';
        }
        const std::string_view text(word.text);
        line->pieces.push_back({line->text.size(), text.size(), normalized(left, top, right, bottom)});
        line->text += text;
      } while (words->Next(tesseract::RIL_WORD));
    }
    finishLine();
  }
  engine_->Clear();
  return lines;
}

}  // namespace Sablekit
