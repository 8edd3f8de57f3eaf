// The image encoder contract: what every backend's ImageEncoder promises the
// frame capture — one opaque HEIC image of the image's own size in the file,
// its flat colours kept, the image only read, and the two kinds of failure
// kept apart — written once and instantiated for each backend. An arranger
// type provides: ImageEncoder& encoder();
#pragma once

#include <cmath>
#include <cstdlib>
#include <memory>
#include <vector>

#include <gtest/gtest.h>
#include <libheif/heif.h>

#include "Sablekit/platform/ImageEncoder.h"

namespace Sablekit::Testing {

// A flat image of one colour (0xRRGGBB) with a differently coloured left half.
inline PixelImage halves(std::int64_t width, std::int64_t height, std::uint32_t left, std::uint32_t right) {
  PixelImage image{width, height, std::vector<std::uint8_t>(static_cast<std::size_t>(width * height * 4))};
  for (std::int64_t y = 0; y < height; ++y) {
    for (std::int64_t x = 0; x < width; ++x) {
      const std::uint32_t rgb = x < width / 2 ? left : right;
      std::uint8_t* pixel = image.bgra.data() + (y * width + x) * 4;
      pixel[0] = static_cast<std::uint8_t>(rgb);
      pixel[1] = static_cast<std::uint8_t>(rgb >> 8);
      pixel[2] = static_cast<std::uint8_t>(rgb >> 16);
      pixel[3] = 0x40;  // taken as opaque whatever it says
    }
  }
  return image;
}

// The file as libheif reads it: its one image's size, alpha and RGB pixels.
struct DecodedHEIC {
  int images = 0;
  int width = 0, height = 0;
  bool hasAlpha = true;
  std::vector<std::uint8_t> rgb;
  // 0xRRGGBB at (x, y).
  std::uint32_t at(int x, int y) const {
    const std::uint8_t* p = rgb.data() + (static_cast<std::size_t>(y) * width + x) * 3;
    return std::uint32_t{p[0]} << 16 | std::uint32_t{p[1]} << 8 | p[2];
  }
};

inline DecodedHEIC decodeHEIC(const std::vector<std::uint8_t>& bytes) {
  DecodedHEIC decoded;
  const std::unique_ptr<heif_context, decltype(&heif_context_free)> context(heif_context_alloc(), heif_context_free);
  if (heif_context_read_from_memory_without_copy(context.get(), bytes.data(), bytes.size(), nullptr).code !=
      heif_error_Ok) {
    return decoded;
  }
  decoded.images = heif_context_get_number_of_top_level_images(context.get());
  heif_image_handle* rawHandle = nullptr;
  if (heif_context_get_primary_image_handle(context.get(), &rawHandle).code != heif_error_Ok) {
    return decoded;
  }
  const std::unique_ptr<heif_image_handle, decltype(&heif_image_handle_release)> handle(rawHandle,
                                                                                        heif_image_handle_release);
  decoded.hasAlpha = heif_image_handle_has_alpha_channel(handle.get()) != 0;
  heif_image* rawImage = nullptr;
  if (heif_decode_image(handle.get(), &rawImage, heif_colorspace_RGB, heif_chroma_interleaved_RGB, nullptr).code !=
      heif_error_Ok) {
    return decoded;
  }
  const std::unique_ptr<heif_image, decltype(&heif_image_release)> image(rawImage, heif_image_release);
  decoded.width = heif_image_get_width(image.get(), heif_channel_interleaved);
  decoded.height = heif_image_get_height(image.get(), heif_channel_interleaved);
  int stride = 0;
  const std::uint8_t* plane = heif_image_get_plane_readonly(image.get(), heif_channel_interleaved, &stride);
  for (int y = 0; y < decoded.height; ++y) {
    decoded.rgb.insert(decoded.rgb.end(), plane + y * stride, plane + y * stride + decoded.width * 3);
  }
  return decoded;
}

// Whether two colours differ by at most `tolerance` in each channel.
inline bool near(std::uint32_t left, std::uint32_t right, int tolerance) {
  for (int shift = 0; shift < 24; shift += 8) {
    if (std::abs(static_cast<int>((left >> shift) & 0xff) - static_cast<int>((right >> shift) & 0xff)) > tolerance) {
      return false;
    }
  }
  return true;
}

template <class Arranger>
class ImageEncoderContract : public ::testing::Test {
 protected:
  Arranger arranger_;
};

TYPED_TEST_SUITE_P(ImageEncoderContract);

TYPED_TEST_P(ImageEncoderContract, OneOpaqueImageOfTheImagesOwnSizeWithItsColoursAndTheImageOnlyRead) {
  struct Size {
    std::int64_t width, height;
  };
  for (const Size size : {Size{64, 48}, Size{250, 130}, Size{2, 2}}) {
    SCOPED_TRACE(std::to_string(size.width) + "x" + std::to_string(size.height));
    const PixelImage image = halves(size.width, size.height, 0xd02030, 0x2040c0);
    const PixelImage before = image;
    const auto encoded = this->arranger_.encoder().encodeHEIC(image, 0.97);
    ASSERT_TRUE(std::holds_alternative<std::vector<std::uint8_t>>(encoded))
        << std::get<ImageEncodingError>(encoded).description;
    EXPECT_EQ(image, before) << "the image is only read";
    const DecodedHEIC decoded = decodeHEIC(std::get<std::vector<std::uint8_t>>(encoded));
    EXPECT_EQ(decoded.images, 1);
    EXPECT_FALSE(decoded.hasAlpha);
    ASSERT_EQ(decoded.width, size.width);
    ASSERT_EQ(decoded.height, size.height);
    if (size.width >= 8) {
      EXPECT_TRUE(near(decoded.at(size.width / 4, size.height / 2), 0xd02030, 12)) << std::hex << decoded.at(size.width / 4, size.height / 2);
      EXPECT_TRUE(near(decoded.at(size.width * 3 / 4, size.height / 2), 0x2040c0, 12))
          << std::hex << decoded.at(size.width * 3 / 4, size.height / 2);
    }
  }
}

TYPED_TEST_P(ImageEncoderContract, ImagesThatCannotBeEncodedAndQualitiesThatCannotBeSetAreToldApart) {
  PixelImage shortBuffer = halves(16, 16, 0, 0xffffff);
  shortBuffer.bgra.pop_back();
  struct Case {
    const char* name;
    PixelImage image;
    double quality;
    ImageEncodingError::Kind expected;
  };
  const Case cases[] = {
      {"no pixels", PixelImage{}, 0.97, ImageEncodingError::Kind::encodingFailed},
      {"a buffer one byte short", shortBuffer, 0.97, ImageEncodingError::Kind::encodingFailed},
      {"a negative width", PixelImage{-4, 4, {}}, 0.97, ImageEncodingError::Kind::encodingFailed},
      {"a quality that is not a number", halves(16, 16, 0, 0xffffff), std::nan(""),
       ImageEncodingError::Kind::setupFailed},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.name);
    const auto result = this->arranger_.encoder().encodeHEIC(test.image, test.quality);
    ASSERT_TRUE(std::holds_alternative<ImageEncodingError>(result));
    EXPECT_EQ(std::get<ImageEncodingError>(result).kind, test.expected);
    EXPECT_FALSE(std::get<ImageEncodingError>(result).description.empty());
  }
  // Qualities outside 0 to 1 are clamped, not refused.
  for (const double quality : {-3.0, 0.0, 1.0, 7.0}) {
    EXPECT_TRUE(std::holds_alternative<std::vector<std::uint8_t>>(
        this->arranger_.encoder().encodeHEIC(halves(16, 16, 0, 0xffffff), quality)))
        << "quality " << quality;
  }
}

REGISTER_TYPED_TEST_SUITE_P(ImageEncoderContract,
                            OneOpaqueImageOfTheImagesOwnSizeWithItsColoursAndTheImageOnlyRead,
                            ImagesThatCannotBeEncodedAndQualitiesThatCannotBeSetAreToldApart);

}  // namespace Sablekit::Testing
