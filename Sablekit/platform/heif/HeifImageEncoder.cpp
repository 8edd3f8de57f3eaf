// HEIC encoding on libheif: BGRA rows to interleaved RGB, x265 at the given quality, written to memory.
#include "Sablekit/platform/heif/HeifImageEncoder.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <limits>
#include <memory>
#include <new>

#include <libheif/heif.h>

namespace Sablekit {

namespace {

struct ContextDeleter {
  void operator()(heif_context* context) const { heif_context_free(context); }
};
struct EncoderDeleter {
  void operator()(heif_encoder* encoder) const { heif_encoder_release(encoder); }
};
struct ImageDeleter {
  void operator()(heif_image* image) const { heif_image_release(image); }
};
struct OptionsDeleter {
  void operator()(heif_encoding_options* options) const { heif_encoding_options_free(options); }
};

ImageEncodingError setupFailed(std::string description) {
  return {ImageEncodingError::Kind::setupFailed, std::move(description)};
}
ImageEncodingError encodingFailed(std::string description) {
  return {ImageEncodingError::Kind::encodingFailed, std::move(description)};
}

bool failed(const heif_error& error) {
  return error.code != heif_error_Ok;
}

// Appends what libheif writes; an allocation failure becomes a write error
// rather than an exception through C code.
heif_error appendToVector(heif_context*, const void* data, size_t size, void* userdata) {
  auto& bytes = *static_cast<std::vector<std::uint8_t>*>(userdata);
  try {
    const auto* begin = static_cast<const std::uint8_t*>(data);
    bytes.insert(bytes.end(), begin, begin + size);
  } catch (const std::bad_alloc&) {
    return {heif_error_Encoding_error, heif_suberror_Cannot_write_output_data, "out of memory"};
  }
  return {heif_error_Ok, heif_suberror_Unspecified, "Success"};
}

// The image's size when libheif can take it and the buffer holds every pixel.
bool acceptableSize(const PixelImage& image) {
  constexpr std::int64_t largest = std::numeric_limits<int>::max();
  if (image.width <= 0 || image.height <= 0 || image.width > largest || image.height > largest) {
    return false;
  }
  // width and height are below 2^31, so the product fits in 64 bits.
  const auto pixels = static_cast<std::uint64_t>(image.width) * static_cast<std::uint64_t>(image.height);
  return pixels <= image.bgra.size() / 4 && image.bgra.size() == pixels * 4;
}

}  // namespace

HeifImageEncoder::HeifImageEncoder(std::string_view preset) : preset_(preset) {
  // Reference counted by libheif; the encoders are built in, so this only
  // makes their registration explicit. Matched in the destructor.
  heif_init(nullptr);
}

HeifImageEncoder::~HeifImageEncoder() {
  heif_deinit();
}

std::variant<std::vector<std::uint8_t>, ImageEncodingError> HeifImageEncoder::encodeHEIC(const PixelImage& image,
                                                                                         double quality) {
  if (std::isnan(quality)) {
    return setupFailed("quality is not a number");
  }
  const int libheifQuality = static_cast<int>(std::lround(std::clamp(quality, 0.0, 1.0) * 100.0));

  const std::unique_ptr<heif_context, ContextDeleter> context(heif_context_alloc());
  if (!context) {
    return setupFailed("cannot create a HEIF context");
  }
  heif_encoder* rawEncoder = nullptr;
  if (const heif_error error = heif_context_get_encoder_for_format(context.get(), heif_compression_HEVC, &rawEncoder);
      failed(error) || rawEncoder == nullptr) {
    return setupFailed(std::string("no HEVC encoder: ") + (failed(error) ? error.message : "none available"));
  }
  const std::unique_ptr<heif_encoder, EncoderDeleter> encoder(rawEncoder);
  if (const heif_error error = heif_encoder_set_lossy_quality(encoder.get(), libheifQuality); failed(error)) {
    return setupFailed(std::string("cannot set the quality: ") + error.message);
  }
  if (const heif_error error = heif_encoder_set_lossless(encoder.get(), 0); failed(error)) {
    return setupFailed(std::string("cannot choose lossy compression: ") + error.message);
  }
  if (const heif_error error = heif_encoder_set_parameter(encoder.get(), "preset", preset_.c_str()); failed(error)) {
    return setupFailed("cannot choose the preset \"" + preset_ + "\": " + error.message);
  }
  const std::unique_ptr<heif_encoding_options, OptionsDeleter> options(heif_encoding_options_alloc());
  if (!options) {
    return setupFailed("cannot create encoding options");
  }
  options->save_alpha_channel = 0;

  if (!acceptableSize(image)) {
    return encodingFailed("the image has no pixels or its buffer does not match its size");
  }
  const int width = static_cast<int>(image.width);
  const int height = static_cast<int>(image.height);
  heif_image* rawImage = nullptr;
  if (const heif_error error =
          heif_image_create(width, height, heif_colorspace_RGB, heif_chroma_interleaved_RGB, &rawImage);
      failed(error)) {
    return encodingFailed(std::string("cannot create the image: ") + error.message);
  }
  const std::unique_ptr<heif_image, ImageDeleter> rgbImage(rawImage);
  if (const heif_error error = heif_image_add_plane(rgbImage.get(), heif_channel_interleaved, width, height, 8);
      failed(error)) {
    return encodingFailed(std::string("cannot allocate the image: ") + error.message);
  }
  int stride = 0;
  std::uint8_t* plane = heif_image_get_plane(rgbImage.get(), heif_channel_interleaved, &stride);
  if (plane == nullptr) {
    return encodingFailed("the image has no pixel plane");
  }
  // Screen captures are opaque; the alpha byte is dropped.
  for (int y = 0; y < height; ++y) {
    const std::uint8_t* source = image.pixel(0, y);
    std::uint8_t* target = plane + static_cast<std::ptrdiff_t>(y) * stride;
    for (int x = 0; x < width; ++x, source += 4, target += 3) {
      target[0] = source[2];
      target[1] = source[1];
      target[2] = source[0];
    }
  }

  if (const heif_error error =
          heif_context_encode_image(context.get(), rgbImage.get(), encoder.get(), options.get(), nullptr);
      failed(error)) {
    return encodingFailed(std::string("cannot encode the image: ") + error.message);
  }
  std::vector<std::uint8_t> bytes;
  heif_writer writer{};
  writer.writer_api_version = 1;
  writer.write = appendToVector;
  if (const heif_error error = heif_context_write(context.get(), &writer, &bytes); failed(error)) {
    return encodingFailed(std::string("cannot write the file: ") + error.message);
  }
  return bytes;
}

}  // namespace Sablekit
