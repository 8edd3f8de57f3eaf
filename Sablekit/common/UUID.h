// A 128-bit universally unique identifier: random (version 4) when generated,
// compared by value, written in the usual lowercase 8-4-4-4-12 form.
#pragma once

#include <array>
#include <compare>
#include <cstdint>
#include <string>

namespace Sablekit {

class UUID {
 public:
  // The nil UUID (all zero bits).
  UUID() = default;

  // A fresh random UUID. Safe from any thread.
  static UUID generate();

  std::string toString() const;

  bool operator==(const UUID&) const = default;
  std::strong_ordering operator<=>(const UUID&) const = default;

 private:
  std::array<std::uint8_t, 16> bytes_{};
};

}  // namespace Sablekit
