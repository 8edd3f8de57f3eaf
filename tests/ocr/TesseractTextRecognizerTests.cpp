// Tests for the Tesseract recogniser on text painted with a real font: words
// found with sensible boxes, alone and behind the differential OCR service.
#include <algorithm>
#include <cctype>
#include <map>

#include <gtest/gtest.h>

#include "Sablekit/ocr/OCRService.h"
#include "Sablekit/platform/tesseract/TesseractTextRecognizer.h"
#include "TextPainter.h"

namespace Sablekit {
namespace {

struct PaintedWord {
  std::int64_t left = 0;
  std::int64_t right = 0;
  std::int64_t top = 0;     // the baseline less the pixel size: above any glyph
  std::int64_t bottom = 0;  // the baseline
};

std::string lowercase(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
  return text;
}

// Words painted one by one, so each one's place is known.
class PaintedPage {
 public:
  PaintedPage(TextPainter& painter, std::int64_t width, std::int64_t height)
      : painter_(painter), image_(TextPainter::canvas(width, height, 0xff)) {}

  void line(std::initializer_list<const char*> words, std::int64_t x, std::int64_t baseline, int pixelSize) {
    for (const char* word : words) {
      const std::int64_t right = painter_.paint(image_, word, x, baseline, pixelSize);
      words_[lowercase(word)] = {x, right, baseline - pixelSize, baseline};
      x = painter_.paint(image_, " ", right, baseline, pixelSize);
    }
  }
  void erase(std::int64_t left, std::int64_t top, std::int64_t right, std::int64_t bottom) {
    for (std::int64_t y = top; y < bottom; ++y) {
      std::fill(image_.bgra.begin() + (y * image_.width + left) * 4,
                image_.bgra.begin() + (y * image_.width + right) * 4, 0xff);
    }
  }
  const PixelImage& image() const { return image_; }
  const PaintedWord& word(const std::string& text) const { return words_.at(text); }

 private:
  TextPainter& painter_;
  PixelImage image_;
  std::map<std::string, PaintedWord> words_;
};

// The segment reading `text` (ignoring case and surrounding punctuation), if any.
const OCRSegmentResult* find(const OCRResult& result, const std::string& text) {
  for (const auto& segment : result.segments) {
    std::string read = lowercase(segment.text);
    std::erase_if(read, [](unsigned char c) { return std::ispunct(c) != 0; });
    if (read == text) {
      return &segment;
    }
  }
  return nullptr;
}

// The segment's box, in pixels with a top-left origin, is where the word was painted.
void expectPlacedAt(const OCRSegmentResult& segment, const PaintedWord& painted, const PixelImage& image) {
  const double width = static_cast<double>(image.width);
  const double height = static_cast<double>(image.height);
  const double slack = 6;
  EXPECT_NEAR(segment.x * width, static_cast<double>(painted.left), slack);
  EXPECT_NEAR((segment.x + segment.width) * width, static_cast<double>(painted.right), slack);
  const double top = (1 - segment.y - segment.height) * height;
  const double bottom = (1 - segment.y) * height;
  EXPECT_GE(top, static_cast<double>(painted.top) - slack);
  EXPECT_LE(bottom, static_cast<double>(painted.bottom) + 0.3 * static_cast<double>(painted.bottom - painted.top));
  EXPECT_GT(bottom - top, 0.4 * static_cast<double>(painted.bottom - painted.top));
}

class TesseractTextRecognizerTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(recognizer.startupError(), std::nullopt); }

  TesseractTextRecognizer recognizer;
  TextPainter painter;
};

TEST_F(TesseractTextRecognizerTest, FindsPaintedWordsWhereTheyWerePainted) {
  PaintedPage page(painter, 1200, 500);
  page.line({"Quarterly", "invoice", "summary"}, 40, 60, 32);
  page.line({"Paragraph", "recognition", "works", "nicely"}, 40, 220, 24);
  page.line({"Telescope", "marmalade"}, 640, 430, 28);
  OCRService service(recognizer, true);

  const OCRResult result = service.recognize(page.image());
  ASSERT_EQ(result.status, "success") << result.fullText;
  EXPECT_EQ(result.mode, "full");
  for (const std::string word :
       {"quarterly", "invoice", "summary", "paragraph", "recognition", "telescope", "marmalade"}) {
    SCOPED_TRACE(word);
    const OCRSegmentResult* segment = find(result, word);
    ASSERT_NE(segment, nullptr) << result.fullText;
    EXPECT_GT(segment->confidence, 0.5f);
    EXPECT_LE(segment->confidence, 1.0f);
    expectPlacedAt(*segment, page.word(word), page.image());
  }
  // Words of one line share the line's confidence.
  EXPECT_EQ(find(result, "quarterly")->confidence, find(result, "summary")->confidence);
}

