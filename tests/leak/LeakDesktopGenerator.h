// Builds randomized, reproducible desktops for the privacy-leak harness: the
// same seed always gives the same desktop and the same requests.
#pragma once

#include <cstdint>

#include "tests/leak/LeakDesktop.h"

namespace Sablekit::Leak {

class LeakDesktopGenerator {
 public:
  // The capture host's own process and its parent on every generated desktop.
  static constexpr std::int32_t hostProcessID = 10;
  static constexpr std::int32_t parentProcessID = 300;
  // At most this many secret windows per desktop: one colour each.
  static constexpr std::size_t maximumSecrets = 12;

  // The desktop of one seed, with its secret windows and capture requests.
  // Pure: depends on nothing but the seed (and the registry's sets).
  static LeakDesktop generate(std::uint64_t seed);

  // The seed of desktop `index` of a run started from `runSeed`.
  static std::uint64_t desktopSeed(std::uint64_t runSeed, std::uint64_t index);

  // The marker colours: saturated, at least 60 apart in every pair, and
  // never the blend of two others; B, G, R, A.
  static const std::array<Colour, maximumSecrets>& markerColours();

  // True for a colour any allowed window, text or background may show: every
  // channel within 40 of the others. Blends of such colours stay such colours.
  static bool isAllowedColour(const Colour& colour);
};

}  // namespace Sablekit::Leak
