// HEIC encoding on libheif with the x265 HEVC encoder.
#pragma once

#include <string>
#include <string_view>

#include "Sablekit/platform/ImageEncoder.h"

namespace Sablekit {

class HeifImageEncoder final : public ImageEncoder {
 public:
  // veryfast: on screen-like frames at quality 97 the slower presets make no
  // smaller file, and ultrafast's files are 1.6-1.7 times larger (docs/encoding.md).
  static constexpr std::string_view defaultPreset = "veryfast";

  // `preset` names an x265 speed preset; one x265 does not know makes every
  // encoding fail with `setupFailed`.
  explicit HeifImageEncoder(std::string_view preset = defaultPreset);
  ~HeifImageEncoder() override;
  HeifImageEncoder(const HeifImageEncoder&) = delete;
  HeifImageEncoder& operator=(const HeifImageEncoder&) = delete;

  // 4:2:0 chroma, the size of the image (odd sizes included: libheif pads the
  // coded picture and crops it back in the file), quality round(100 × quality).
  // Any thread; calls share nothing.
  std::variant<std::vector<std::uint8_t>, ImageEncodingError> encodeHEIC(const PixelImage& image,
                                                                         double quality) override;

 private:
  std::string preset_;
};

}  // namespace Sablekit
