// Text for the simulated screen capture: a TrueType font rasterised by
// FreeType, each glyph once per pixel size, kept in pixman's glyph cache and
// blended onto pixman images.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <utility>

#include <pixman.h>

namespace Sablekit {

// Not thread-safe: one screenshot at a time uses it.
class SimulatedFont {
 public:
  // Opens the font file. Throws std::runtime_error naming the file (and the
  // package that provides the default one) when it cannot be read as a font.
  explicit SimulatedFont(const std::string& path);
  ~SimulatedFont();
  SimulatedFont(const SimulatedFont&) = delete;
  SimulatedFont& operator=(const SimulatedFont&) = delete;

  // Whole-pixel vertical metrics at a size: from a line's top to its
  // baseline, and from one baseline to the next.
  struct Metrics {
    int ascent = 0;
    int lineHeight = 0;
  };
  Metrics metrics(int pixelSize);

  // Blends one line of UTF-8 text (invalid sequences show as U+FFFD) onto
  // `destination` in the colour of the solid image `colour`, the pen starting
  // at `x` on the baseline `baseline`. Only pixels inside the destination's
  // clip region change. `pixelSize` is at least 1.
  void drawLine(pixman_image_t* destination,
                pixman_image_t* colour,
                std::string_view line,
                int pixelSize,
                int x,
                int baseline);

 private:
  struct Glyph {
    int advance = 0;     // whole pixels
    bool blank = false;  // nothing to draw (a space)
  };

  // The glyph's layout, rasterising it on first use at this size (the
  // caller has frozen the glyph cache).
  Glyph& glyph(int pixelSize, char32_t codePoint);
  // Rasterises the glyph into the glyph cache (frozen by the caller); null
  // when it has no pixels or the cache cannot take it.
  const void* rasterise(int pixelSize, char32_t codePoint, Glyph& layout);
  void useSize(int pixelSize);

  struct Library;
  std::unique_ptr<Library> library_;  // the FreeType library and face
  pixman_glyph_cache_t* cache_;       // owned
  int currentSize_ = 0;
  std::map<std::pair<int, char32_t>, Glyph> glyphs_;
  std::map<int, Metrics> metrics_;
};

}  // namespace Sablekit