TEST_F(TesseractTextRecognizerTest, AChangedWordIsReadAgainAndTheOthersAreKept) {
  PaintedPage page(painter, 1200, 500);
  page.line({"Quarterly", "invoice", "summary"}, 40, 60, 32);
  page.line({"Telescope", "marmalade"}, 640, 430, 28);
  OCRService service(recognizer, true);
  ASSERT_NE(find(service.recognize(page.image()), "marmalade"), nullptr);

  const PaintedWord old = page.word("marmalade");
  page.erase(old.left, old.top, old.right + 4, old.bottom + 10);
  page.line({"lighthouse"}, old.left, old.bottom, 28);
  const OCRResult changed = service.recognize(page.image());

  EXPECT_EQ(changed.mode, "differential");
  EXPECT_EQ(find(changed, "marmalade"), nullptr) << changed.fullText;
  ASSERT_NE(find(changed, "lighthouse"), nullptr) << changed.fullText;
  expectPlacedAt(*find(changed, "lighthouse"), page.word("lighthouse"), page.image());
  // Far from the change: kept from the first frame, ahead of the new words.
  ASSERT_NE(find(changed, "invoice"), nullptr) << changed.fullText;
  EXPECT_LT(find(changed, "invoice"), find(changed, "lighthouse"));
}

TEST_F(TesseractTextRecognizerTest, LinesLowerThanTheMinimumHeightAreLeftOut) {
  PaintedPage page(painter, 800, 400);
  page.line({"Enormous"}, 40, 120, 72);
  page.line({"small", "print"}, 40, 300, 20);
  const auto read = [&](double minimumTextHeight) {
    auto lines = std::get<std::vector<RecognizedTextLine>>(
        recognizer.recognizeText(page.image(), {.region = {0, 0, 800, 400}, .minimumTextHeight = minimumTextHeight}));
    std::string text;
    for (const auto& line : lines) {
      text += lowercase(line.text) + "|";
    }
    return text;
  };
  const std::string all = read(0.015);
  EXPECT_NE(all.find("print"), std::string::npos) << all;
  const std::string tall = read(0.08);  // 32 pixels: more than the small line, less than the large one
  EXPECT_EQ(tall.find("print"), std::string::npos) << tall;
  EXPECT_NE(tall.find("enormous"), std::string::npos) << tall;
}

TEST_F(TesseractTextRecognizerTest, ARegionIsReadWithBoxesRelativeToIt) {
  PaintedPage page(painter, 800, 400);
  page.line({"Alphabet"}, 40, 80, 32);
  page.line({"Crocodile"}, 400, 300, 32);
  const PixelRegion region{360, 240, 400, 100};
  const auto lines = std::get<std::vector<RecognizedTextLine>>(
      recognizer.recognizeText(page.image(), {.region = region, .minimumTextHeight = 0.015}));
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lowercase(lines[0].text), "crocodile");
  const PaintedWord painted = page.word("crocodile");
  EXPECT_NEAR(lines[0].box.x * 400, static_cast<double>(painted.left - region.x), 6);
  // Bottom-left origin within the region: the baseline is 40 pixels above its bottom.
  EXPECT_NEAR(lines[0].box.y * 100, static_cast<double>(region.y + region.height - painted.bottom), 6);

  EXPECT_TRUE(std::holds_alternative<TextRecognitionError>(
      recognizer.recognizeText(page.image(), {.region = {700, 0, 200, 100}, .minimumTextHeight = 0.015})));
}

TEST(TesseractStartupTest, AMissingModelIsReportedByEveryRead) {
  TesseractTextRecognizer recognizer("/nonexistent/tessdata");
  ASSERT_TRUE(recognizer.startupError().has_value());
  EXPECT_NE(recognizer.startupError()->find("/nonexistent/tessdata/eng.traineddata"), std::string::npos);
  const auto answer = recognizer.recognizeText(TextPainter::canvas(8, 8, 0xff), {.region = {0, 0, 8, 8}});
  ASSERT_TRUE(std::holds_alternative<TextRecognitionError>(answer));
  EXPECT_EQ(std::get<TextRecognitionError>(answer).description, *recognizer.startupError());
}

}  // namespace
}  // namespace Sablekit
