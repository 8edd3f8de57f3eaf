// Frame encoding measured side by side: HEIC at quality 0.97 for each x265
// preset on screen-like frames (time and bytes), then, for one 1512 × 982
// frame at the chosen preset, the encoding next to the SHA-256 and Base64 of
// its bytes.
#include <array>
#include <map>
#include <stdexcept>
#include <string_view>
#include <utility>

#include <benchmark/benchmark.h>

#include "Sablekit/common/Base64.h"
#include "Sablekit/common/Digest.h"
#include "Sablekit/platform/heif/HeifImageEncoder.h"
#include "bench/encoding/ScreenLikeImage.h"

namespace Sablekit::Bench {
namespace {

constexpr double frameQuality = 0.97;
constexpr std::array<std::string_view, 6> presets = {"ultrafast", "superfast", "veryfast", "faster", "fast", "medium"};

const PixelImage& frame(int scale) {
  static std::map<int, PixelImage> frames;
  auto found = frames.find(scale);
  if (found == frames.end()) {
    found = frames.emplace(scale, screenLikeImage(scale)).first;
  }
  return found->second;
}

std::vector<std::uint8_t> encode(HeifImageEncoder& encoder, const PixelImage& image) {
  auto result = encoder.encodeHEIC(image, frameQuality);
  if (auto* error = std::get_if<ImageEncodingError>(&result)) {
    throw std::runtime_error(error->description);
  }
  return std::get<std::vector<std::uint8_t>>(std::move(result));
}

// Arguments: preset index, scale (1: 1512 × 982, 2: 3024 × 1964).
void presetTable(benchmark::State& state) {
  const std::string_view preset = presets[static_cast<std::size_t>(state.range(0))];
  const PixelImage& image = frame(static_cast<int>(state.range(1)));
  HeifImageEncoder encoder(preset);
  std::size_t bytes = 0;
  for (auto _ : state) {
    bytes = encode(encoder, image).size();
  }
  state.SetLabel(std::string(preset));
  state.counters["bytes"] = static_cast<double>(bytes);
}
BENCHMARK(presetTable)
    ->ArgsProduct({{0, 1, 2, 3, 4, 5}, {1, 2}})
    ->ArgNames({"preset", "scale"})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3)
    ->MeasureProcessCPUTime()
    ->UseRealTime();

const std::vector<std::uint8_t>& encodedFrame() {
  static const std::vector<std::uint8_t> bytes = [] {
    HeifImageEncoder encoder;
    return encode(encoder, frame(1));
  }();
  return bytes;
}

void encodeFrame(benchmark::State& state) {
  HeifImageEncoder encoder;
  const PixelImage& image = frame(1);
  for (auto _ : state) {
    benchmark::DoNotOptimize(encode(encoder, image));
  }
  state.counters["bytes"] = static_cast<double>(encodedFrame().size());
}
BENCHMARK(encodeFrame)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->UseRealTime()->MinTime(2.0);

void sha256OfEncodedFrame(benchmark::State& state) {
  const auto& bytes = encodedFrame();
  for (auto _ : state) {
    benchmark::DoNotOptimize(sha256Hex(bytes));
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes.size()));
}
BENCHMARK(sha256OfEncodedFrame)->Unit(benchmark::kMillisecond)->UseRealTime();

void base64OfEncodedFrame(benchmark::State& state) {
  const auto& bytes = encodedFrame();
  for (auto _ : state) {
    benchmark::DoNotOptimize(base64Encode(bytes));
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes.size()));
}
BENCHMARK(base64OfEncodedFrame)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
}  // namespace Sablekit::Bench

BENCHMARK_MAIN();
