// Recognises the text of every captured frame, reusing the previous frame's
// words where the picture has not changed.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "Sablekit/platform/Geometry.h"
#include "Sablekit/platform/PixelImage.h"
#include "Sablekit/platform/TextRecognizer.h"
#include "Sablekit/protocol/OCRResult.h"

namespace Sablekit {

// Remembers a grey thumbnail (one byte per 4 × 4 pixel cell, Rec. 601 luma of
// the cell's sampled pixel) and the words of the last frame it processed
// successfully. A frame of the same size is compared cell by cell: no change
// reuses the words, a change re-reads only the changed region (widened to the
// words it touches and a margin); anything else reads the whole frame.
//
// Main thread only, like the recogniser it drives; frames are processed one
// after another and nothing locks the memory. The recogniser must outlive the
// service.
class OCRService {
 public:
  static constexpr std::int64_t cellSize = 4;         // pixels per thumbnail cell side
  static constexpr int changeThreshold = 7;           // grey levels for a cell to count as changed
  static constexpr std::int64_t regionMargin = 4;     // pixels around the changed cells
  static constexpr double wideningMargin = 20;        // pixels added around the widened region
  static constexpr double minimumTextHeight = 0.015;  // of the height of the image or region read

  // Empty memory. `highAccuracy` asks the recogniser for its accurate mode.
  OCRService(TextRecognizer& recognizer, bool highAccuracy);

  // The words of `image`, mode "full", "differential" or "reused"; on a
  // recogniser error or an image whose pixels do not match its size, status
  // "visionFailed" with mode "none" and the memory left as it was. Never throws
  // for a recognition failure.
  OCRResult recognize(const PixelImage& image);

  // Forgets the previous frame: the next one is read in full.
  void reset();

 private:
  struct Thumbnail {
    std::vector<std::uint8_t> cells;  // row by row from the top, 0 black to 255 white
    std::int64_t width = 0;
    std::int64_t height = 0;
  };

  // Absent when the image's pixel buffer does not match its size (or it is empty).
  static std::optional<Thumbnail> grayscaleGrid(const PixelImage& image);
  // The changed cells plus one cell of margin, in pixels with a top-left
  // origin and clipped to the image; absent when no cell changed.
  std::optional<Rect> changedRegion(const Thumbnail& thumbnail,
                                    std::int64_t imageWidth,
                                    std::int64_t imageHeight) const;
  // `region` joined with every previous word it touches (one pass), grown by
  // the widening margin, clipped to the image and rounded out to whole pixels.
  Rect widenedRegion(Rect region, std::int64_t imageWidth, std::int64_t imageHeight) const;

  // Absent when the recogniser failed.
  std::optional<std::vector<OCRSegmentResult>> recognizeImage(const PixelImage& image);
  std::optional<std::vector<OCRSegmentResult>> recognizeChangedRegion(
      const PixelImage& image,
      const Rect& region,
      const std::vector<OCRSegmentResult>& previousSegments);
  std::optional<std::vector<OCRSegmentResult>> recognizeRegion(const PixelImage& image, const PixelRegion& region);

  TextRecognizer& recognizer_;
  const bool highAccuracy_;
  std::vector<std::uint8_t> previousGrid_;
  std::int64_t previousGridWidth_ = 0;
  std::int64_t previousGridHeight_ = 0;
  std::int64_t previousImageWidth_ = 0;
  std::int64_t previousImageHeight_ = 0;
  std::vector<OCRSegmentResult> previousSegments_;
};

}  // namespace Sablekit
