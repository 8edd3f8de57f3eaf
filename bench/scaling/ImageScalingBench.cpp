// The shared area-averaging scaler beside pixman's bilinear filter (what the
// X11 backend scaled with before), on the same screen-like frames, at the
// sizes the capture pipeline asks for; then how many one-pixel lines each
// filter keeps visible.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <random>
#include <vector>

#include <benchmark/benchmark.h>
#include <pixman.h>

#include "Sablekit/platform/ImageScaling.h"

namespace {

using Sablekit::PixelImage;

// Flat panels with rows of one-pixel dark strokes, like windows of text.
PixelImage screenLike(int width, int height) {
  PixelImage image{width, height, std::vector<std::uint8_t>(static_cast<std::size_t>(width) * height * 4)};
  std::mt19937 random(7);
  std::uniform_int_distribution<int> channel(160, 250), stroke(0, 3);
  for (int panel = 0; panel < 12; ++panel) {
    const int left = static_cast<int>(random() % static_cast<unsigned>(width * 3 / 4));
    const int top = static_cast<int>(random() % static_cast<unsigned>(height * 3 / 4));
    const int right = std::min(width, left + width / 3), bottom = std::min(height, top + height / 3);
    const std::uint8_t fill[4] = {static_cast<std::uint8_t>(channel(random)), static_cast<std::uint8_t>(channel(random)),
                                  static_cast<std::uint8_t>(channel(random)), 0xff};
    for (int y = top; y < bottom; ++y) {
      for (int x = left; x < right; ++x) {
        const bool ink = (y - top) % 18 < 12 && stroke(random) == 0;
        std::uint8_t* pixel = image.bgra.data() + (static_cast<std::size_t>(y) * width + x) * 4;
        for (int c = 0; c < 4; ++c) {
          pixel[c] = ink && c < 3 ? 0x20 : fill[c];
        }
      }
    }
  }
  return image;
}

PixelImage bilinear(const PixelImage& source, int width, int height) {
  PixelImage target{width, height, std::vector<std::uint8_t>(static_cast<std::size_t>(width) * height * 4)};
  pixman_image_t* from = pixman_image_create_bits(
      PIXMAN_a8r8g8b8, static_cast<int>(source.width), static_cast<int>(source.height),
      reinterpret_cast<std::uint32_t*>(const_cast<std::uint8_t*>(source.bgra.data())), static_cast<int>(source.width * 4));
  pixman_image_t* to = pixman_image_create_bits(PIXMAN_a8r8g8b8, width, height,
                                                reinterpret_cast<std::uint32_t*>(target.bgra.data()), width * 4);
  pixman_transform_t transform;
  pixman_transform_init_scale(&transform, pixman_double_to_fixed(static_cast<double>(source.width) / width),
                              pixman_double_to_fixed(static_cast<double>(source.height) / height));
  pixman_image_set_transform(from, &transform);
  pixman_image_set_filter(from, PIXMAN_FILTER_BILINEAR, nullptr, 0);
  pixman_image_set_repeat(from, PIXMAN_REPEAT_PAD);
  pixman_image_composite32(PIXMAN_OP_SRC, from, nullptr, to, 0, 0, 0, 0, 0, 0, width, height);
  pixman_image_unref(from);
  pixman_image_unref(to);
  return target;
}

struct Case {
  int sourceWidth, sourceHeight, width, height;
};
constexpr Case cases[] = {
    {1920, 1080, 1280, 720},
    {3840, 2160, 1920, 1080},
    {3024, 1964, 1280, 832},
};

void areaAveraging(benchmark::State& state) {
  const Case& c = cases[state.range(0)];
  const PixelImage source = screenLike(c.sourceWidth, c.sourceHeight);
  for (auto _ : state) {
    PixelImage copy = source;  // the scaler takes its source by value, as screenshots hand it over
    benchmark::DoNotOptimize(Sablekit::scaledByArea(std::move(copy), c.width, c.height));
  }
  state.SetLabel(std::to_string(c.sourceWidth) + "x" + std::to_string(c.sourceHeight) + " -> " +
                 std::to_string(c.width) + "x" + std::to_string(c.height) + " (includes one source copy)");
}

void pixmanBilinear(benchmark::State& state) {
  const Case& c = cases[state.range(0)];
  const PixelImage source = screenLike(c.sourceWidth, c.sourceHeight);
  for (auto _ : state) {
    PixelImage copy = source;  // the same copy, so both columns compare alike
    benchmark::DoNotOptimize(bilinear(copy, c.width, c.height));
  }
  state.SetLabel(std::to_string(c.sourceWidth) + "x" + std::to_string(c.sourceHeight) + " -> " +
                 std::to_string(c.width) + "x" + std::to_string(c.height) + " (includes one source copy)");
}

void copyOnly(benchmark::State& state) {
  const Case& c = cases[state.range(0)];
  const PixelImage source = screenLike(c.sourceWidth, c.sourceHeight);
  for (auto _ : state) {
    PixelImage copy = source;
    benchmark::DoNotOptimize(copy.bgra.data());
  }
}

BENCHMARK(areaAveraging)->DenseRange(0, 2)->Unit(benchmark::kMillisecond);
BENCHMARK(pixmanBilinear)->DenseRange(0, 2)->Unit(benchmark::kMillisecond);
BENCHMARK(copyOnly)->DenseRange(0, 2)->Unit(benchmark::kMillisecond);

// The share of one-pixel lines (every sixth row of a white page, across its
// width) that can still be seen after scaling by 1/factor: a line counts
// when an output row near it is darker than white by at least half of what
// averaging it in gives (255 / factor).
double linesKept(bool area, int factor) {
  const int width = 1920, height = 1080;
  PixelImage page{width, height, std::vector<std::uint8_t>(static_cast<std::size_t>(width) * height * 4, 0xff)};
  for (int y = 0; y < height; y += 6) {
    std::fill_n(page.bgra.begin() + static_cast<std::ptrdiff_t>(y) * width * 4, width * 4, std::uint8_t{0});
    for (int x = 0; x < width; ++x) {
      page.bgra[(static_cast<std::size_t>(y) * width + x) * 4 + 3] = 0xff;
    }
  }
  const int outWidth = width / factor, outHeight = height / factor;
  const PixelImage scaled =
      area ? Sablekit::scaledByArea(page, outWidth, outHeight) : bilinear(page, outWidth, outHeight);
  int kept = 0, lines = 0;
  for (int y = 0; y < height; y += 6, ++lines) {
    int darkest = 255;
    for (int row = std::max(0, (y - 1) / factor); row <= std::min(outHeight - 1, (y + 1) / factor); ++row) {
      darkest = std::min<int>(darkest, scaled.bgra[(static_cast<std::size_t>(row) * outWidth + outWidth / 2) * 4]);
    }
    kept += darkest <= 255 - 255 / (2 * factor) ? 1 : 0;
  }
  return static_cast<double>(kept) / lines;
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  for (const int factor : {2, 3}) {
    std::printf("one-pixel lines scaled by 1/%d still visible: area averaging %.0f %%, bilinear %.0f %%\n", factor,
                100 * linesKept(true, factor), 100 * linesKept(false, factor));
  }
  return 0;
}
