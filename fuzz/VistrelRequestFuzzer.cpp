// Fuzz target: one request line through the capture host's whole loop on the
// demo desktop (lighter, see below). Whatever the line, the loop writes
// exactly one well-formed response line, or (only when the response cannot be
// encoded) the single diagnostic and nothing else.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "Sablekit/platform/simulated/SimulatedDesktop.h"
#include "Sablekit/protocol/JsonCodec.h"
#include "Vistrel/VistrelMain.h"

namespace {

using namespace Sablekit;

class OneLineSource final : public LineSource {
 public:
  explicit OneLineSource(std::string line) : line_(std::move(line)) {}
  std::optional<std::string> readLine() override { return std::exchange(line_, std::nullopt); }

 private:
  std::optional<std::string> line_;
};

class RecordingSink final : public ByteSink {
 public:
  void write(std::string_view bytes) override { writes.emplace_back(bytes); }
  std::vector<std::string> writes;
};

void require(bool condition) {
  if (!condition) {
    std::abort();
  }
}

// Compact, keys sorted, '/' unescaped: re-encoding the parsed line gives it
// back (the encoder never writes "\/"; a plain search for it would also find a
// backslash of the request echoed in a message, "\\/", followed by a slash).
void requireWellFormedResponse(const std::string& line) {
  require(line.find('\n') == std::string::npos);
  const JsonCodec::Value response = JsonCodec::parse(line);
  require(JsonCodec::serialize(response) == line);
  require(response.is_object() && response.contains("id") && response["id"].is_number_integer());
  require(response.contains("ok") && response["ok"].is_boolean());
  const bool ok = response["ok"].get<bool>();
  require(response.contains("result") == ok && response.contains("error") == !ok);
  if (!ok) {
    const JsonCodec::Value& error = response["error"];
    require(error.size() == 3 && error["code"].is_string() && error["message"].is_string() &&
            error["retryable"].is_boolean());
  }
}

// The demo desktop at one pixel per point, with its text recognition
// scripted instead of Tesseract's: a full-resolution frame took Tesseract,
// x265 and the sanitizers half a minute, and neither library is ours to fuzz.
std::unique_ptr<SimulatedDesktop> lighterDemo() {
  JsonCodec::Value scenario = JsonCodec::parse(SimulatedDesktop::demoScenario());
  scenario["textRecognition"] = JsonCodec::parse(R"json({"lines": [
    {"text": "fn capture(display: Display) -> Frame {", "confidence": 0.9,
     "box": {"x": 0.2, "y": 0.6, "width": 0.3, "height": 0.02}}]})json");
  scenario["displays"][0]["pixelsPerPoint"] = 1;
  return SimulatedDesktop::fromScenario(scenario.dump());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // The desktop lives for the whole run, like the one the host serves.
  static const std::unique_ptr<SimulatedDesktop> desktop = lighterDemo();
  std::string line(reinterpret_cast<const char*>(data), size);
  // The loop hands out lines without their line feed.
  if (const std::size_t end = line.find('\n'); end != std::string::npos) {
    line.resize(end);
  }
  OneLineSource input(line);
  RecordingSink output;
  RecordingSink diagnostics;
  require(VistrelMain::main(*desktop, {input, output, diagnostics}) == 0);
  if (output.writes.empty()) {
    require(diagnostics.writes.size() == 1 && diagnostics.writes[0] == VistrelMain::encodingFailureDiagnostic);
    return 0;
  }
  require(diagnostics.writes.empty());
  require(output.writes.size() == 2 && output.writes[1] == "\n");
  requireWellFormedResponse(output.writes[0]);
  return 0;
}
