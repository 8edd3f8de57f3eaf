// A text recogniser on the simulated desktop: reads scripted lines placed on
// the image, records what it was asked to read, and fails on demand.
#pragma once

#include <cstdint>
#include <deque>
#include <string_view>
#include <vector>

#include <nlohmann/json_fwd.hpp>

#include "Sablekit/platform/TextRecognizer.h"
#include "Sablekit/platform/simulated/FaultInjector.h"

namespace Sablekit {

namespace SimulatedOperation {
// fail: the recogniser answers an error. empty: it reads no lines.
inline constexpr std::string_view recognizeText = "textRecognizer.recognizeText";
}  // namespace SimulatedOperation

// One call of recognizeText as the recogniser saw it.
struct RecordedTextRecognition {
  std::int64_t imageWidth = 0;
  std::int64_t imageHeight = 0;
  TextRecognitionRequest request;
  bool operator==(const RecordedTextRecognition&) const = default;
};

// Builders and queries run on the thread playing the main thread. The fault
// injector must outlive the recogniser.
class SimulatedTextRecognizer final : public TextRecognizer {
 public:
  // The scenario section this service reads (format in docs/scenario-ocr.md).
  static constexpr std::string_view scenarioSection = "textRecognition";

  explicit SimulatedTextRecognizer(FaultInjector& faults);

  // The text "printed" on every image, with boxes normalised to the whole
  // image. A read answers, in this order, the lines whose box lies wholly
  // inside the region read, with their line and piece boxes normalised to
  // that region. Replaces the previous page.
  SimulatedTextRecognizer& setPage(std::vector<RecognizedTextLine> lines);
  // The next read (after faults) answers exactly `lines`, boxes taken as
  // normalised to the region read, instead of reading the page. Queued in
  // order, one per read.
  SimulatedTextRecognizer& answerNext(std::vector<RecognizedTextLine> lines);

  // Every read so far, faulted ones included, oldest first.
  const std::vector<RecordedTextRecognition>& recognitions() const { return recognitions_; }

  // Reads the "textRecognition" section: {"lines": [line, ...]} where a line
  // is {"text", "confidence" (default 1), "box", "pieces": [{"offset",
  // "length", "box"}]} and a box is {"x", "y", "width", "height"}, normalised
  // to the image with a bottom-left origin. Replaces the page. Throws
  // ScenarioError naming the offending path.
  void loadScenario(const nlohmann::json& section);

  // TextRecognizer
  std::variant<std::vector<RecognizedTextLine>, TextRecognitionError> recognizeText(
      const PixelImage& image,
      const TextRecognitionRequest& request) override;

 private:
  FaultInjector& faults_;
  std::vector<RecognizedTextLine> page_;
  std::deque<std::vector<RecognizedTextLine>> answers_;
  std::vector<RecordedTextRecognition> recognitions_;
};

}  // namespace Sablekit
