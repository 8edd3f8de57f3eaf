// Tests for the differential OCR service against the simulated recogniser:
// full, reused and differential frames, the changed region and its widening,
// the mapping of region boxes back to the image, failures and words.
#include <gtest/gtest.h>

#include "Sablekit/ocr/OCRService.h"
#include "Sablekit/platform/simulated/ScenarioError.h"
#include "Sablekit/platform/simulated/SimulatedTextRecognizer.h"

namespace Sablekit {
namespace {

// A plain grey image; cells are painted as 4 × 4 pixel blocks.
PixelImage greyImage(std::int64_t width, std::int64_t height, std::uint8_t grey) {
  PixelImage image{width, height, {}};
  image.bgra.resize(static_cast<std::size_t>(width * height * 4));
  for (std::size_t index = 0; index < image.bgra.size(); index += 4) {
    image.bgra[index] = image.bgra[index + 1] = image.bgra[index + 2] = grey;
    image.bgra[index + 3] = 0xff;
  }
  return image;
}

void paintCell(PixelImage& image, std::int64_t column, std::int64_t row, std::uint8_t grey) {
  for (std::int64_t y = row * 4; y < std::min(image.height, row * 4 + 4); ++y) {
    for (std::int64_t x = column * 4; x < std::min(image.width, column * 4 + 4); ++x) {
      auto* pixel = image.bgra.data() + (y * image.width + x) * 4;
      pixel[0] = pixel[1] = pixel[2] = grey;
    }
  }
}

// A box given in pixels of a W × H image (top-left origin), normalised.
NormalizedBox boxAt(double left, double top, double width, double height, double imageWidth, double imageHeight) {
  return {left / imageWidth, 1 - (top + height) / imageHeight, width / imageWidth, height / imageHeight};
}

// A one-word line whose word box is the line box.
RecognizedTextLine word(const std::string& text, const NormalizedBox& box, float confidence = 0.5f) {
  return {text, confidence, box, {{0, text.size(), box}}};
}

std::vector<std::string> textsOf(const OCRResult& result) {
  std::vector<std::string> texts;
  for (const auto& segment : result.segments) {
    texts.push_back(segment.text);
  }
  return texts;
}

class OCRServiceTest : public ::testing::Test {
 protected:
  static constexpr std::int64_t width = 256;
  static constexpr std::int64_t height = 128;

  NormalizedBox box(double left, double top, double boxWidth, double boxHeight) const {
    return boxAt(left, top, boxWidth, boxHeight, width, height);
  }
  PixelRegion lastRegion() const { return recognizer.recognitions().back().request.region; }

