// The simulated text recogniser: scripted page, queued answers, recorded
// reads, faults and the "textRecognition" scenario section.
#include "Sablekit/platform/simulated/SimulatedTextRecognizer.h"

#include <nlohmann/json.hpp>

#include "Sablekit/platform/simulated/ScenarioFields.h"

namespace Sablekit {

using namespace ScenarioFields;

namespace {

// Allowance for rounding when deciding that a box lies inside a region.
constexpr double tolerance = 1e-9;

// Image-normalised box → pixels, origin top-left.
struct PixelBox {
  double left, top, right, bottom;
};

PixelBox inPixels(const NormalizedBox& box, double width, double height) {
  return {box.x * width, (1 - box.y - box.height) * height, (box.x + box.width) * width, (1 - box.y) * height};
}

NormalizedBox relativeTo(const NormalizedBox& box, const PixelImage& image, const PixelRegion& region) {
  const auto width = static_cast<double>(image.width);
  const auto height = static_cast<double>(image.height);
  const auto regionBottomFromBelow = static_cast<double>(image.height - region.y - region.height);
  return {(box.x * width - static_cast<double>(region.x)) / static_cast<double>(region.width),
          (box.y * height - regionBottomFromBelow) / static_cast<double>(region.height),
          box.width * width / static_cast<double>(region.width),
          box.height * height / static_cast<double>(region.height)};
}

NormalizedBox normalizedBox(const Json& value, const std::string& path) {
  const Rect rect = ScenarioFields::rect(value, path);
  return {rect.x, rect.y, rect.width, rect.height};
}

}  // namespace

SimulatedTextRecognizer::SimulatedTextRecognizer(FaultInjector& faults) : faults_(faults) {}

SimulatedTextRecognizer& SimulatedTextRecognizer::setPage(std::vector<RecognizedTextLine> lines) {
  page_ = std::move(lines);
  return *this;
}

SimulatedTextRecognizer& SimulatedTextRecognizer::answerNext(std::vector<RecognizedTextLine> lines) {
  answers_.push_back(std::move(lines));
  return *this;
}

std::variant<std::vector<RecognizedTextLine>, TextRecognitionError> SimulatedTextRecognizer::recognizeText(
    const PixelImage& image,
    const TextRecognitionRequest& request) {
  recognitions_.push_back({image.width, image.height, request});
  if (const auto fault = faults_.take(SimulatedOperation::recognizeText)) {
    if (*fault == FaultKind::fail) {
      return TextRecognitionError{"The simulated text recogniser could not read the image."};
    }
    return std::vector<RecognizedTextLine>{};
  }
  if (!regionIsReadable(image, request.region)) {
    return TextRecognitionError{"The region to read is not inside the image."};
  }
  if (!answers_.empty()) {
    auto answer = std::move(answers_.front());
    answers_.pop_front();
    return answer;
  }
  const auto width = static_cast<double>(image.width);
  const auto height = static_cast<double>(image.height);
  const PixelRegion& region = request.region;
  std::vector<RecognizedTextLine> lines;
  for (const RecognizedTextLine& line : page_) {
    const PixelBox box = inPixels(line.box, width, height);
    const bool inside = box.left >= static_cast<double>(region.x) - tolerance &&
                        box.top >= static_cast<double>(region.y) - tolerance &&
                        box.right <= static_cast<double>(region.x + region.width) + tolerance &&
                        box.bottom <= static_cast<double>(region.y + region.height) + tolerance;
    if (!inside) {
      continue;
    }
    RecognizedTextLine read = line;
    read.box = relativeTo(line.box, image, region);
    for (TextPieceBox& piece : read.pieces) {
      piece.box = relativeTo(piece.box, image, region);
    }
    lines.push_back(std::move(read));
  }
  return lines;
}

void SimulatedTextRecognizer::loadScenario(const Json& section) {
  const std::string path = std::string(scenarioSection);
  expectObject(section, path, {"lines"});
  std::vector<RecognizedTextLine> lines;
  if (const auto found = section.find("lines"); found != section.end()) {
    expectArray(*found, path + ".lines");
    for (std::size_t index = 0; index < found->size(); ++index) {
      const Json& entry = (*found)[index];
      const std::string linePath = path + ".lines[" + std::to_string(index) + "]";
      expectObject(entry, linePath, {"text", "confidence", "box", "pieces"});
      RecognizedTextLine line;
      line.text = required(stringAt(entry, linePath, "text"), linePath, "text");
      line.confidence = static_cast<float>(numberAt(entry, linePath, "confidence").value_or(1.0));
      if (!entry.contains("box")) {
        fail(linePath + ".box", "missing");
      }
      line.box = normalizedBox(entry.at("box"), linePath + ".box");
      if (const auto pieces = entry.find("pieces"); pieces != entry.end()) {
        expectArray(*pieces, linePath + ".pieces");
        for (std::size_t pieceIndex = 0; pieceIndex < pieces->size(); ++pieceIndex) {
          const Json& piece = (*pieces)[pieceIndex];
          const std::string piecePath = linePath + ".pieces[" + std::to_string(pieceIndex) + "]";
          expectObject(piece, piecePath, {"offset", "length", "box"});
          if (!piece.contains("box")) {
            fail(piecePath + ".box", "missing");
          }
          line.pieces.push_back({required(integerAt<std::uint32_t>(piece, piecePath, "offset"), piecePath, "offset"),
                                 required(integerAt<std::uint32_t>(piece, piecePath, "length"), piecePath, "length"),
                                 normalizedBox(piece.at("box"), piecePath + ".box")});
        }
      }
      lines.push_back(std::move(line));
    }
  }
  page_ = std::move(lines);
}

}  // namespace Sablekit
