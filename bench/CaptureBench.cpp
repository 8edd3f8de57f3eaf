// The cost of one capture.probe on the demo desktop, side by side with the
// simulated platform's screenshot alone (compositing and scaling) and with a
// plain copy of one full-resolution frame, so that the pipeline's own share
// and the compositor's cost can be read as ratios from one run.
#include <cstring>
#include <vector>

#include <benchmark/benchmark.h>

#include "Sablekit/capture/CaptureHostServices.h"
#include "Sablekit/platform/simulated/SimulatedDesktop.h"
#include "Sablekit/protocol/CaptureProbeResult.h"

namespace {

using namespace Sablekit;

// The whole probe, JSON of the result included; range(0) is maximumDimension.
void captureProbe(benchmark::State& state) {
  const auto desktop = SimulatedDesktop::demo();
  CaptureHostServices services(*desktop);
  const CaptureProbeParameters parameters{.maximumDimension = state.range(0)};
  for (auto _ : state) {
    const CaptureProbeResult result = services.captureProbeService().probe(parameters);
    const JsonCodec::Value json = result;
    benchmark::DoNotOptimize(json.dump());
  }
}

// The screenshot the probe takes, with the probe's own filter and configuration.
void screenshotAlone(benchmark::State& state) {
  const auto desktop = SimulatedDesktop::demo();
  CaptureHostServices services(*desktop);
  services.captureProbeService().probe(CaptureProbeParameters{.maximumDimension = state.range(0)});
  const CaptureFilter filter = *desktop->simulatedScreenCapture().lastFilter();
  const ScreenshotConfiguration configuration = *desktop->simulatedScreenCapture().lastConfiguration();
  for (auto _ : state) {
    auto image = desktop->screenCapture().screenshot(filter, configuration);
    benchmark::DoNotOptimize(image);
  }
}

// One copy of a 3024 x 1964 BGRA frame, the demo display at full resolution.
void frameCopy(benchmark::State& state) {
  const std::size_t bytes = std::size_t{3024} * 1964 * 4;
  std::vector<std::uint8_t> source(bytes, 0x5a);
  std::vector<std::uint8_t> destination(bytes, 0);
  for (auto _ : state) {
    std::memcpy(destination.data(), source.data(), bytes);
    benchmark::DoNotOptimize(destination.data());
    benchmark::ClobberMemory();
  }
}

BENCHMARK(captureProbe)->Arg(3840)->Arg(1280)->Unit(benchmark::kMillisecond);
BENCHMARK(screenshotAlone)->Arg(3840)->Arg(1280)->Unit(benchmark::kMillisecond);
BENCHMARK(frameCopy)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