  FaultInjector faults;
  SimulatedTextRecognizer recognizer{faults};
  OCRService service{recognizer, true};
};

TEST_F(OCRServiceTest, FirstFrameIsReadInFullAndAnIdenticalFrameReusesItsWordsWithoutReading) {
  recognizer.setPage({word("Alpha", box(8, 8, 32, 8), 0.75f), word("Beta", box(100, 40, 24, 8))});
  const PixelImage image = greyImage(width, height, 200);

  const OCRResult first = service.recognize(image);
  EXPECT_EQ(first.status, "success");
  EXPECT_EQ(first.mode, "full");
  EXPECT_FALSE(first.reusedPreviousSegments);
  EXPECT_EQ(textsOf(first), (std::vector<std::string>{"Alpha", "Beta"}));
  EXPECT_EQ(first.fullText, "Alpha\nBeta");
  EXPECT_EQ(first.segments[0].confidence, 0.75f);
  ASSERT_EQ(recognizer.recognitions().size(), 1u);
  EXPECT_EQ(recognizer.recognitions()[0],
            (RecordedTextRecognition{width, height, {{0, 0, width, height}, 0.015, true}}));

  recognizer.setPage({});  // a second read would now find nothing
  const OCRResult second = service.recognize(image);
  EXPECT_EQ(second.status, "success");
  EXPECT_EQ(second.mode, "reused");
  EXPECT_TRUE(second.reusedPreviousSegments);
  EXPECT_EQ(second.segments, first.segments);
  EXPECT_EQ(second.fullText, first.fullText);
  EXPECT_EQ(recognizer.recognitions().size(), 1u);
}

TEST_F(OCRServiceTest, AFrameOfAnotherSizeIsReadInFull) {
  ASSERT_EQ(service.recognize(greyImage(width, height, 200)).mode, "full");
  const OCRResult other = service.recognize(greyImage(width + 4, height, 200));
  EXPECT_EQ(other.mode, "full");
  EXPECT_EQ(lastRegion(), (PixelRegion{0, 0, width + 4, height}));
}

TEST_F(OCRServiceTest, OneChangedCellIsReadWithItsMarginsClippedToTheImage) {
  struct Case {
    const char* name;
    std::int64_t imageWidth;
    std::int64_t column;
    std::int64_t row;
    PixelRegion expected;  // the changed region with a cell of margin, grown by 20 and clipped
  };
  const Case cases[] = {
      // Before growing: x 36–48, y 76–88.
      {"column 10, row 20", width, 10, 20, {16, 56, 52, 52}},
      // Before growing: x 0–8, y 0–8; the margin does not go below 0.
      {"top-left cell", width, 0, 0, {0, 0, 28, 28}},
      // Width 254: the last column covers pixels 252–253 and the region ends at 254.
      {"last column", 254, 63, 5, {228, 0, 26, 48}},
  };
  for (const Case& each : cases) {
    SCOPED_TRACE(each.name);
    service.reset();
    PixelImage image = greyImage(each.imageWidth, height, 200);
    ASSERT_EQ(service.recognize(image).mode, "full");
    paintCell(image, each.column, each.row, 100);
    const OCRResult changed = service.recognize(image);
    EXPECT_EQ(changed.mode, "differential");
    EXPECT_FALSE(changed.reusedPreviousSegments);
    EXPECT_EQ(lastRegion(), each.expected);
  }
}

TEST_F(OCRServiceTest, ChangedRegionTakesInTouchedWordsInOnePassAndKeepsTheOthersAheadOfTheNewOnes) {
  recognizer.setPage({
      word("Alpha", box(8, 8, 32, 8)),
      // Touches the region only once Beta has widened it, and comes before Beta.
      word("Delta", box(50, 66, 8, 6)),
      // Touches the changed region x 36–48, y 76–88: widens it to x 30–60, y 70–88.
      word("Beta", box(30, 70, 30, 8)),
      word("Gamma", box(200, 110, 40, 10)),
  });
  PixelImage image = greyImage(width, height, 200);
  ASSERT_EQ(service.recognize(image).mode, "full");

  const NormalizedBox epsilonBox = box(24, 72, 40, 12);
  recognizer.setPage(
      {word("Alpha", box(8, 8, 32, 8)), word("Epsilon", epsilonBox), word("Gamma", box(200, 110, 40, 10))});
  paintCell(image, 10, 20, 100);
  const OCRResult changed = service.recognize(image);

  // x 30–60, y 70–88 grown by 20; Delta was passed before the region reached it.
  EXPECT_EQ(lastRegion(), (PixelRegion{10, 50, 70, 58}));
  EXPECT_EQ(changed.mode, "differential");
  EXPECT_EQ(textsOf(changed), (std::vector<std::string>{"Alpha", "Gamma", "Epsilon"}));
  EXPECT_EQ(changed.fullText, "Alpha\nGamma\nEpsilon");
  // Read relative to the region and mapped back onto the whole image.
  const OCRSegmentResult& epsilon = changed.segments[2];
  EXPECT_DOUBLE_EQ(epsilon.x, epsilonBox.x);
  EXPECT_DOUBLE_EQ(epsilon.y, epsilonBox.y);
  EXPECT_DOUBLE_EQ(epsilon.width, epsilonBox.width);
  EXPECT_DOUBLE_EQ(epsilon.height, epsilonBox.height);
}

TEST_F(OCRServiceTest, BoxesReadInTheRegionAreMappedOntoTheWholeImage) {
  PixelImage image = greyImage(width, height, 200);
  ASSERT_EQ(service.recognize(image).mode, "full");
  paintCell(image, 10, 20, 100);  // read as region x 16–68, y 56–108
  recognizer.answerNext({word("Zeta", {0.5, 0.25, 0.25, 0.5})});
  const OCRResult changed = service.recognize(image);
  ASSERT_EQ(lastRegion(), (PixelRegion{16, 56, 52, 52}));
  ASSERT_EQ(changed.segments.size(), 1u);
  const OCRSegmentResult& zeta = changed.segments[0];
  EXPECT_EQ(zeta.x, (16 + 0.5 * 52) / 256);
  EXPECT_EQ(zeta.y, (128 - 108 + 0.25 * 52) / 128);  // bottom-left origin: the region's bottom is 20 px up
  EXPECT_EQ(zeta.width, 0.25 * 52 / 256);
  EXPECT_EQ(zeta.height, 0.5 * 52 / 128);
}

TEST_F(OCRServiceTest, ACellCountsAsChangedFromSevenGreyLevels) {
  struct Case {
    const char* name;
    int everyCellDelta;
    int oneCellDelta;
    const char* expectedMode;
  };
  const Case cases[] = {
      {"6 brighter everywhere", 6, 0, "reused"},
      {"6 darker everywhere", -6, 0, "reused"},
      {"7 brighter in one cell", 0, 7, "differential"},
      {"7 darker in one cell", 0, -7, "differential"},
  };
  for (const Case& each : cases) {
    SCOPED_TRACE(each.name);
    service.reset();
    ASSERT_EQ(service.recognize(greyImage(width, height, 100)).mode, "full");
    PixelImage next = greyImage(width, height, static_cast<std::uint8_t>(100 + each.everyCellDelta));
    paintCell(next, 30, 15, static_cast<std::uint8_t>(100 + each.everyCellDelta + each.oneCellDelta));
    EXPECT_EQ(service.recognize(next).mode, std::string(each.expectedMode));
  }
}

TEST_F(OCRServiceTest, AFailedFrameLeavesTheMemoryOfTheLastGoodFrame) {
  recognizer.setPage({word("Alpha", box(8, 8, 32, 8))});
  const PixelImage good = greyImage(width, height, 200);
  const OCRResult first = service.recognize(good);

  PixelImage changed = good;
  paintCell(changed, 3, 3, 0);
  faults.arm(std::string(SimulatedOperation::recognizeText), FaultKind::fail, 1);
  const OCRResult failed = service.recognize(changed);
  EXPECT_EQ(failed, (OCRResult{"visionFailed", "none", false, {}, ""}));

  PixelImage malformed = good;
  malformed.bgra.pop_back();  // no thumbnail can be made: nothing is read
  const auto readsBefore = recognizer.recognitions().size();
  EXPECT_EQ(service.recognize(malformed), (OCRResult{"visionFailed", "none", false, {}, ""}));
  EXPECT_EQ(recognizer.recognitions().size(), readsBefore);

  // Compared with the last good frame, not with the failed ones.
  const OCRResult again = service.recognize(good);
  EXPECT_EQ(again.mode, "reused");
  EXPECT_EQ(again.segments, first.segments);

  service.reset();
  EXPECT_EQ(service.recognize(good).mode, "full");
}

TEST_F(OCRServiceTest, LinesAreSplitIntoWordsAtUnicodeWhiteSpace) {
  const NormalizedBox lineBox{0.1, 0.5, 0.8, 0.1};
  struct Case {
    const char* name;
    std::string text;
    std::vector<std::string> words;
  };
  const Case cases[] = {
      {"two spaces", "Hello  world", {"Hello", "world"}},
      {"no-break space, em space, line feed",
       "na\u00efve\u00a0caf\u00e9\u2003ok\nend",
       {"na\u00efve", "caf\u00e9", "ok", "end"}},
      {"leading and trailing tabs", "\tone\t", {"one"}},
  };
  for (const Case& each : cases) {
    SCOPED_TRACE(each.name);
    service.reset();
    // One piece per word, each with its own box, found by position in the text.
    RecognizedTextLine line{each.text, 0.875f, lineBox, {}};
    std::size_t searchFrom = 0;
    for (std::size_t index = 0; index < each.words.size(); ++index) {
      const std::size_t offset = each.text.find(each.words[index], searchFrom);
      searchFrom = offset + each.words[index].size();
      line.pieces.push_back({offset, each.words[index].size(), {0.1 * double(index + 1), 0.5, 0.05, 0.1}});
    }
    recognizer.answerNext({line});
    const OCRResult result = service.recognize(greyImage(width, height, 200));
    EXPECT_EQ(textsOf(result), each.words);
    for (std::size_t index = 0; index < result.segments.size(); ++index) {
      EXPECT_EQ(result.segments[index].confidence, 0.875f);
      EXPECT_EQ(result.segments[index].x, 0.1 * double(index + 1));
    }
  }
  EXPECT_EQ(service.recognize(greyImage(width, height, 100)).fullText, "");
  recognizer.answerNext(
      {{"Hello  world", 0.5f, lineBox, {{0, 5, {0.1, 0.5, 0.2, 0.1}}, {7, 5, {0.4, 0.5, 0.2, 0.1}}}}});
  EXPECT_EQ(service.recognize(greyImage(width, height, 200)).fullText, "Hello\nworld");
}

TEST_F(OCRServiceTest, ALineWithoutPlaceableWordsBecomesOneSegmentWithTheLineBox) {
  const NormalizedBox lineBox{0.1, 0.5, 0.8, 0.1};
  struct Case {
    const char* name;
    RecognizedTextLine line;
  };
  const Case cases[] = {
      {"no word boxes", {"to be", 0.5f, lineBox, {}}},
      {"zero-width word boxes", {"to be", 0.5f, lineBox, {{0, 2, {0.1, 0.5, 0, 0.1}}, {3, 2, {0.2, 0.5, 0.1, 0}}}}},
  };
  for (const Case& each : cases) {
    SCOPED_TRACE(each.name);
    service.reset();
    recognizer.answerNext({each.line});
    const OCRResult result = service.recognize(greyImage(width, height, 200));
    ASSERT_EQ(result.segments.size(), 1u);
    EXPECT_EQ(result.segments[0], (OCRSegmentResult{"to be", 0.5f, 0.1, 0.5, 0.8, 0.1}));
  }
  // One placeable word is enough to leave the line box out.
  service.reset();
  recognizer.answerNext({{"to be", 0.5f, lineBox, {{0, 2, {0.1, 0.5, 0, 0.1}}, {3, 2, {0.2, 0.5, 0.1, 0.1}}}}});
  EXPECT_EQ(service.recognize(greyImage(width, height, 200)).segments,
            (std::vector<OCRSegmentResult>{{"be", 0.5f, 0.2, 0.5, 0.1, 0.1}}));
}

TEST(SimulatedTextRecognizerTest, ScenarioSectionIsReadStrictly) {
  FaultInjector faults;
  SimulatedTextRecognizer recognizer(faults);
  recognizer.loadScenario(nlohmann::json::parse(R"({"lines": [
      {"text": "Hi there", "box": {"x": 0, "y": 0.5, "width": 0.5, "height": 0.25},
       "pieces": [{"offset": 0, "length": 2, "box": {"x": 0, "y": 0.5, "width": 0.125, "height": 0.25}}]},
      {"text": "below", "confidence": 0.25, "box": {"x": 0.5, "y": 0, "width": 0.5, "height": 0.25}}]})"));
  // The top-left quarter of a 64 × 64 image holds only the first line.
  const auto lines = std::get<std::vector<RecognizedTextLine>>(
      recognizer.recognizeText(greyImage(64, 64, 0), {.region = {0, 0, 32, 32}, .minimumTextHeight = 0}));
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0], (RecognizedTextLine{"Hi there", 1.0f, {0, 0, 1, 0.5}, {{0, 2, {0, 0, 0.25, 0.5}}}}));

  struct Case {
    const char* json;
    const char* path;
  };
  const Case cases[] = {
      {R"({"line": []})", "textRecognition.line"},
      {R"({"lines": [{"text": "a"}]})", "textRecognition.lines[0].box"},
      {R"({"lines": [{"text": "a", "box": {"x": 0, "y": 0, "width": 1, "height": 1}, "pieces": [{"offset": -1, "length": 1, "box": {"x": 0, "y": 0, "width": 1, "height": 1}}]}]})",
       "textRecognition.lines[0].pieces[0].offset"},
  };
  for (const Case& each : cases) {
    SCOPED_TRACE(each.json);
    try {
      recognizer.loadScenario(nlohmann::json::parse(each.json));
      ADD_FAILURE() << "accepted";
    } catch (const ScenarioError& error) {
      EXPECT_NE(std::string(error.what()).find(each.path), std::string::npos) << error.what();
    }
  }
}

}  // namespace
}  // namespace Sablekit
