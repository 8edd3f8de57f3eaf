// Fuzz target: request parameters decoded, encoded and decoded again come
// back equal, and encode to the same text both times.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "Sablekit/protocol/CaptureProbeParameters.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace Sablekit;
  JsonCodec::Value json;
  CaptureProbeParameters first;
  try {
    json = JsonCodec::parse(std::string_view(reinterpret_cast<const char*>(data), size));
    first = CaptureProbeParameters::decode(json);
  } catch (const JsonCodec::DecodingError&) {
    return 0;
  }
  const JsonCodec::Value encoded = first;
  const CaptureProbeParameters second = CaptureProbeParameters::decode(encoded);
  if (!(second == first)) {
    std::abort();
  }
  const JsonCodec::Value reencoded = second;
  const std::string text = JsonCodec::serialize(encoded);
  if (text != JsonCodec::serialize(reencoded)) {
    std::abort();
  }
  // The text itself decodes to the same parameters.
  if (!(CaptureProbeParameters::decode(JsonCodec::parse(text)) == first)) {
    std::abort();
  }
  (void)first.maximumDimensionBound();
  return 0;
}
