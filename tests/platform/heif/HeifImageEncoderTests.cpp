// The libheif encoder: files decode to the image's size and colours, quality reaches x265, failures are kept apart.
#include <cmath>
#include <cstdlib>
#include <memory>
#include <random>

#include <gtest/gtest.h>
#include <libheif/heif.h>

#include "Sablekit/platform/heif/HeifImageEncoder.h"

namespace Sablekit {
namespace {

struct Rgb {
  int r, g, b;
};

// Four flat quadrants, each its own colour, so a swapped channel or a shifted
// row shows in the decoded colours.
constexpr Rgb quadrantColours[4] = {{220, 30, 40}, {20, 160, 60}, {30, 60, 200}, {240, 240, 235}};

PixelImage quadrants(std::int64_t width, std::int64_t height) {
  PixelImage image{width, height, std::vector<std::uint8_t>(static_cast<std::size_t>(width * height * 4))};
  for (std::int64_t y = 0; y < height; ++y) {
    for (std::int64_t x = 0; x < width; ++x) {
      const Rgb& colour = quadrantColours[(y >= height / 2 ? 2 : 0) + (x >= width / 2 ? 1 : 0)];
      std::uint8_t* pixel = image.bgra.data() + (y * width + x) * 4;
      pixel[0] = static_cast<std::uint8_t>(colour.b);
      pixel[1] = static_cast<std::uint8_t>(colour.g);
      pixel[2] = static_cast<std::uint8_t>(colour.r);
      pixel[3] = 255;
    }
  }
  return image;
}

PixelImage noise(std::int64_t width, std::int64_t height) {
  PixelImage image{width, height, std::vector<std::uint8_t>(static_cast<std::size_t>(width * height * 4))};
  std::mt19937 random(7);
  for (std::size_t i = 0; i < image.bgra.size(); ++i) {
    image.bgra[i] = i % 4 == 3 ? 255 : static_cast<std::uint8_t>(random() & 0xFF);
  }
  return image;
}

// What an independent read of the file finds.
struct Decoded {
  heif_brand2 brand = 0;
  int topLevelImages = 0;
  int width = 0;
  int height = 0;
  bool hasAlpha = true;
  std::vector<std::uint8_t> rgb;  // width * height * 3
  Rgb at(int x, int y) const {
    const std::uint8_t* p = rgb.data() + (static_cast<std::size_t>(y) * width + x) * 3;
    return {p[0], p[1], p[2]};
  }
};

Decoded decode(const std::vector<std::uint8_t>& bytes) {
  Decoded decoded;
  decoded.brand = heif_read_main_brand(bytes.data(), static_cast<int>(bytes.size()));
  std::unique_ptr<heif_context, decltype(&heif_context_free)> context(heif_context_alloc(), heif_context_free);
  if (heif_context_read_from_memory_without_copy(context.get(), bytes.data(), bytes.size(), nullptr).code !=
      heif_error_Ok) {
    ADD_FAILURE() << "libheif cannot read the file";
    return decoded;
  }
  decoded.topLevelImages = heif_context_get_number_of_top_level_images(context.get());
  heif_image_handle* rawHandle = nullptr;
  if (heif_context_get_primary_image_handle(context.get(), &rawHandle).code != heif_error_Ok) {
    ADD_FAILURE() << "no primary image";
    return decoded;
  }
  std::unique_ptr<heif_image_handle, decltype(&heif_image_handle_release)> handle(rawHandle, heif_image_handle_release);
  decoded.hasAlpha = heif_image_handle_has_alpha_channel(handle.get()) != 0;
  heif_image* rawImage = nullptr;
  if (heif_decode_image(handle.get(), &rawImage, heif_colorspace_RGB, heif_chroma_interleaved_RGB, nullptr).code !=
      heif_error_Ok) {
    ADD_FAILURE() << "the image does not decode";
    return decoded;
  }
  std::unique_ptr<heif_image, decltype(&heif_image_release)> image(rawImage, heif_image_release);
  decoded.width = heif_image_get_width(image.get(), heif_channel_interleaved);
  decoded.height = heif_image_get_height(image.get(), heif_channel_interleaved);
  int stride = 0;
  const std::uint8_t* plane = heif_image_get_plane_readonly(image.get(), heif_channel_interleaved, &stride);
  for (int y = 0; y < decoded.height; ++y) {
    decoded.rgb.insert(decoded.rgb.end(), plane + y * stride, plane + y * stride + decoded.width * 3);
  }
  return decoded;
}

std::vector<std::uint8_t> encodeOrFail(HeifImageEncoder& encoder, const PixelImage& image, double quality) {
  auto result = encoder.encodeHEIC(image, quality);
  if (const auto* error = std::get_if<ImageEncodingError>(&result)) {
    ADD_FAILURE() << "encoding failed: " << error->description;
    return {};
  }
  return std::get<std::vector<std::uint8_t>>(std::move(result));
}

TEST(HeifImageEncoderTests, filesDecodeToTheImageSizeAndColours) {
  struct Case {
    std::int64_t width, height;
  };
  // A screen size, odd sizes (4:2:0 chroma and x265's coding blocks need
  // padding that must not reach the file's size), and tiny images.
  const Case cases[] = {{1512, 982}, {1513, 983}, {301, 199}, {2, 2}, {1, 1}};
  HeifImageEncoder encoder;
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.width << "x" << c.height);
    const std::vector<std::uint8_t> bytes = encodeOrFail(encoder, quadrants(c.width, c.height), 0.97);
    if (bytes.empty()) {
      continue;
    }
    const Decoded decoded = decode(bytes);
    EXPECT_EQ(decoded.brand, heif_fourcc_to_brand("heic"));
    EXPECT_EQ(decoded.topLevelImages, 1);
    EXPECT_FALSE(decoded.hasAlpha);
    ASSERT_EQ(decoded.width, c.width);
    ASSERT_EQ(decoded.height, c.height);
    // The centre of each quadrant, away from the chroma blur at the edges; in
    // images too small for that, 4:2:0 chroma mixes the quadrants, so only
    // the size is checked there.
    if (c.width < 8 || c.height < 8) {
      continue;
    }
    const int w = static_cast<int>(c.width);
    const int h = static_cast<int>(c.height);
    const int xs[2] = {w / 4, w / 2 + (w - w / 2) / 2};
    const int ys[2] = {h / 4, h / 2 + (h - h / 2) / 2};
    for (int quadrant = 0; quadrant < 4; ++quadrant) {
      SCOPED_TRACE(testing::Message() << "quadrant " << quadrant);
      const Rgb expected = quadrantColours[quadrant];
      const Rgb actual = decoded.at(xs[quadrant % 2], ys[quadrant / 2]);
      EXPECT_NEAR(actual.r, expected.r, 8);
      EXPECT_NEAR(actual.g, expected.g, 8);
      EXPECT_NEAR(actual.b, expected.b, 8);
    }
  }
}

