// The differential OCR service: thumbnail comparison, changed-region
// widening, cropped recognition mapped back to the whole image, and words.
#include "Sablekit/ocr/OCRService.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <string_view>

#include <unicode/utf8.h>

#include "Sablekit/common/BundleIDNormalization.h"

namespace Sablekit {

namespace {

struct ByteRange {
  std::size_t offset = 0;
  std::size_t length = 0;
};

// The runs of `text` between white space (Unicode white space and line
// breaks), in order, as byte ranges. Bytes that are not UTF-8 count as text.
// ICU's UTF-8 stepping macro expands to C casts.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wold-style-cast"
std::vector<ByteRange> recognizedWordRanges(std::string_view text) {
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(text.data());
  const auto length = static_cast<std::int32_t>(text.size());
  std::vector<ByteRange> words;
  std::int32_t wordStart = -1;
  std::int32_t index = 0;
  while (index < length) {
    const std::int32_t start = index;
    UChar32 codePoint = 0;
    U8_NEXT(bytes, index, length, codePoint);
    const bool space = codePoint >= 0 && isWhitespaceOrNewline(static_cast<char32_t>(codePoint));
    if (space && wordStart >= 0) {
      words.push_back({static_cast<std::size_t>(wordStart), static_cast<std::size_t>(start - wordStart)});
      wordStart = -1;
    } else if (!space && wordStart < 0) {
      wordStart = start;
    }
  }
  if (wordStart >= 0) {
    words.push_back({static_cast<std::size_t>(wordStart), static_cast<std::size_t>(length - wordStart)});
  }
  return words;
}
#pragma GCC diagnostic pop

bool isFinite(const NormalizedBox& box) {
  return std::isfinite(box.x) && std::isfinite(box.y) && std::isfinite(box.width) && std::isfinite(box.height);
}

OCRSegmentResult segment(std::string text, float confidence, const NormalizedBox& box) {
  return {.text = std::move(text),
          .confidence = confidence,
          .x = box.x,
          .y = box.y,
          .width = box.width,
          .height = box.height};
}

// One segment per word the recogniser can place; a line with no placeable
// word becomes one segment with the line's box.
std::vector<OCRSegmentResult> observations(const std::vector<RecognizedTextLine>& lines) {
  std::vector<OCRSegmentResult> segments;
  for (const RecognizedTextLine& line : lines) {
    // A confidence outside 0...1 (or not a number) would break the promise
    // of the record and, if not finite, the encoding of the whole frame.
    const float confidence = std::isfinite(line.confidence) ? std::clamp(line.confidence, 0.0f, 1.0f) : 0.0f;
    bool placedWord = false;
    for (const ByteRange& word : recognizedWordRanges(line.text)) {
      const auto box = line.boxOfRange(word.offset, word.length);
      if (!box || box->width == 0 || box->height == 0 || !isFinite(*box)) {
        continue;
      }
      segments.push_back(segment(line.text.substr(word.offset, word.length), confidence, *box));
      placedWord = true;
    }
    if (!placedWord && isFinite(line.box)) {
      segments.push_back(segment(line.text, confidence, line.box));
    }
  }
  return segments;
}

// A segment's box in pixels of a W × H image, origin top-left.
Rect pixelBox(const OCRSegmentResult& segment, double width, double height) {
  return {segment.x * width, (1 - segment.y - segment.height) * height, segment.width * width, segment.height * height};
}

Rect unionOf(const Rect& a, const Rect& b) {
  const double left = std::min(a.minX(), b.minX());
  const double top = std::min(a.minY(), b.minY());
  return {left, top, std::max(a.maxX(), b.maxX()) - left, std::max(a.maxY(), b.maxY()) - top};
}

// Empty (all zero) when they do not overlap.
Rect intersectionOf(const Rect& a, const Rect& b) {
  const double left = std::max(a.minX(), b.minX());
  const double top = std::max(a.minY(), b.minY());
  const double right = std::min(a.maxX(), b.maxX());
  const double bottom = std::min(a.maxY(), b.maxY());
  if (right <= left || bottom <= top) {
    return {};
  }
  return {left, top, right - left, bottom - top};
}

// The smallest rectangle of whole pixels containing `rect`.
Rect integral(const Rect& rect) {
  const double left = std::floor(rect.minX());
  const double top = std::floor(rect.minY());
  return {left, top, std::ceil(rect.maxX()) - left, std::ceil(rect.maxY()) - top};
}

std::string joinedText(const std::vector<OCRSegmentResult>& segments) {
  std::string text;
  for (const OCRSegmentResult& each : segments) {
    if (&each != &segments.front()) {
      text += '\n';
    }
    text += each.text;
  }
  return text;
}

}  // namespace

OCRService::OCRService(TextRecognizer& recognizer, bool highAccuracy)
    : recognizer_(recognizer), highAccuracy_(highAccuracy) {}

void OCRService::reset() {
  previousGrid_.clear();
  previousGridWidth_ = 0;
  previousGridHeight_ = 0;
  previousImageWidth_ = 0;
  previousImageHeight_ = 0;
  previousSegments_.clear();
}

OCRResult OCRService::recognize(const PixelImage& image) {
  const OCRResult failure{.status = std::string(OCRResult::statusVisionFailed),
                          .mode = std::string(OCRResult::modeNone),
                          .reusedPreviousSegments = false,
                          .segments = {},
                          .fullText = ""};
  auto thumbnail = grayscaleGrid(image);
  if (!thumbnail) {
    return failure;
  }
  std::optional<std::vector<OCRSegmentResult>> segments;
  std::string_view mode;
  const bool comparable = !previousGrid_.empty() && image.width == previousImageWidth_ &&
                          image.height == previousImageHeight_ && thumbnail->width == previousGridWidth_ &&
                          thumbnail->height == previousGridHeight_;
  if (!comparable) {
    segments = recognizeImage(image);
    mode = OCRResult::modeFull;
  } else if (const auto changed = changedRegion(*thumbnail, image.width, image.height)) {
    segments = recognizeChangedRegion(image, widenedRegion(*changed, image.width, image.height), previousSegments_);
    mode = OCRResult::modeDifferential;
  } else {
    segments = previousSegments_;
    mode = OCRResult::modeReused;
  }
  if (!segments) {
    return failure;
  }

  previousGrid_ = std::move(thumbnail->cells);
  previousGridWidth_ = thumbnail->width;
  previousGridHeight_ = thumbnail->height;
  previousImageWidth_ = image.width;
  previousImageHeight_ = image.height;
  previousSegments_ = *segments;
  std::string fullText = joinedText(*segments);
  return OCRResult{.status = std::string(OCRResult::statusSuccess),
                   .mode = std::string(mode),
                   .reusedPreviousSegments = mode == OCRResult::modeReused,
                   .segments = std::move(*segments),
                   .fullText = std::move(fullText)};
}

std::optional<OCRService::Thumbnail> OCRService::grayscaleGrid(const PixelImage& image) {
  if (!regionIsReadable(image, {0, 0, image.width, image.height})) {
    return std::nullopt;
  }
  Thumbnail thumbnail;
  thumbnail.width = (image.width + cellSize - 1) / cellSize;
  thumbnail.height = (image.height + cellSize - 1) / cellSize;
  thumbnail.cells.resize(static_cast<std::size_t>(thumbnail.width * thumbnail.height));
  // Nearest sampling of the image scaled onto the thumbnail: each cell takes
  // the pixel under its centre, floor((c + 0.5) × W / gw).
  std::vector<std::int64_t> columns(static_cast<std::size_t>(thumbnail.width));
  for (std::int64_t column = 0; column < thumbnail.width; ++column) {
    columns[static_cast<std::size_t>(column)] = (2 * column + 1) * image.width / (2 * thumbnail.width);
  }
  auto cell = thumbnail.cells.begin();
  for (std::int64_t row = 0; row < thumbnail.height; ++row) {
    const std::int64_t y = (2 * row + 1) * image.height / (2 * thumbnail.height);
    for (const std::int64_t x : columns) {
      *cell++ = greyLevel(image.pixel(x, y));
    }
  }
  return thumbnail;
}

std::optional<Rect> OCRService::changedRegion(const Thumbnail& thumbnail,
                                              std::int64_t imageWidth,
                                              std::int64_t imageHeight) const {
  const auto width = static_cast<double>(imageWidth);
  const auto height = static_cast<double>(imageHeight);
  if (thumbnail.cells.size() != previousGrid_.size()) {
    return Rect{0, 0, width, height};
  }
  std::int64_t minColumn = thumbnail.width;
  std::int64_t maxColumn = -1;
  std::int64_t minRow = thumbnail.height;
  std::int64_t maxRow = -1;
  for (std::size_t index = 0; index < thumbnail.cells.size(); ++index) {
    if (std::abs(int{thumbnail.cells[index]} - int{previousGrid_[index]}) < changeThreshold) {
      continue;
    }
    const auto column = static_cast<std::int64_t>(index) % thumbnail.width;
    const auto row = static_cast<std::int64_t>(index) / thumbnail.width;
    minColumn = std::min(minColumn, column);
    maxColumn = std::max(maxColumn, column);
    minRow = std::min(minRow, row);
    maxRow = std::max(maxRow, row);
  }
  if (maxColumn < 0) {
    return std::nullopt;
  }
  const std::int64_t left = std::max<std::int64_t>(minColumn * cellSize - regionMargin, 0);
  const std::int64_t top = std::max<std::int64_t>(minRow * cellSize - regionMargin, 0);
  const std::int64_t right = std::min(imageWidth, (maxColumn + 1) * cellSize + regionMargin);
  const std::int64_t bottom = std::min(imageHeight, (maxRow + 1) * cellSize + regionMargin);
  return Rect{static_cast<double>(left), static_cast<double>(top), static_cast<double>(right - left),
              static_cast<double>(bottom - top)};
}

Rect OCRService::widenedRegion(Rect region, std::int64_t imageWidth, std::int64_t imageHeight) const {
  const auto width = static_cast<double>(imageWidth);
  const auto height = static_cast<double>(imageHeight);
  // One pass in the words' order: a word passed before the region grew to
  // reach it is not looked at again.
  for (const OCRSegmentResult& previous : previousSegments_) {
    const Rect box = pixelBox(previous, width, height);
    if (region.intersects(box)) {
      region = unionOf(region, box);
    }
  }
  const Rect grown{region.minX() - wideningMargin, region.minY() - wideningMargin,
                   region.maxX() - region.minX() + 2 * wideningMargin,
                   region.maxY() - region.minY() + 2 * wideningMargin};
  return integral(intersectionOf(grown, Rect{0, 0, width, height}));
}

std::optional<std::vector<OCRSegmentResult>> OCRService::recognizeRegion(const PixelImage& image,
                                                                         const PixelRegion& region) {
  auto lines = recognizer_.recognizeText(
      image, {.region = region, .minimumTextHeight = minimumTextHeight, .accurate = highAccuracy_});
  if (const auto* read = std::get_if<std::vector<RecognizedTextLine>>(&lines)) {
    return observations(*read);
  }
  return std::nullopt;
}

std::optional<std::vector<OCRSegmentResult>> OCRService::recognizeImage(const PixelImage& image) {
  return recognizeRegion(image, {0, 0, image.width, image.height});
}

std::optional<std::vector<OCRSegmentResult>> OCRService::recognizeChangedRegion(
    const PixelImage& image,
    const Rect& region,
    const std::vector<OCRSegmentResult>& previousSegments) {
  // The region is whole pixels already; a region that cannot be cut out of
  // the image is read as the whole image instead.
  const PixelRegion crop{static_cast<std::int64_t>(region.minX()), static_cast<std::int64_t>(region.minY()),
                         static_cast<std::int64_t>(region.maxX() - region.minX()),
                         static_cast<std::int64_t>(region.maxY() - region.minY())};
  if (region.isEmpty() || !regionIsReadable(image, crop)) {
    return recognizeImage(image);
  }
  auto fresh = recognizeRegion(image, crop);
  if (!fresh) {
    return std::nullopt;
  }
  const auto width = static_cast<double>(image.width);
  const auto height = static_cast<double>(image.height);
  const auto left = static_cast<double>(crop.x);
  const auto bottom = static_cast<double>(crop.y + crop.height);
  const auto regionWidth = static_cast<double>(crop.width);
  const auto regionHeight = static_cast<double>(crop.height);

  std::vector<OCRSegmentResult> segments;
  segments.reserve(previousSegments.size() + fresh->size());
  for (const OCRSegmentResult& previous : previousSegments) {
    if (!region.intersects(pixelBox(previous, width, height))) {
      segments.push_back(previous);
    }
  }
  for (OCRSegmentResult& word : *fresh) {
    word.x = (left + word.x * regionWidth) / width;
    word.y = (height - bottom + word.y * regionHeight) / height;
    word.width = word.width * regionWidth / width;
    word.height = word.height * regionHeight / height;
    segments.push_back(std::move(word));
  }
  return segments;
}

}  // namespace Sablekit
