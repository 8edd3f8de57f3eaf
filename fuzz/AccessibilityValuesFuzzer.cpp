// Fuzz target: arbitrary accessibility attribute values (nested arrays of
// every kind, any bytes in strings, any numbers) through serialisation and
// the masked-password check.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include <fuzzer/FuzzedDataProvider.h>

#include "Sablekit/accessibility/AccessibilityValueSerializer.h"
#include "Sablekit/accessibility/MaskedPasswordDetection.h"

namespace {

using namespace Sablekit;

constexpr int maximumDepth = 4;
constexpr std::size_t maximumArrayLength = 130;  // past the 100 entries joined

AccessibilityValue makeValue(FuzzedDataProvider& input, int depth) {
  switch (input.ConsumeIntegralInRange<int>(0, 13)) {
    case 0:
      return AccessibilityNull{};
    case 1:
      return AccessibilityError{};
    case 2:
      return input.ConsumeRandomLengthString(64);
    case 3:
      return input.ConsumeBool();
    case 4:
      return input.ConsumeIntegral<std::int64_t>();
    case 5:
      return input.ConsumeFloatingPoint<double>();
    case 6:
      return AccessibilityURL{input.ConsumeRandomLengthString(64)};
    case 7:
      return AccessibilityPoint{input.ConsumeFloatingPoint<double>(), input.ConsumeFloatingPoint<double>()};
    case 8:
      return AccessibilitySize{input.ConsumeFloatingPoint<double>(), input.ConsumeFloatingPoint<double>()};
    case 9:
      return AccessibilityRect{input.ConsumeFloatingPoint<double>(), input.ConsumeFloatingPoint<double>(),
                               input.ConsumeFloatingPoint<double>(), input.ConsumeFloatingPoint<double>()};
    case 10:
      return AccessibilityRange{input.ConsumeIntegral<std::int64_t>(), input.ConsumeIntegral<std::int64_t>()};
    case 11: {
      AccessibilityArray array;
      if (depth < maximumDepth) {
        const std::size_t length = input.ConsumeIntegralInRange<std::size_t>(0, maximumArrayLength);
        for (std::size_t index = 0; index < length && input.remaining_bytes() > 0; ++index) {
          array.elements.push_back(makeValue(input, depth + 1));
        }
      }
      return array;
    }
    case 12:
      return AccessibilityElementReference{};
    default:
      return AccessibilityUnsupportedValue{};
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider input(data, size);
  const AccessibilityValue value = makeValue(input, 0);
  if (const std::optional<std::string> text = serialize(value)) {
    (void)isMaskedPassword(*text);
  }
  (void)formatCoordinate(input.ConsumeFloatingPoint<double>());
  (void)isMaskedPassword(input.ConsumeRemainingBytesAsString());
  return 0;
}