TEST(HeifImageEncoderTests, lowerQualityGivesFewerBytes) {
  HeifImageEncoder encoder;
  const PixelImage image = noise(256, 256);
  const std::size_t high = encodeOrFail(encoder, image, 0.97).size();
  const std::size_t low = encodeOrFail(encoder, image, 0.3).size();
  ASSERT_GT(high, 0u);
  EXPECT_LT(low * 2, high);
}

TEST(HeifImageEncoderTests, failuresNameWhetherSetupOrEncodingFailed) {
  struct Case {
    const char* name;
    const char* preset;
    PixelImage image;
    double quality;
    ImageEncodingError::Kind expected;
  };
  PixelImage shortBuffer = quadrants(16, 16);
  shortBuffer.bgra.pop_back();
  PixelImage negative{-4, 4, {}};
  const Case cases[] = {
      {"unknown preset", "warpspeed", quadrants(16, 16), 0.97, ImageEncodingError::Kind::setupFailed},
      {"quality not a number", "ultrafast", quadrants(16, 16), std::nan(""), ImageEncodingError::Kind::setupFailed},
      {"no pixels", "ultrafast", PixelImage{}, 0.97, ImageEncodingError::Kind::encodingFailed},
      {"buffer one byte short", "ultrafast", shortBuffer, 0.97, ImageEncodingError::Kind::encodingFailed},
      {"negative width", "ultrafast", negative, 0.97, ImageEncodingError::Kind::encodingFailed},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    HeifImageEncoder encoder(c.preset);
    const auto result = encoder.encodeHEIC(c.image, c.quality);
    ASSERT_TRUE(std::holds_alternative<ImageEncodingError>(result));
    const auto& error = std::get<ImageEncodingError>(result);
    EXPECT_EQ(error.kind, c.expected);
    EXPECT_FALSE(error.description.empty());
  }
}

}  // namespace
}  // namespace Sablekit
